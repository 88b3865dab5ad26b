// What the dialogs' modal loop owes the host's thread while a dialog is up:
// its timers keep running, a dialog opened from another one is owned by it,
// and a command that arrives meanwhile is answered.
#include "tests/ui/e2e/UiTest.h"

#include <atomic>

namespace tc::test {
namespace {

class ModalDialogs;
// A command sent from inside a dialog's modal loop, and its answer.
struct Nested {
    ModalDialogs* test = nullptr;
    const wchar_t* windowClass = nullptr;
    const wchar_t* text = nullptr;
    Outcome outcome;
    std::atomic<bool> done{false};
} g_nested;

class ModalDialogs : public UiTest {
protected:
    // Sends `text` from inside the modal loop once a window of `windowClass`
    // is the active one, as a command typed in another conversation would
    // arrive while that dialog waits.
    void sendOnceActive(const wchar_t* windowClass, const wchar_t* text) {
        g_nested.test = this;
        g_nested.windowClass = windowClass;
        g_nested.text = text;
        SetTimer(nullptr, 0, 20, fire);
    }

private:
    static void CALLBACK fire(HWND, UINT, UINT_PTR id, DWORD) {
        HWND up = FindWindowW(g_nested.windowClass, nullptr);
        if (!up || GetActiveWindow() != up) return;
        KillTimer(nullptr, id);
        g_nested.outcome = g_nested.test->parse(g_nested.text, L"x");
        g_nested.done = true;
    }
};

std::atomic<int> g_ticks{0};
void CALLBACK countTick(HWND, UINT, UINT_PTR, DWORD) { ++g_ticks; }

// The plug-in's once-a-second poll is a thread timer like this one: while a
// dialog is up, only the dialog's own loop can dispatch it.
TEST_F(ModalDialogs, DispatchTheThreadsTimerWhileEitherIsUp) {
    const UINT_PTR timer = SetTimer(nullptr, 0, 10, countTick);
    ASSERT_NE(timer, 0u);
    for (const auto& [text, windowClass] : {std::pair{L"/xwinampoptions", ui::kOptionsClass},
                                            std::pair{L"/xwinampabout", ui::kAboutClass}}) {
        bool shown = false, ticked = false;
        Outcome out = command(text, [&, windowClass = windowClass] {
            HWND dialog = waitForWindow(windowClass);
            shown = dialog != nullptr;
            const int before = g_ticks;
            ticked = waitFor([&] { return g_ticks >= before + 3; });
            PostMessageW(dialog, WM_CLOSE, 0, 0);
            waitGone(dialog);
        });
        EXPECT_TRUE(shown) << text;
        EXPECT_TRUE(ticked) << text << ": the thread's timer stopped while the dialog was up";
        EXPECT_EQ(out.result, VARIANT_TRUE) << text;
    }
    KillTimer(nullptr, timer);
}

// A dialog is owned by the plug-in's own form that is active (and disables
// it meanwhile); someone else's active window gets no owner and stays enabled.
TEST_F(ModalDialogs, AreOwnedOnlyByAnActiveFormOfThePlugin) {
    HWND options = nullptr, owner = nullptr;
    bool disabledMeanwhile = false, enabledAfter = false, stillOpen = false;
    sendOnceActive(ui::kOptionsClass, L"/xwinampabout");
    command(L"/xwinampoptions", [&] {
        options = waitForWindow(ui::kOptionsClass);
        HWND about = waitForWindow(ui::kAboutClass);
        if (!about) return;
        owner = GetWindow(about, GW_OWNER);
        disabledMeanwhile = !IsWindowEnabled(options);
        click(about, ui::about::OkButton);
        waitGone(about);
        enabledAfter = waitFor([&] { return IsWindowEnabled(options) != FALSE; });
        stillOpen = IsWindowVisible(options);
        PostMessageW(options, WM_CLOSE, 0, 0);
        waitGone(options);
    });
    ASSERT_NE(options, nullptr);
    EXPECT_EQ(owner, options);
    EXPECT_TRUE(disabledMeanwhile);
    EXPECT_TRUE(enabledAfter);
    EXPECT_TRUE(stillOpen);
    EXPECT_TRUE(g_nested.done);
    EXPECT_EQ(g_nested.outcome.hr, S_OK);
    EXPECT_EQ(g_nested.outcome.result, VARIANT_TRUE);

    OwnedWindow host(CreateWindowExW(0, L"Static", L"conversation",
                                     WS_OVERLAPPED | WS_CAPTION | WS_VISIBLE, 50, 50, 200, 100,
                                     nullptr, nullptr, nullptr, nullptr));
    SetForegroundWindow(host.get());
    ASSERT_TRUE(pumpUntil([&] { return GetActiveWindow() == host.get(); }, 5000));
    HWND hostWindow = host.get();
    HWND foreignOwner = hostWindow;
    bool hostEnabled = false;
    command(L"/xwinampabout", [&] {
        HWND about = waitForWindow(ui::kAboutClass);
        if (!about) return;
        foreignOwner = GetWindow(about, GW_OWNER);
        hostEnabled = IsWindowEnabled(hostWindow) != FALSE;
        click(about, ui::about::OkButton);
        waitGone(about);
    });
    EXPECT_EQ(foreignOwner, nullptr);
    EXPECT_TRUE(hostEnabled);
}

TEST_F(ModalDialogs, ASecondOptionsCommandWhileTheyAreUpFailsAndKeepsTheOneDialog) {
    int dialogs = 0;
    bool firstStillOpen = false;
    sendOnceActive(ui::kOptionsClass, L"/xwinampoptions");
    Outcome out = command(L"/xwinampoptions", [&] {
        HWND options = waitForWindow(ui::kOptionsClass);
        waitFor([] { return g_nested.done.load(); });
        for (HWND w = FindWindowW(ui::kOptionsClass, nullptr); w;
             w = FindWindowExW(nullptr, w, ui::kOptionsClass, nullptr))
            ++dialogs;
        firstStillOpen = IsWindow(options) && IsWindowVisible(options);
        PostMessageW(options, WM_CLOSE, 0, 0);
        waitGone(options);
    });
    EXPECT_TRUE(g_nested.done);
    EXPECT_EQ(dialogs, 1);
    EXPECT_TRUE(firstStillOpen);
    EXPECT_TRUE(FAILED(g_nested.outcome.hr));
    EXPECT_EQ(g_nested.outcome.result, VARIANT_FALSE);
    EXPECT_EQ(out.result, VARIANT_TRUE);
}

} // namespace
} // namespace tc::test
