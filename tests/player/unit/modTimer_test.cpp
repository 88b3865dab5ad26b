// The watcher's pieces without the timer: lookups, title tests and the
// readers' state, driven by calling them directly against real windows.
// No messenger runs here, so the name changes they trigger go nowhere.
#include "messenger/frmSendText.h"
#include "player/modTimer.h"
#include "settings/SettingsStore.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// A bare top-level window of a class, hidden, owned by this thread.
HWND makeWindow(const wchar_t* cls, const std::wstring& text, DWORD style = WS_OVERLAPPED,
                HWND owner = nullptr) {
    WNDCLASSW wc = {};
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = cls;
    RegisterClassW(&wc); // a second registration fails harmlessly
    return CreateWindowExW(0, cls, text.c_str(), style, 0, 0, 100, 40, owner, nullptr,
                           GetModuleHandleW(nullptr), nullptr);
}

class Readers : public ::testing::Test {
protected:
    void SetUp() override { tc::test::wipeUserState(); }

    tc::frmSendText form{tc::systemClock()}; // never loaded: the changes go nowhere
    tc::modTimer watcher{form};
};

} // namespace

TEST(PlayerLookup, AnyNonNullHandleIsAWindow) {
    // Handles are opaque values; one with its top bit set is as real as any.
    EXPECT_TRUE(tc::playerWindowFound(reinterpret_cast<HWND>(static_cast<UINT_PTR>(0x80001234u))));
    EXPECT_FALSE(tc::playerWindowGone(reinterpret_cast<HWND>(static_cast<UINT_PTR>(0xFFFFFFFEu))));
    EXPECT_TRUE(tc::playerWindowFound(reinterpret_cast<HWND>(static_cast<UINT_PTR>(0x10))));
    EXPECT_FALSE(tc::playerWindowFound(nullptr));
    EXPECT_TRUE(tc::playerWindowGone(nullptr));
}

TEST(PlayerTitle, StoppedOrPausedJustBeforeTheLastCharacter) {
    using tc::titleStoppedOrPaused;
    EXPECT_TRUE(titleStoppedOrPaused(L"3. A - B - Winamp [Stopped]"));
    EXPECT_TRUE(titleStoppedOrPaused(L"3. A - B - Winamp [Paused]"));
    EXPECT_TRUE(titleStoppedOrPaused(L"3. A - B - Winamp *Stopped*"));
    EXPECT_TRUE(titleStoppedOrPaused(L"Stopped]")); // exactly eight characters
    // The last character is never part of the test.
    EXPECT_FALSE(titleStoppedOrPaused(L"3. A - B - Winamp [Stopped"));
    EXPECT_FALSE(titleStoppedOrPaused(L"3. A - B - Winamp Stopped"));
    EXPECT_FALSE(titleStoppedOrPaused(L"3. A - B - Winamp [Stopped]]"));
    // Exact case.
    EXPECT_FALSE(titleStoppedOrPaused(L"3. A - B - Winamp [stopped]"));
    EXPECT_FALSE(titleStoppedOrPaused(L"3. A - B - Winamp [PAUSED]"));
    EXPECT_FALSE(titleStoppedOrPaused(L"3. A - B - Winamp"));
}

// Each test needs its word and one character after it: seven characters can
// be paused, only eight can be stopped.
TEST(PlayerTitle, ShortTitlesAreStoppedOrPausedOnlyWhenTheWordFits) {
    using tc::titleStoppedOrPaused;
    for (const wchar_t* t : {L"", L"x", L"abc", L"aused!", L"Stopped", L"topped]"})
        EXPECT_FALSE(titleStoppedOrPaused(t)) << "title '" << std::string(t, t + wcslen(t)) << "'";
    EXPECT_TRUE(titleStoppedOrPaused(L"Paused!"));
    EXPECT_TRUE(titleStoppedOrPaused(L"Paused]"));
}

TEST(PlayerTitle, Text1KeepsTheTextBeforeTheFirstNul) {
    EXPECT_EQ(tc::frmWinampText1(std::wstring(L"abc\0   ", 7)), L"abc");
    EXPECT_EQ(tc::frmWinampText1(std::wstring(L"\0abc", 4)), L"");
    EXPECT_EQ(tc::frmWinampText1(L"no nul here"), L"no nul here");
}

TEST_F(Readers, Winamp2KeepsTheWholeBufferAndRestoresOnAStoppedTitle) {
    HWND player = makeWindow(L"Winamp v1.x", L"1. A - B - Winamp");
    ASSERT_NE(player, nullptr);
    auto& st = watcher;

    watcher.winamp2();
    ASSERT_EQ(st.lastTitle2.size(), 2048u);
    EXPECT_EQ(st.lastTitle2.substr(0, 18), std::wstring(L"1. A - B - Winamp\0", 18));
    EXPECT_EQ(st.lastTitle2.find_first_not_of(L' ', 18), std::wstring::npos)
        << "the spaces after the NUL belong to the raw text";
    EXPECT_EQ(st.nameChanged2, L"1");

    // Stopping: restore then (the text changed) now-playing again; one more
    // reading restores for good and further readings do nothing.
    SetWindowTextW(player, L"1. A - B - Winamp [Stopped]");
    watcher.winamp2();
    EXPECT_EQ(st.nameChanged2, L"1");
    EXPECT_EQ(tc::frmWinampText1(st.lastTitle2), L"1. A - B - Winamp [Stopped]");
    watcher.winamp2();
    EXPECT_EQ(st.nameChanged2, L"0");
    watcher.winamp2();
    EXPECT_EQ(st.nameChanged2, L"0");

    // Resuming is a change of text like any other.
    SetWindowTextW(player, L"1. A - B - Winamp");
    watcher.winamp2();
    EXPECT_EQ(st.nameChanged2, L"1");
    DestroyWindow(player);
}

TEST_F(Readers, Winamp2CutsLongTitlesAndCopesWithShortOnes) {
    HWND player = makeWindow(L"Winamp v1.x", std::wstring(3000, L'x'));
    ASSERT_NE(player, nullptr);
    auto& st = watcher;
    watcher.winamp2();
    EXPECT_EQ(st.lastTitle2.size(), 2048u);
    EXPECT_EQ(tc::frmWinampText1(st.lastTitle2), std::wstring(2047, L'x'));

    SetWindowTextW(player, L"abc");
    watcher.winamp2();
    EXPECT_EQ(tc::frmWinampText1(st.lastTitle2), L"abc");
    EXPECT_EQ(st.nameChanged2, L"1");
    watcher.winamp2();
    EXPECT_EQ(st.nameChanged2, L"1");
    DestroyWindow(player);
}

TEST_F(Readers, Winamp3ReadsThePopupsOwnerAndHasNoStopTest) {
    HWND studio = makeWindow(L"studio", L"Winamp3 main window");
    HWND titled = makeWindow(L"UnitTitleWindow", L"7. C - D - Winamp [Stopped]");
    HWND popup = makeWindow(L"basewindow_rootwnd", L"", WS_POPUP, titled);
    ASSERT_TRUE(studio && titled && popup);
    auto& st = watcher;

    watcher.winamp3();
    EXPECT_EQ(st.lastTitle3, L"7. C - D - Winamp [Stopped]");
    EXPECT_EQ(st.nameChanged3, L"1");
    watcher.winamp3();
    EXPECT_EQ(st.nameChanged3, L"1") << "a stopped title does not restore for this generation";
    DestroyWindow(popup);
    DestroyWindow(titled);
    DestroyWindow(studio);
}

TEST_F(Readers, TickDoesNothingUnlessSwitchedOnAndRestoresAGonePlayerOnce) {
    HWND player = makeWindow(L"Winamp v1.x", L"2. E - F - Winamp");
    ASSERT_NE(player, nullptr);
    auto& st = watcher;

    for (const wchar_t* off : {L"", L"0", L" 1", L"1 ", L"yes"}) {
        ASSERT_EQ(tc::writeSetting(tc::keys::onOff, off), S_OK);
        watcher.pollWinamp();
        EXPECT_TRUE(st.lastTitle2.empty()) << "onOff '" << std::string(off, off + wcslen(off)) << "'";
    }
    ASSERT_EQ(tc::writeSetting(tc::keys::onOff, L"1"), S_OK);
    watcher.pollWinamp();
    EXPECT_EQ(tc::frmWinampText1(st.lastTitle2), L"2. E - F - Winamp");
    EXPECT_EQ(st.nameChanged2, L"1");

    DestroyWindow(player);
    watcher.pollWinamp();
    EXPECT_EQ(st.nameChanged2, L"0");
    EXPECT_EQ(tc::frmWinampText1(st.lastTitle2), L"2. E - F - Winamp") << "never cleared";
}
