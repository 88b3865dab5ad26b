// A now-playing name left on the service by an earlier run (the messenger
// closed while a song played): the first look with the watcher on and no
// player playing puts the plain name back, once, when the name is exactly
// one we would compose now, and leaves every other name alone. Each case
// starts a watcher of its own, as a new process would.
#include "sim/common/ForegroundRule.h"
#include "sim/player/PlayerSim.h"
#include "tests/support/BackgroundTest.h"

#include <functional>

namespace tc::test {
namespace {

// The background work of a new process, over the same messenger session and
// delivery: its own players' memory and its own first look.
class FreshStart {
public:
    FreshStart(MessengerSession& session, Delivery& delivery)
        : background_({session, delivery, players_}, Background::Timer::Manual) {}
    void tick() { background_.tick(); }

private:
    PlayerWatcher players_;
    Background background_;
};

class StaleName : public BackgroundTest {
protected:
    void SetUp() override {
        BackgroundTest::SetUp();
        messenger().openConversation(L"bob@example.com"); // the user's, in front
    }
    Sends poll(FreshStart& fresh, int ticks = 1) {
        for (int i = 0; i < ticks; ++i) fresh.tick();
        return newSends();
    }
};

TEST_F(StaleName, ComesBackToThePlainNameOnceInBothModes) {
    {
        FreshStart fresh{session(), delivery()};
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
    FreshStart fresh{session(), delivery()};
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
        FreshStart fresh{session(), delivery()};
        messenger().setFriendlyName(L"Ann listening: (!WAT)");
        EXPECT_EQ(poll(fresh, 2), Sends({kPlain}));
        EXPECT_EQ(messenger().friendlyName(), L"Ann");
    }
}

TEST_F(StaleName, LeftAloneWhenNotOursWhenSwitchedOffAndWhileAPlayerRuns) {
    for (const wchar_t* name : {L"Ann", L"Ann LISTENING: (!WAT)", L"Ann listening: Artist - Song"}) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(name)));
        FreshStart fresh{session(), delivery()};
        messenger().setFriendlyName(name);
        EXPECT_EQ(poll(fresh, 2), Sends{});
        EXPECT_EQ(messenger().friendlyName(), name);
    }

    messenger().setFriendlyName(L"Ann listening: (!WAT)");
    {
        FreshStart fresh{session(), delivery()};
        putSetting(keys::onOff, L"0");
        EXPECT_EQ(poll(fresh, 2), Sends{}) << "switched off";
        putSetting(keys::onOff, L"1");
    }

    // The player's own road: its song first, the plain name when it goes.
    sim::PlayerSim player(2);
    ASSERT_TRUE(player.open());
    player.play(1);
    FreshStart fresh{session(), delivery()};
    EXPECT_EQ(poll(fresh), Sends({kPlaying}));
    player.close();
    EXPECT_EQ(poll(fresh, 2), Sends({kPlain}));
}

// The same look, only for a name exactly ours, whenever the state around the
// name changes: a sign-in of the same user or another, the user's return
// after a lock, a wish dropped. Never at an idle tick: that reads no name.
TEST_F(StaleName, IsLookedForAgainAfterASignInAReturnAndADrop) {
    namespace rule = sim::foregroundRule;
    rule::install();
    EXPECT_EQ(tick(), Sends{}) << "the start-up look finds the user's own name";
    const auto signInAgain = [] {
        messenger().setSignedIn(false);
        messenger().setSignedIn(true);
    };
    const struct {
        const char* what;
        std::function<void()> change;
        std::wstring left, sent;
    } cases[] = {
        {"a sign-in", signInAgain, L"Ann listening: (!WAT)", kPlain},
        {"the return after a lock",
         [this] {
             rule::setLocked(true);
             tick();
             rule::setLocked(false);
             pump(0);
         },
         L"Ann listening: (!WAT)", kPlain},
        {"a dropped wish",
         [this] {
             rule::userPresses(VK_SHIFT);
             wantPlain(); // waits for the key
             putSetting(keys::onOff, L"0");
             tick();
             putSetting(keys::onOff, L"1");
             rule::userReleases(VK_SHIFT);
             userPauses();
         },
         L"Ann listening: (!WAT)", kPlain},
        {"another user's sign-in",
         [] {
             messenger().setSignedIn(false);
             messenger().setSigninName(L"bob@example.com");
             messenger().setSignedIn(true);
         },
         L"Bob listening: (!WAT)", L"/name Bob"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        messenger().setFriendlyName(c.left);
        const int reads = messenger().nameReads();
        EXPECT_EQ(tick(2), Sends{});
        EXPECT_EQ(messenger().nameReads(), reads) << "an idle tick reads no name";
        c.change();
        EXPECT_EQ(tick(), Sends({c.sent}));
    }
}

} // namespace
} // namespace tc::test
