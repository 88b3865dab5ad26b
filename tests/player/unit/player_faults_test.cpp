// Player windows that go away under the watcher's feet or lie about their
// text: the tick must survive, the plain name must come back once the player
// is gone, and nothing the user stored may suffer.
#include "platform/Win32.h"
#include "sim/player/PlayerSim.h"
#include "tests/support/BackgroundTest.h"

#include <map>

namespace tc::test {
namespace {

// Destroys a set of windows from inside the first text request one of them
// gets while armed.
struct CloseOnRead {
    static inline std::vector<HWND> victims;
    static inline WNDPROC original = nullptr;
    static inline bool armed = false;
    static inline int fired = 0;

    static LRESULT CALLBACK proc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
        if (armed && msg == WM_GETTEXT) {
            armed = false;
            ++fired;
            for (HWND v : victims)
                if (IsWindow(v)) DestroyWindow(v);
            if (wp > 0) reinterpret_cast<char*>(lp)[0] = 0;
            return 0;
        }
        return CallWindowProcW(original, w, msg, wp, lp);
    }
    static void install(HWND reader, std::vector<HWND> toClose) {
        victims = std::move(toClose);
        armed = false;
        fired = 0;
        original = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrW(reader, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&proc)));
    }
};

// A title window answering WM_GETTEXTLENGTH with whatever the test claims,
// as a broken or hostile player may.
struct LyingLength {
    static inline WNDPROC original = nullptr;
    static inline LRESULT claimed = 0;
    static LRESULT CALLBACK proc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
        if (msg == WM_GETTEXTLENGTH) return claimed;
        return CallWindowProcW(original, w, msg, wp, lp);
    }
    static void install(HWND w) {
        original = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrW(w, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&proc)));
    }
};

class PlayerFaults : public BackgroundTest {
protected:
    // One tick as the system delivers it: from the message dispatch of a
    // thread timer, which swallows a processor fault in its callback.
    Sends dispatchedTick() {
        static Background* target = nullptr;
        static bool fired = false;
        struct Timer {
            static void CALLBACK proc(HWND, UINT, UINT_PTR id, DWORD) {
                KillTimer(nullptr, id);
                fired = true;
                target->tick();
            }
        };
        target = &background();
        fired = false;
        const UINT_PTR id = SetTimer(nullptr, 0, USER_TIMER_MINIMUM, &Timer::proc);
        EXPECT_NE(id, 0u);
        const DWORD start = GetTickCount();
        while (!fired && GetTickCount() - start < 5000) {
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 100, QS_ALLINPUT);
            MSG m;
            while (!fired && PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&m);
        }
        KillTimer(nullptr, id);
        EXPECT_TRUE(fired) << "the timer never fired";
        return newSends();
    }

    // Values of the add-on's beside the slot the plug-in writes.
    const std::wstring preferences_ = preferencesOf(L"ann@example.com");
    const std::wstring quickText01_ = preferences_ + L"\\QuickTexts\\QuickText01";

    void SetUp() override {
        BackgroundTest::SetUp();
        if (HasFatalFailure()) return;
        messenger().openConversation(L"bob@example.com"); // the user's, in front
        ASSERT_TRUE(slotValues::writeString(HKEY_CURRENT_USER, quickText01_, L"Message", L"brb"));
        ASSERT_TRUE(slotValues::writeString(HKEY_CURRENT_USER, preferences_, L"Theme", L"dark"));
        settings_ = allValues(kSettingsPath);
    }

    void TearDown() override {
        EXPECT_TRUE(allValues(kSettingsPath) == settings_) << "the plug-in's settings changed";
        std::wstring brb, dark;
        EXPECT_TRUE(
            (reg::getString(HKEY_CURRENT_USER, quickText01_, L"Message", brb) == ERROR_SUCCESS) &&
            brb == L"brb")
            << "the add-on's quick text 01 changed";
        EXPECT_TRUE(
            (reg::getString(HKEY_CURRENT_USER, preferences_, L"Theme", dark) == ERROR_SUCCESS) &&
            dark == L"dark")
            << "the add-on's preferences changed";
    }

    // Fires one tick, which must see the player gone: the plain name comes
    // back in it (whatever the reader made of the vanishing title), and only
    // then.
    void expectRestoredOnce() {
        const Sends sent = tick();
        ASSERT_FALSE(sent.empty());
        EXPECT_EQ(sent.back(), kPlain) << "the player is gone: the plain name comes back";
        EXPECT_EQ(messenger().friendlyName(), L"Ann");
        EXPECT_EQ(tick(2), Sends{}) << "and only once";
    }

    std::map<std::wstring, reg::RawValue> settings_;
};

TEST_F(PlayerFaults, Winamp2WindowClosingWhileItsTitleIsRead) {
    sim::PlayerSim player(2);
    ASSERT_TRUE(player.open());
    player.play(1);
    ASSERT_EQ(tick(), Sends({kPlaying}));

    CloseOnRead::install(player.mainWindow(), {player.mainWindow()});
    player.play(2);
    CloseOnRead::armed = true;
    expectRestoredOnce();
    EXPECT_EQ(CloseOnRead::fired, 1);

    // A player started again is followed as before.
    sim::PlayerSim again(2);
    ASSERT_TRUE(again.open());
    again.play(4);
    EXPECT_EQ(tick(), Sends({kPlaying}));
}

TEST_F(PlayerFaults, AFaultInTheMessengersOwnCodeEndsThatTickOnly) {
    sim::PlayerSim player(2);
    ASSERT_TRUE(player.open());
    player.play(1);
    messenger().faultOnNextFriendlyName();
    EXPECT_EQ(dispatchedTick(), Sends{}) << "the tick ended at the fault";

    player.play(2);
    EXPECT_EQ(dispatchedTick(), Sends({kPlaying})) << "the next song still changes the name";
    EXPECT_EQ(messenger().friendlyName(), L"Ann listening: (!WAT)");
}

TEST_F(PlayerFaults, Winamp3ClosingBetweenTheTextLengthAndTheText) {
    sim::PlayerSim player(3);
    ASSERT_TRUE(player.open());
    player.play(1);
    ASSERT_EQ(tick(), Sends({kPlaying}));

    CloseOnRead::install(player.titleWindow(),
                         {player.popupWindow(), player.titleWindow(), player.mainWindow()});
    player.play(2);
    CloseOnRead::armed = true;
    expectRestoredOnce();
    EXPECT_EQ(CloseOnRead::fired, 1);
}

TEST_F(PlayerFaults, Winamp3TitleWindowGoneWhileTheMainWindowStays) {
    sim::PlayerSim player(3);
    ASSERT_TRUE(player.open());
    player.play(1);
    ASSERT_EQ(tick(), Sends({kPlaying}));

    // The reader finds no title window: it reads an empty text, which is a
    // change like any other; nothing breaks.
    DestroyWindow(player.popupWindow());
    EXPECT_EQ(tick(), Sends({kPlaying}));
    EXPECT_EQ(tick(2), Sends{});
    player.close();
    EXPECT_EQ(tick(), Sends({kPlain}));
}

TEST_F(PlayerFaults, AbsurdTitleLengthsNeitherHoldTheTickNorStopTheWatcher) {
    sim::PlayerSim player(3);
    ASSERT_TRUE(player.open());
    player.play(1);
    ASSERT_EQ(tick(), Sends({kPlaying}));

    LyingLength::install(player.titleWindow());
    int song = 1;
    for (LRESULT claim :
         {LRESULT(0x7fffffff), LRESULT(0x40000000), LRESULT(0x4000000), LRESULT(-5)}) {
        SCOPED_TRACE(claim);
        LyingLength::claimed = claim;
        player.play(++song);
        const DWORD start = GetTickCount();
        tick(); // whatever the reader made of it
        EXPECT_LT(GetTickCount() - start, 10000u) << "hang guard: the tick held the thread";
    }
    player.close();
    expectRestoredOnce();
}

} // namespace
} // namespace tc::test
