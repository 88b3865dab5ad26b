// The player's windows going away under the watcher's feet: between the
// tick's lookup and the reader's, or in the middle of the reader's text read.
// The tick must survive, and the plain name must come back once the player
// is gone.
#include "tests/support/FaultFixture.h"

using tc::sim::PlayerSim;
using namespace tc::test;

namespace {

// Destroys a set of windows the first time one of them is asked for its text
// while armed, from inside that very request.
struct CloseOnRead {
    static inline std::vector<HWND> victims;
    static inline WNDPROC original = nullptr;
    static inline bool armed = false;
    static inline int fired = 0;
    static inline UINT trigger = WM_GETTEXT;

    static LRESULT CALLBACK proc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
        if (armed && msg == trigger) {
            armed = false;
            ++fired;
            for (HWND v : victims)
                if (IsWindow(v)) DestroyWindow(v);
            if (msg == WM_GETTEXT && wp > 0) reinterpret_cast<char*>(lp)[0] = 0;
            return 0;
        }
        return CallWindowProcW(original, w, msg, wp, lp);
    }
    static void install(HWND reader, std::vector<HWND> toClose, UINT on = WM_GETTEXT) {
        victims = std::move(toClose);
        trigger = on;
        armed = false;
        fired = 0;
        original = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrW(reader, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&proc)));
    }
};

} // namespace

TEST_F(FaultTest, SecondGenerationWindowClosingWhileItsTitleIsRead) {
    auto plugin = startWatching();
    PlayerSim player(2);
    ASSERT_TRUE(player.open());
    player.play(1);
    ASSERT_EQ(expectSends(1), Sends({kPlaying}));

    CloseOnRead::install(player.mainWindow(), {player.mainWindow()});
    player.play(2);
    CloseOnRead::armed = true;
    messenger().waitForSend(seen_, 3500);
    pump(1500);
    EXPECT_EQ(CloseOnRead::fired, 1);
    Sends sent = newSends();
    ASSERT_FALSE(sent.empty());
    EXPECT_EQ(sent.back(), kPlain) << "the player is gone: the plain name comes back";
    EXPECT_EQ(messenger().friendlyName(), L"Ann");
    EXPECT_EQ(quietFor(2200), Sends{}) << "and only once";

    // A player started again is followed as before.
    PlayerSim again(2);
    ASSERT_TRUE(again.open());
    again.play(4);
    EXPECT_EQ(expectSends(1), Sends({kPlaying}));
    expectUserDataKept();
}

TEST_F(FaultTest, ThirdGenerationClosingBetweenTheTextLengthAndTheText) {
    auto plugin = startWatching();
    PlayerSim player(3);
    ASSERT_TRUE(player.open());
    player.play(1);
    ASSERT_EQ(expectSends(1), Sends({kPlaying}));

    CloseOnRead::install(player.titleWindow(),
                         {player.popupWindow(), player.titleWindow(), player.mainWindow()});
    player.play(2);
    CloseOnRead::armed = true;
    messenger().waitForSend(seen_, 3500);
    pump(2200);
    EXPECT_EQ(CloseOnRead::fired, 1);
    Sends sent = newSends();
    ASSERT_FALSE(sent.empty());
    EXPECT_EQ(sent.back(), kPlain);
    EXPECT_EQ(messenger().friendlyName(), L"Ann");
    EXPECT_EQ(quietFor(2200), Sends{});
    expectUserDataKept();
}

namespace {

// A title window that claims an absurd text length, as a broken or hostile
// player may answer WM_GETTEXTLENGTH with anything.
struct LyingLength {
    static inline WNDPROC original = nullptr;
    static inline LRESULT claimed = 0;
    static LRESULT CALLBACK proc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
        if (msg == WM_GETTEXTLENGTH) return claimed;
        return CallWindowProcW(original, w, msg, wp, lp);
    }
    static void install(HWND w, LRESULT length) {
        claimed = length;
        original = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrW(w, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&proc)));
    }
};

} // namespace

class AbsurdTitleLength : public FaultTest, public ::testing::WithParamInterface<LRESULT> {};

TEST_P(AbsurdTitleLength, TheTickSurvivesAndTheWatcherGoesOn) {
    auto plugin = startWatching();
    PlayerSim player(3);
    ASSERT_TRUE(player.open());
    player.play(1);
    ASSERT_EQ(expectSends(1), Sends({kPlaying}));

    LyingLength::install(player.titleWindow(), GetParam());
    player.play(2);
    EXPECT_LT(longestDispatch(2500), 2500u);
    newSends();  // whatever the reader made of it; the process is alive

    // The player closes: the plain name comes back as usual.
    player.close();
    messenger().waitForSend(seen_, 3500);
    pump(300);
    Sends sent = newSends();
    ASSERT_FALSE(sent.empty());
    EXPECT_EQ(sent.back(), kPlain);
    expectUserDataKept();
}

INSTANTIATE_TEST_SUITE_P(Fault, AbsurdTitleLength,
                         ::testing::Values(LRESULT(0x7fffffff), LRESULT(0x40000000), LRESULT(-5)),
                         [](const auto& info) {
                             return info.param == 0x7fffffff   ? std::string("IntMax")
                                    : info.param == 0x40000000 ? std::string("OneGiB")
                                                               : std::string("Negative");
                         });

TEST_F(FaultTest, ThirdGenerationTitleWindowGoneWhileTheMainWindowStays) {
    auto plugin = startWatching();
    PlayerSim player(3);
    ASSERT_TRUE(player.open());
    player.play(1);
    ASSERT_EQ(expectSends(1), Sends({kPlaying}));

    // The reader finds no title window: it reads an empty text, which is a
    // change like any other; nothing breaks.
    DestroyWindow(player.popupWindow());
    EXPECT_EQ(expectSends(1), Sends({kPlaying}));
    EXPECT_EQ(quietFor(2200), Sends{});
    player.close();
    EXPECT_EQ(expectSends(1), Sends({kPlain}));
    expectUserDataKept();
}
