// The display name following the player through the whole chain, ticks fired
// by the test: the player's window, the tick, the delivery through the
// quick-text slot and Alt+0, the add-on's send.
#include "sim/player/PlayerSim.h"
#include "tests/support/BackgroundTest.h"

namespace tc::test {
namespace {

class SongChange : public BackgroundTest {
protected:
    void SetUp() override {
        BackgroundTest::SetUp();
        messenger().openConversation(L"bob@example.com"); // the user's, in front
    }
};

TEST_F(SongChange, StopPauseAndResume) {
    sim::PlayerSim player(2);
    ASSERT_TRUE(player.open());
    player.play(1);
    EXPECT_EQ(tick(), Sends({kPlaying}));
    EXPECT_EQ(tick(), Sends{}) << "the same title again is no change";

    player.play(2);
    EXPECT_EQ(tick(), Sends({kPlaying}));

    // Stopping: plain and now-playing in one tick (the title changed), then
    // plain for good at the next.
    player.stop();
    EXPECT_EQ(tick(), Sends({kPlain, kPlaying}));
    EXPECT_EQ(tick(), Sends({kPlain}));
    EXPECT_EQ(tick(), Sends{});
    EXPECT_EQ(messenger().friendlyName(), L"Ann");

    player.resume();
    EXPECT_EQ(tick(), Sends({kPlaying}));
    EXPECT_EQ(messenger().friendlyName(), L"Ann listening: (!WAT)");

    player.pause();
    EXPECT_EQ(tick(2), Sends({kPlain, kPlaying, kPlain}));
    EXPECT_EQ(messenger().friendlyName(), L"Ann");

    player.resume();
    EXPECT_EQ(tick(), Sends({kPlaying}));
}

} // namespace
} // namespace tc::test
