#include "tests/ui/e2e/UiTest.h"

#include <atomic>

namespace tc::test {
namespace {

// --- a stand-in for the second-generation player, counting its title reads --
std::atomic<int> g_titleReads{0};

LRESULT CALLBACK playerProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_GETTEXT || msg == WM_GETTEXTLENGTH) ++g_titleReads;
    return DefWindowProcW(window, msg, wParam, lParam);
}

struct PlayerStandIn {
    OwnedWindow main, title;
    PlayerStandIn() {
        WNDCLASSW wc = {};
        wc.lpfnWndProc = playerProc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"studio";
        RegisterClassW(&wc);
        wc.lpfnWndProc = DefWindowProcW;
        wc.lpszClassName = L"basewindow_rootwnd";
        RegisterClassW(&wc);
        // An empty title reads the same every time: no name change is set
        // off, only the reads are counted.
        main.reset(CreateWindowExW(0, L"studio", L"", WS_OVERLAPPED, 0, 0, 10, 10, nullptr,
                                   nullptr, GetModuleHandleW(nullptr), nullptr));
        title.reset(CreateWindowExW(0, L"basewindow_rootwnd", L"", WS_POPUP, 0, 0, 10, 10,
                                    main.get(), nullptr, GetModuleHandleW(nullptr), nullptr));
    }
};

class ModalDialogs : public UiTest {};

TEST_F(ModalDialogs, ThePluginTimerKeepsTickingWhileEitherDialogIsUp) {
    storeSetting(L"onOff", L"1");
    PlayerStandIn player;
    ASSERT_TRUE(player.main && player.title);

    struct Run {
        const wchar_t* command;
        const wchar_t* windowClass;
    } runs[] = {{L"/xwinampoptions", ui::kOptionsClass}, {L"/xwinampabout", ui::kAboutClass}};
    for (const Run& run : runs) {
        int readsWhileUp = -1;
        bool shown = false;
        Outcome out = command(run.command, [&] {
            HWND dialog = waitForWindow(run.windowClass);
            shown = dialog != nullptr;
            const int before = g_titleReads;
            Sleep(3300);
            readsWhileUp = g_titleReads - before;
            PostMessageW(dialog, WM_CLOSE, 0, 0);
            waitGone(dialog);
        });
        EXPECT_TRUE(shown) << run.command;
        EXPECT_EQ(out.result, VARIANT_TRUE) << run.command;
        // One tick a second reads the title; three seconds give at least two.
        EXPECT_GE(readsWhileUp, 2) << run.command;
    }
}

// --- a dialog opened from a dialog --------------------------------------------
_PlayerPlugin* g_plugin = nullptr;
const wchar_t* g_nestedCommand = nullptr;
HRESULT g_nestedHr = E_UNEXPECTED;
VARIANT_BOOL g_nestedResult = VARIANT_FALSE;

void CALLBACK sendNested(HWND, UINT, UINT_PTR id, DWORD) {
    KillTimer(nullptr, id);
    Bstr command(g_nestedCommand), arg(L""), result(L"x");
    BSTR slot = result.detach();
    g_nestedHr = g_plugin->ParseCommand(command.get(), arg.get(), nullptr, &slot, &g_nestedResult);
    SysFreeString(slot);
}

TEST_F(ModalDialogs, AboutOpenedWhileTheOptionsAreActiveIsOwnedByThemAndDisablesThem) {
    g_plugin = plugin_.get();
    g_nestedCommand = L"/xwinampabout";
    SetTimer(nullptr, 0, 700, sendNested);

    HWND options = nullptr, owner = nullptr;
    bool optionsEnabledMeanwhile = true, optionsEnabledAfter = false, optionsStillOpen = false;
    command(L"/xwinampoptions", [&] {
        options = waitForWindow(ui::kOptionsClass);
        HWND about = waitForWindow(ui::kAboutClass);
        if (!about) return;
        owner = GetWindow(about, GW_OWNER);
        optionsEnabledMeanwhile = IsWindowEnabled(options) != FALSE;
        click(about, ui::about::Command2);
        waitGone(about);
        optionsEnabledAfter = IsWindowEnabled(options) != FALSE;
        optionsStillOpen = IsWindowVisible(options) != FALSE;
        PostMessageW(options, WM_CLOSE, 0, 0);
        waitGone(options);
    });
    ASSERT_NE(options, nullptr);
    EXPECT_EQ(owner, options);
    EXPECT_FALSE(optionsEnabledMeanwhile);
    EXPECT_TRUE(optionsEnabledAfter);
    EXPECT_TRUE(optionsStillOpen);
    EXPECT_EQ(g_nestedHr, S_OK);
    EXPECT_EQ(g_nestedResult, VARIANT_TRUE);
}

TEST_F(ModalDialogs, OptionsCommandWhileTheOptionsAreOpenFailsAndKeepsTheOneDialog) {
    g_plugin = plugin_.get();
    g_nestedCommand = L"/xwinampoptions";
    SetTimer(nullptr, 0, 700, sendNested);

    int dialogs = 0;
    bool firstStillOpen = false;
    Outcome out = command(L"/xwinampoptions", [&] {
        HWND options = waitForWindow(ui::kOptionsClass);
        Sleep(1500);
        for (HWND w = FindWindowW(ui::kOptionsClass, nullptr); w;
             w = FindWindowExW(nullptr, w, ui::kOptionsClass, nullptr))
            ++dialogs;
        firstStillOpen = IsWindow(options) && IsWindowVisible(options);
        PostMessageW(options, WM_CLOSE, 0, 0);
        waitGone(options);
    });
    EXPECT_EQ(dialogs, 1);
    EXPECT_TRUE(firstStillOpen);
    EXPECT_TRUE(FAILED(g_nestedHr));
    EXPECT_EQ(g_nestedResult, VARIANT_FALSE);
    EXPECT_EQ(out.result, VARIANT_TRUE);
}

TEST_F(ModalDialogs, ADialogOpenedFromSomeoneElsesWindowHasNoOwnerAndLeavesItEnabled) {
    OwnedWindow host(CreateWindowExW(0, L"Static", L"conversation", WS_OVERLAPPED | WS_CAPTION | WS_VISIBLE,
                                50, 50, 200, 100, nullptr, nullptr, nullptr, nullptr));
    ASSERT_TRUE(host);
    SetForegroundWindow(host.get());
    pump(200);
    ASSERT_EQ(GetActiveWindow(), host.get());

    HWND owner = reinterpret_cast<HWND>(1);
    bool hostEnabled = false;
    HWND hostWindow = host.get();
    command(L"/xwinampabout", [&] {
        HWND about = waitForWindow(ui::kAboutClass);
        if (!about) return;
        owner = GetWindow(about, GW_OWNER);
        hostEnabled = IsWindowEnabled(hostWindow) != FALSE;
        click(about, ui::about::Command2);
        waitGone(about);
    });
    EXPECT_EQ(owner, nullptr);
    EXPECT_TRUE(hostEnabled);
}

} // namespace
} // namespace tc::test
