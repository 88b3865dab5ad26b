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

    // A stop or a pause: the plain name once, at the tick that sees it; the
    // ticks after it are idle and ask the messenger nothing.
    player.stop();
    EXPECT_EQ(tick(), Sends({kPlain}));
    const int reads = messenger().nameReads();
    EXPECT_EQ(tick(), Sends{});
    EXPECT_EQ(messenger().nameReads(), reads);
    EXPECT_EQ(messenger().friendlyName(), L"Ann");

    player.resume();
    EXPECT_EQ(tick(), Sends({kPlaying}));
    EXPECT_EQ(messenger().friendlyName(), L"Ann listening: (!WAT)");

    player.pause();
    EXPECT_EQ(tick(), Sends({kPlain}));
    EXPECT_EQ(tick(), Sends{});
    EXPECT_EQ(messenger().friendlyName(), L"Ann");

    player.resume();
    EXPECT_EQ(tick(), Sends({kPlaying}));
}

// A stopped or paused title is remembered, and no now-playing name is set
// for it: not at the first reading, nor for a new title that starts so.
TEST_F(SongChange, AStoppedOrPausedPlayerNeverShowsAsPlaying) {
    sim::PlayerSim player(2);
    ASSERT_TRUE(player.open()); // stopped at its first song
    EXPECT_EQ(tick(2), Sends{});
    player.setTitle(player.titleFor(3, sim::PlayerSim::State::Paused));
    EXPECT_EQ(tick(2), Sends{});
    EXPECT_EQ(messenger().friendlyName(), L"Ann");

    player.play(3);
    EXPECT_EQ(tick(), Sends({kPlaying}));
}

TEST_F(SongChange, PlayerExitRestoresOnceAndARestartOnTheSameSongShowsIt) {
    for (int generation : {2, 3}) {
        // The second start shows the same song: the last title went with the
        // player that showed it.
        for (int start = 1; start <= 2; ++start) {
            SCOPED_TRACE(::testing::Message()
                         << "generation " << generation << ", start " << start);
            sim::PlayerSim player(generation);
            ASSERT_TRUE(player.open());
            player.play(1);
            EXPECT_EQ(tick(), Sends({kPlaying}));
            player.close();
            EXPECT_EQ(tick(), Sends({kPlain}));
            EXPECT_EQ(tick(2), Sends{}) << "restored once only";
        }
    }
}

// The player scrolls its title in the taskbar: each reading is the last one
// turned, which is the same song. Any other text of the same length is not.
TEST_F(SongChange, AScrollingTitleIsOneSongInBothGenerations) {
    for (int generation : {2, 3}) {
        SCOPED_TRACE(generation);
        sim::PlayerSim player(generation);
        player.setScrolling(true, 0); // turned by the test alone
        ASSERT_TRUE(player.open());
        player.play(1);
        EXPECT_EQ(tick(), Sends({kPlaying}));
        const std::wstring unturned = player.title();
        for (size_t turn = 0; turn < unturned.size(); ++turn) { // more than once round
            player.scrollStep();
            EXPECT_EQ(tick(), Sends{}) << "turn " << turn;
        }

        std::wstring shuffled = player.title();
        size_t at = 0;
        while (shuffled[at] == shuffled[at + 1]) ++at;
        std::swap(shuffled[at], shuffled[at + 1]);
        player.setTitle(shuffled);
        EXPECT_EQ(tick(), Sends({kPlaying})) << "the same length, not turned";
        player.close();
        EXPECT_EQ(tick(), Sends({kPlain}));
    }
}

TEST_F(SongChange, Winamp3IsReadThroughThePopupsOwnerAndNeverCountsAsStopped) {
    sim::PlayerSim player(3);
    ASSERT_TRUE(player.open());
    player.play(1);
    EXPECT_EQ(tick(), Sends({kPlaying}));

    // Only the title window changes; the main window's text stays the same.
    player.play(2);
    EXPECT_EQ(tick(), Sends({kPlaying}));

    player.stop();
    EXPECT_EQ(tick(), Sends({kPlaying})) << "a stopped title is just another title";
    EXPECT_EQ(tick(), Sends{});

    player.close();
    EXPECT_EQ(tick(), Sends({kPlain}));
    EXPECT_EQ(tick(), Sends{});
}

// A switch of generations ends on the player that plays: the exit of the
// other one does not take its song back.
TEST_F(SongChange, WithBothPlayersOnlyTheNewerIsReadAndASwitchEndsOnThePlayerThatPlays) {
    sim::PlayerSim older(2), newer(3);
    ASSERT_TRUE(older.open());
    older.play(1);
    EXPECT_EQ(tick(), Sends({kPlaying}));
    older.close();
    ASSERT_TRUE(newer.open());
    newer.play(3);
    EXPECT_EQ(tick(), Sends({kPlaying}));
    EXPECT_EQ(tick(), Sends{});

    ASSERT_TRUE(older.open());
    older.play(2);
    EXPECT_EQ(tick(), Sends{}) << "the older player is not read while the newer runs";

    newer.close();
    EXPECT_EQ(tick(), Sends({kPlaying}));
    EXPECT_EQ(tick(), Sends{});
    EXPECT_EQ(messenger().friendlyName(), L"Ann listening: (!WAT)");

    // Both have set the name; both go at once: plain, never now-playing.
    ASSERT_TRUE(newer.open());
    newer.play(4);
    EXPECT_EQ(tick(), Sends({kPlaying}));
    older.close();
    newer.close();
    EXPECT_EQ(tick(2), Sends({kPlain}));
    EXPECT_EQ(tick(), Sends{});
}

TEST_F(SongChange, SwitchedOffNothingHappensAndSwitchingOnRestoresAGonePlayer) {
    sim::PlayerSim player(2);
    ASSERT_TRUE(player.open());
    player.play(1);
    EXPECT_EQ(tick(), Sends({kPlaying}));

    // Only the very text "1" is on.
    player.play(2);
    for (const wchar_t* off : {L"0", L"", L" 1", L"1 ", L"yes"}) {
        putSetting(keys::onOff, off);
        EXPECT_EQ(tick(), Sends{}) << "onOff '" << std::string(off, off + wcslen(off)) << "'";
    }
    player.close();
    EXPECT_EQ(tick(), Sends{}) << "no restore while switched off";
    EXPECT_EQ(messenger().friendlyName(), L"Ann listening: (!WAT)");

    putSetting(keys::onOff, L"1");
    EXPECT_EQ(tick(), Sends({kPlain}));
    EXPECT_EQ(tick(), Sends{});
}

TEST_F(SongChange, TitlesCountUpTo2047CharactersAndSevenAreEnoughToBePaused) {
    sim::PlayerSim player(2);
    ASSERT_TRUE(player.open());
    const std::wstring head(2047, L'x');
    player.setTitle(head + L" [Stopped]");
    EXPECT_EQ(tick(), Sends({kPlaying})) << "cut to 2047 characters: not stopped";
    player.setTitle(head + L"yyyy");
    EXPECT_EQ(tick(), Sends{}) << "differences past 2047 characters are not seen";
    player.setTitle(head.substr(0, 2046) + L"z");
    EXPECT_EQ(tick(), Sends({kPlaying})) << "the 2047th character counts";

    player.setTitle(L"abc");
    EXPECT_EQ(tick(), Sends({kPlaying}));
    EXPECT_EQ(tick(), Sends{});
    player.setTitle(L"Paused]");
    EXPECT_EQ(tick(), Sends({kPlain}));
    EXPECT_EQ(tick(), Sends{});
}

} // namespace
} // namespace tc::test
