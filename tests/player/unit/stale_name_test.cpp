// A now-playing name left on the service by an earlier run (the messenger
// closed while a song played): the first look with the watcher on and no
// player playing puts the plain name back, once, when the name is exactly
// one we would compose now, and leaves every other name alone. Each case
// starts a watcher of its own, as a new process would.
#include "player/modTimer.h"
#include "sim/player/PlayerSim.h"
#include "tests/support/BackgroundTest.h"

namespace tc::test {
namespace {

class StaleName : public BackgroundTest {
protected:
    void SetUp() override {
        BackgroundTest::SetUp();
        messenger().openConversation(L"bob@example.com"); // the user's, in front
    }
    Sends poll(modTimer& watcher, int ticks = 1) {
        for (int i = 0; i < ticks; ++i) watcher.pollWinamp();
        return newSends();
    }
};

TEST_F(StaleName, ComesBackToThePlainNameOnceInBothModes) {
    {
        modTimer fresh{form()};
        messenger().setFriendlyName(L"Ann listening: (!WAT)");
        EXPECT_EQ(poll(fresh), Sends({kPlain}));
        EXPECT_EQ(messenger().friendlyName(), L"Ann");
        messenger().setFriendlyName(L"Ann listening: (!WAT)");
        EXPECT_EQ(poll(fresh, 2), Sends{}) << "once per process";
    }
    putSetting(keys::CurrentName, L"0");
    putSetting(keys::CustomName, L"1");
    putSetting(keys::CustomNamePl, L"DJ Ann");
    putSetting(keys::CustomTagPl, L"on air");
    putSetting(keys::CustomNameNotPl, L"Ann away");
    modTimer fresh{form()};
    messenger().setFriendlyName(L"DJ Ann on air (!WAT)");
    EXPECT_EQ(poll(fresh), Sends({L"/name Ann away"}));
}

// A stopped or paused player plays nothing: no song of its own comes first.
TEST_F(StaleName, ComesBackToThePlainNameOnceWithAStoppedOrPausedPlayer) {
    sim::PlayerSim player(2);
    ASSERT_TRUE(player.open()); // stopped
    for (bool paused : {false, true}) {
        SCOPED_TRACE(paused ? "paused" : "stopped");
        if (paused) {
            player.play(2);
            player.pause();
        }
        modTimer fresh{form()};
        messenger().setFriendlyName(L"Ann listening: (!WAT)");
        EXPECT_EQ(poll(fresh, 2), Sends({kPlain}));
        EXPECT_EQ(messenger().friendlyName(), L"Ann");
    }
}

TEST_F(StaleName, LeftAloneWhenNotOursWhenSwitchedOffAndWhileAPlayerRuns) {
    for (const wchar_t* name : {L"Ann", L"Ann LISTENING: (!WAT)", L"Ann listening: Artist - Song"}) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(name)));
        modTimer fresh{form()};
        messenger().setFriendlyName(name);
        EXPECT_EQ(poll(fresh, 2), Sends{});
        EXPECT_EQ(messenger().friendlyName(), name);
    }

    messenger().setFriendlyName(L"Ann listening: (!WAT)");
    {
        modTimer fresh{form()};
        putSetting(keys::onOff, L"0");
        EXPECT_EQ(poll(fresh, 2), Sends{}) << "switched off";
        putSetting(keys::onOff, L"1");
    }

    // The player's own road: its song first, the plain name when it goes.
    sim::PlayerSim player(2);
    ASSERT_TRUE(player.open());
    player.play(1);
    modTimer fresh{form()};
    EXPECT_EQ(poll(fresh), Sends({kPlaying}));
    player.close();
    EXPECT_EQ(poll(fresh, 2), Sends({kPlain}));
}

} // namespace
} // namespace tc::test
