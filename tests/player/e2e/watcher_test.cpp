// The display name following the player, seen from outside: player windows
// change, the plug-in's timer ticks, and the add-on sends "/name" commands.
#include "tests/player/e2e/WatcherFixture.h"

#include "platform/Handles.h"

using tc::sim::PlayerSim;
using namespace tc::test;

namespace {

bool parseCommand(_PlayerPlugin* p, const wchar_t* command) {
    tc::Bstr cmd(command), arg(L""), result;
    VARIANT_BOOL handled = VARIANT_FALSE;
    HRESULT hr = p->ParseCommand(cmd.get(), arg.get(), nullptr, result.put(), &handled);
    return SUCCEEDED(hr) && handled == VARIANT_TRUE;
}

} // namespace

TEST_F(WatcherTest, PlayerExitRestoresOnceAndARestartWithTheSameTitleChangesNothing) {
    auto plugin = startWatching();
    {
        PlayerSim player(2);
        ASSERT_TRUE(player.open());
        player.play(1);
        EXPECT_EQ(expectSends(1), Sends({kPlaying}));
        player.close();
        EXPECT_EQ(expectSends(1), Sends({kPlain}));
        EXPECT_EQ(quietFor(2200), Sends{}) << "restored once only";
    }
    PlayerSim again(2);
    ASSERT_TRUE(again.open());
    again.play(1); // before any tick: the reader only ever sees the old title
    EXPECT_EQ(quietFor(2500), Sends{});
    EXPECT_EQ(messenger().friendlyName(), L"Ann");

    again.play(2);
    EXPECT_EQ(expectSends(1), Sends({kPlaying}));
}

TEST_F(WatcherTest, SecondGenerationReadsThroughThePopupsOwnerAndNeverStops) {
    auto plugin = startWatching();
    PlayerSim player(3);
    ASSERT_TRUE(player.open());
    player.play(1);
    EXPECT_EQ(expectSends(1), Sends({kPlaying}));

    // Only the title window changes; the main window's text stays the same.
    player.play(2);
    EXPECT_EQ(expectSends(1), Sends({kPlaying}));

    // No stopped or paused test: a changed title is a song change.
    player.stop();
    EXPECT_EQ(expectSends(1), Sends({kPlaying}));
    EXPECT_EQ(quietFor(1500), Sends{});

    player.close();
    EXPECT_EQ(expectSends(1), Sends({kPlain}));
    EXPECT_EQ(quietFor(1500), Sends{});
}

TEST_F(WatcherTest, BothGenerationsOnlyTheNewerIsReadAndEachExitRestoresInItsOwnTick) {
    auto plugin = startWatching();
    PlayerSim older(2), newer(3);
    ASSERT_TRUE(older.open());
    older.play(1);
    ASSERT_TRUE(newer.open());
    newer.play(3);
    EXPECT_EQ(expectSends(1), Sends({kPlaying}));

    older.play(2);
    EXPECT_EQ(quietFor(2500), Sends{}) << "the older player is not read while the newer runs";

    // The newer one goes: in one tick the older one's first reading sets the
    // now-playing name and the newer one's exit restores the plain name,
    // which stays until the older one's title changes.
    newer.close();
    EXPECT_EQ(expectSends(2), Sends({kPlaying, kPlain}));
    EXPECT_EQ(quietFor(1500), Sends{});
    older.play(3);
    EXPECT_EQ(expectSends(1), Sends({kPlaying}));

    // Both have set the name; both go at once: one restore per tick.
    ASSERT_TRUE(newer.open());
    newer.play(4);
    EXPECT_EQ(expectSends(1), Sends({kPlaying}));
    older.close();
    newer.close();
    messenger().waitForSend(seen_ + 1, 4000);
    auto restores = newEntries();
    ASSERT_EQ(restores.size(), 2u);
    EXPECT_EQ(restores[0].text, kPlain);
    EXPECT_EQ(restores[1].text, kPlain);
    EXPECT_GT(restores[1].tick - restores[0].tick, 500u) << "in two consecutive ticks";
    EXPECT_EQ(quietFor(1500), Sends{});
}

TEST_F(WatcherTest, SwitchedOffNothingHappensAndSwitchingOnRestoresAGonePlayer) {
    auto plugin = startWatching();
    PlayerSim player(2);
    ASSERT_TRUE(player.open());
    player.play(1);
    EXPECT_EQ(expectSends(1), Sends({kPlaying}));

    ASSERT_TRUE(parseCommand(plugin.get(), L"/xwinampoff"));
    player.play(2);
    EXPECT_EQ(quietFor(2200), Sends{});
    player.close();
    EXPECT_EQ(quietFor(2200), Sends{}) << "no restore while switched off";
    EXPECT_EQ(messenger().friendlyName(), L"Ann listening: (!WAT)");

    ASSERT_TRUE(parseCommand(plugin.get(), L"/xwinampon"));
    EXPECT_EQ(expectSends(1), Sends({kPlain}));
    EXPECT_EQ(quietFor(1500), Sends{});
}

TEST_F(WatcherTest, VeryLongAndVeryShortTitles) {
    auto plugin = startWatching();
    PlayerSim player(2);
    ASSERT_TRUE(player.open());
    const std::wstring head(2047, L'x');
    player.setTitle(head + L" [Stopped]");
    // Cut to 2047 characters: neither stopped nor, later, different.
    EXPECT_EQ(expectSends(1), Sends({kPlaying}));
    player.setTitle(head + L"yyyy");
    EXPECT_EQ(quietFor(2200), Sends{}) << "differences past 2047 characters are not seen";

    player.setTitle(L"abc");
    EXPECT_EQ(expectSends(1), Sends({kPlaying}));
    player.setTitle(L"Paused]"); // seven characters are enough to be paused
    EXPECT_EQ(expectSends(3, 4500), Sends({kPlain, kPlaying, kPlain}));
    EXPECT_EQ(quietFor(1500), Sends{});
}

TEST_F(WatcherTest, OneTimerAndOneEventConnectionForTwoObjects) {
    auto first = createPlugin();
    auto second = createPlugin();
    ASSERT_TRUE(first && second);
    auto timers = countTimers(3300);
    EXPECT_EQ(timers.distinctTimers(), 1u);
    EXPECT_GE(timers.ticks.size(), 2u);
    EXPECT_LE(timers.ticks.size(), 4u);
    EXPECT_EQ(messenger().connectedSinks(), 1u);

    second.reset();
    auto third = createPlugin();
    EXPECT_EQ(countTimers(1500).distinctTimers(), 1u);
    EXPECT_EQ(messenger().connectedSinks(), 1u);
}
