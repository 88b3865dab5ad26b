// The first song after start-up, when the hidden conversation is not open
// yet, and a road that keeps failing.
#include "sim/player/PlayerSim.h"
#include "tests/delivery/DeliveryTest.h"

namespace tc::test {
namespace {

// The messenger starts with the player already playing and no conversation
// in front: the first delivery can only open the hidden conversation, and
// its command goes out at the next tick.
class FirstSong : public DeliveryTest {
protected:
    FirstSong() { startNow_ = false; }
    void SetUp() override { BackgroundTest::SetUp(); }

    // Starts the plug-in with the song already playing and a window of the
    // user's, not a conversation, in front; returns that window.
    HWND startWhilePlaying(sim::PlayerSim& player) {
        EXPECT_TRUE(player.open());
        player.play(1);
        HWND front = frontWindow();
        EXPECT_EQ(startUp(), S_OK);
        EXPECT_EQ(tick(), Sends{}) << "the call that opens the conversation sends nothing";
        EXPECT_EQ(messenger().instantMessageCalls(), 1);
        return front;
    }
};

TEST_F(FirstSong, ShowsAtTheNextTickWithOneKeyAndTheFrontGivenBack) {
    sim::PlayerSim player(2);
    HWND front = startWhilePlaying(player);
    const std::vector<sim::Conversation> debug = debugConversations();
    ASSERT_EQ(debug.size(), 1u);
    EXPECT_EQ(sentTo(), Sent{});

    background().tick();
    EXPECT_EQ(sentTo(), Sent({{debug[0].window, kPlaying}}));
    EXPECT_EQ(messenger().friendlyName(), L"Ann listening: (!WAT)");
    EXPECT_EQ(tick(3), Sends{}) << "sent once";
    EXPECT_EQ(messenger().hotKeyCount(), 1);
    EXPECT_EQ(messenger().strayHotKeys(), 0);
    EXPECT_EQ(messenger().instantMessageCalls(), 1);
    EXPECT_FALSE(IsWindowVisible(debug[0].window));
    EXPECT_EQ(GetForegroundWindow(), front);
    EXPECT_EQ(GetFocus(), front);
}

// A conversation that will not come to the front is asked again a few times,
// then only once a rest has passed, never every second; the name goes out
// once it comes.
TEST_F(FirstSong, AConversationThatWillNotComeToTheFrontIsAskedAgainOnlyAfterARest) {
    messenger().setNewWindowsRefuseForeground(true);
    sim::PlayerSim player(2);
    HWND front = startWhilePlaying(player);
    ASSERT_EQ(debugConversations().size(), 1u);
    const HWND debug = debugConversations()[0].window;
    const auto askedThisTick = [&] {
        const int before = conversation(debug).activations;
        EXPECT_EQ(tick(), Sends{});
        return conversation(debug).activations > before;
    };
    int asked = 0;
    for (int i = 0; i < kFailedTriesBeforeRest + 3; ++i) asked += askedThisTick();
    EXPECT_EQ(asked, kFailedTriesBeforeRest) << "then it rests";
    EXPECT_EQ(GetForegroundWindow(), front);
    clock().advance(kRestMilliseconds);
    EXPECT_TRUE(askedThisTick()) << "once the rest is over";
    EXPECT_FALSE(askedThisTick());

    messenger().setRefuseForeground(debug, false);
    clock().advance(kRestMilliseconds);
    EXPECT_EQ(tick(), Sends({kPlaying}));
    EXPECT_EQ(GetForegroundWindow(), front);
    EXPECT_EQ(messenger().strayHotKeys(), 0);
    EXPECT_EQ(messenger().instantMessageCalls(), 1) << "one conversation, not one per try";
}

TEST_F(FirstSong, ANewerCommandReplacesThePendingOneAndSwitchingOffDropsIt) {
    putSetting(keys::CurrentName, L"0");
    putSetting(keys::CustomName, L"1");
    putSetting(keys::CustomNamePl, L"Ann");
    putSetting(keys::CustomTagPl, L"#1");
    sim::PlayerSim player(2);
    startWhilePlaying(player);

    putSetting(keys::CustomTagPl, L"#2");
    player.play(2);
    EXPECT_EQ(tick(), Sends({L"/name Ann #2 (!WAT)"}));
    EXPECT_EQ(tick(2), Sends{});

    messenger().closeConversation(debugConversations()[0].window);
    putSetting(keys::CustomTagPl, L"#3");
    player.play(3);
    EXPECT_EQ(tick(), Sends{});
    ASSERT_EQ(messenger().instantMessageCalls(), 2);
    putSetting(keys::onOff, L"0");
    EXPECT_EQ(tick(), Sends{});
    putSetting(keys::onOff, L"1");
    EXPECT_EQ(tick(2), Sends{});
    EXPECT_EQ(messenger().hotKeyCount(), 1);
}

} // namespace
} // namespace tc::test
