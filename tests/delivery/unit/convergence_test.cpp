// The name ends where the music is: a wish waits through whatever keeps it
// from going out, and is composed when it goes, from the name as it stands
// then and from what the plug-in knows it showed.
#include "sim/player/PlayerSim.h"
#include "tests/support/BackgroundTest.h"

#include <utility>
#include <vector>

namespace tc::test {
namespace {

class Convergence : public BackgroundTest {
protected:
    // The first song's name gone out in the user's conversation with Bob.
    void songInTheUsersConversation() {
        ASSERT_TRUE(player.open());
        player.play(song);
        messenger().openConversation(L"bob@example.com");
        ASSERT_EQ(tick(), Sends({kPlaying}));
    }

    sim::PlayerSim player{2};
    int song = 1;
};

// The messenger reconnects after a network drop, or after the laptop wakes,
// while the player stops: the plain name goes out once it is signed in
// again, also after the road has started to rest.
TEST_F(Convergence, AStopWhileSignedOutGoesOutAtTheSignIn) {
    songInTheUsersConversation();
    messenger().setSignedIn(false);
    player.stop();
    EXPECT_EQ(tick(kFailedTriesBeforeRest + 2), Sends{});
    messenger().setSignedIn(true);
    EXPECT_EQ(tick(), Sends({kPlain}));
    EXPECT_EQ(messenger().friendlyName(), L"Ann");
}

TEST_F(Convergence, AStopWhileTheFriendlyNameCannotBeReadGoesOutOnceItCan) {
    songInTheUsersConversation();
    messenger().setFriendlyNameFails(true);
    player.stop();
    EXPECT_EQ(tick(2), Sends{});
    messenger().setFriendlyNameFails(false);
    EXPECT_EQ(tick(), Sends({kPlain}));
}

// What the plug-in showed is kept with the tag and the form it used: a tag
// or a mode changed while a song shows still finds the user's own name, and
// the next song and the stop start from it.
TEST_F(Convergence, ATagOrModeChangedWhileASongShowsStartsFromTheUsersOwnName) {
    using Settings = std::vector<std::pair<const wchar_t*, const wchar_t*>>;
    const Settings custom = {{keys::CurrentName, L"0"},     {keys::CustomName, L"1"},
                             {keys::CustomNamePl, L"DJ Ann"}, {keys::CustomTagPl, L"live"},
                             {keys::CustomNameNotPl, L"Ann away"}};
    const Settings current = {{keys::CurrentName, L"1"}, {keys::CustomName, L"0"}};
    const std::wstring customPlaying = L"/name DJ Ann live (!WAT)";
    const struct {
        const char* what;
        Settings settings;
        bool stop;
        std::wstring sent;
    } steps[] = {
        {"a new tag while a song shows", {{keys::CurrentTag, L"on air"}}, false,
         L"/name Ann on air (!WAT)"},
        {"the stop after it", {}, true, kPlain},
        {"the tag back, a song", {{keys::CurrentTag, L"listening:"}}, false, kPlaying},
        {"the custom names while a song shows", custom, false, customPlaying},
        {"the current name while that shows", current, false, kPlaying},
        {"the custom names again", custom, false, customPlaying},
        {"their stop", {}, true, L"/name Ann away"},
    };
    songInTheUsersConversation();
    for (const auto& step : steps) {
        SCOPED_TRACE(step.what);
        for (const auto& [key, value] : step.settings) putSetting(key, value);
        if (step.stop) player.stop();
        else player.play(++song);
        EXPECT_EQ(tick(), Sends({step.sent}));
    }
}

} // namespace
} // namespace tc::test
