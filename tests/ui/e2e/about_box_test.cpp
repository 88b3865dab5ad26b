#include "tests/ui/e2e/UiTest.h"

#include "ui/SysInfo.h"

#include <vector>

namespace tc::test {
namespace {

using namespace ui::about;

// The machine-wide values that lead to the system information tool, removed
// before and after each test so that every case sets up exactly its own.
void forgetSysInfoTool() {
    RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, ui::kSysInfoKey, ui::kSysInfoPathValue);
    RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, ui::kSysInfoFolderKey, ui::kSysInfoFolderValue);
}

void setMachineString(const wchar_t* key, const wchar_t* name, const std::wstring& value) {
    RegSetKeyValueW(HKEY_LOCAL_MACHINE, key, name, REG_SZ, value.c_str(),
                    static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}

std::wstring tempFolder(const wchar_t* name) {
    wchar_t base[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, base);
    std::wstring folder = std::wstring(base) + name;
    CreateDirectoryW(folder.c_str(), nullptr);
    return folder;
}

class AboutBox : public UiTest {
protected:
    void SetUp() override {
        UiTest::SetUp();
        forgetSysInfoTool();
    }
    void TearDown() override {
        forgetSysInfoTool();
        UiTest::TearDown();
    }
    Outcome open(const std::function<void(HWND)>& act) {
        return command(L"/xwinampabout", [&] {
            if (HWND box = waitForWindow(ui::kAboutClass)) act(box);
        });
    }
};

TEST_F(AboutBox, ShowsNameAndVersionWithFocusOnSystemInfoAndClosesOnOk) {
    std::wstring caption, title, version, buttons[2], developer[3];
    bool inFront = false, minimised = true, closed = false;
    HWND focus = nullptr, systemInfo = nullptr;
    const DWORD ui = uiThread_;
    Outcome out = open([&](HWND box) {
        Sleep(200);
        caption = textOf(box);
        title = textOf(GetDlgItem(box, LblTitle));
        version = textOf(GetDlgItem(box, LblVersion));
        buttons[0] = textOf(GetDlgItem(box, Command2));
        buttons[1] = textOf(GetDlgItem(box, Command3));
        developer[0] = textOf(GetDlgItem(box, Label2));
        developer[1] = textOf(GetDlgItem(box, LbEmail));
        developer[2] = textOf(GetDlgItem(box, LbPhone));
        inFront = GetForegroundWindow() == box;
        minimised = IsIconic(box) != FALSE;
        focus = focusOf(ui);
        systemInfo = GetDlgItem(box, Command3);
        click(box, Command2);
        closed = waitGone(box);
    });
    EXPECT_EQ(caption, L"About Tunecaster");
    EXPECT_EQ(title, L"Tunecaster");
    EXPECT_EQ(version, L"Version 1.0.0");
    EXPECT_EQ(buttons[0], L"OK");
    EXPECT_EQ(buttons[1], L"System Info");
    EXPECT_EQ(developer[0], L"Developer's info :");
    EXPECT_EQ(developer[1].rfind(L"E-mail : ", 0), 0u) << developer[1];
    EXPECT_EQ(developer[2].rfind(L"Website : ", 0), 0u) << developer[2];
    EXPECT_TRUE(inFront);
    EXPECT_FALSE(minimised);
    EXPECT_EQ(focus, systemInfo);
    EXPECT_TRUE(closed);
    // Answered after closing; sResult is left as passed.
    EXPECT_EQ(out.hr, S_OK);
    EXPECT_EQ(out.result, VARIANT_TRUE);
    EXPECT_EQ(out.sResult, L"as passed");
}

TEST_F(AboutBox, EscClosesItAndOtherKeysDoNot) {
    bool openAfterOtherKeys = false, closedByEsc = false;
    const DWORD ui = uiThread_;
    open([&](HWND box) {
        Sleep(200);
        pressKey(ui, 'A', L'a');
        pressKey(ui, VK_F2, 0);
        pressKey(ui, VK_HOME, 0);
        Sleep(400);
        openAfterOtherKeys = IsWindow(box) && IsWindowVisible(box);
        pressKey(ui, VK_ESCAPE, 27);
        closedByEsc = waitGone(box);
    });
    EXPECT_TRUE(openAfterOtherKeys);
    EXPECT_TRUE(closedByEsc);
}

TEST_F(AboutBox, SystemInfoReportsTheToolUnavailableWhenItCannotBeFoundOrStarted) {
    const std::wstring emptyFolder = tempFolder(L"tc-no-sysinfo");
    struct Case {
        const char* what;
        std::function<void()> arrange;
    } cases[] = {
        {"no keys at all", [] {}},
        {"first key names a missing program",
         [] { setMachineString(ui::kSysInfoKey, ui::kSysInfoPathValue,
                               L"C:\\nowhere\\at all\\msinfo32.exe"); }},
        {"second key names a folder without the program",
         [&] { setMachineString(ui::kSysInfoFolderKey, ui::kSysInfoFolderValue, emptyFolder); }},
        {"first key empty", [] { setMachineString(ui::kSysInfoKey, ui::kSysInfoPathValue, L""); }},
    };
    std::vector<bool> boxShown, boxClosed, aboutStaysOpen;
    const DWORD ui = uiThread_;
    open([&](HWND box) {
        for (Case& c : cases) {
            forgetSysInfoTool();
            c.arrange();
            click(box, Command3);
            HWND message = waitForMessageBox(ui, ui::kSysInfoUnavailable, 5000);
            boxShown.push_back(message != nullptr);
            if (message) PostMessageW(message, WM_COMMAND, IDOK, 0);
            boxClosed.push_back(message && waitGone(message));
            aboutStaysOpen.push_back(IsWindow(box) && IsWindowVisible(box));
        }
        click(box, Command2);
        waitGone(box);
    });
    ASSERT_EQ(boxShown.size(), std::size(cases));
    for (size_t i = 0; i < std::size(cases); ++i) {
        EXPECT_TRUE(boxShown[i]) << cases[i].what;
        EXPECT_TRUE(boxClosed[i]) << cases[i].what;
        EXPECT_TRUE(aboutStaysOpen[i]) << cases[i].what;
    }
    RemoveDirectoryW(emptyFolder.c_str());
}

// Both ways to the tool start it; the first key's path is taken as it is.
TEST_F(AboutBox, SystemInfoStartsTheProgramTheRegistryNamesInANormalWindow) {
    wchar_t system[MAX_PATH] = {};
    GetSystemDirectoryW(system, MAX_PATH);
    const std::wstring notepad = std::wstring(system) + L"\\notepad.exe";
    ASSERT_NE(GetFileAttributesW(notepad.c_str()), INVALID_FILE_ATTRIBUTES);
    setMachineString(ui::kSysInfoKey, ui::kSysInfoPathValue, notepad);

    bool started = false, normal = false, noMessage = false;
    const DWORD ui = uiThread_;
    open([&](HWND box) {
        click(box, Command3);
        HWND tool = waitForWindow(L"Notepad", 15000);
        started = tool != nullptr;
        if (tool) {
            normal = IsWindowVisible(tool) && !IsIconic(tool);
            PostMessageW(tool, WM_CLOSE, 0, 0);
            waitGone(tool, 5000);
        }
        noMessage = waitForMessageBox(ui, ui::kSysInfoUnavailable, 500) == nullptr;
        click(box, Command2);
        waitGone(box);
    });
    EXPECT_TRUE(started);
    EXPECT_TRUE(normal);
    EXPECT_TRUE(noMessage);
}

TEST_F(AboutBox, LiftsItselfAboveOtherWindowsOnceAboutASecondAfterOpening) {
    // A window of the test's own, put above the about box right away and
    // again after the lift.
    auto above = [](HWND a, HWND b) { // a is above b in the window order
        for (HWND w = GetWindow(b, GW_HWNDPREV); w; w = GetWindow(w, GW_HWNDPREV))
            if (w == a) return true;
        return false;
    };
    bool coveredAtFirst = false, liftedAfterASecond = false, coveredAgainStays = false;
    open([&](HWND box) {
        HWND cover = CreateWindowExW(0, L"Static", L"cover", WS_POPUP | WS_VISIBLE, 10, 10, 50,
                                     50, nullptr, nullptr, nullptr, nullptr);
        SetWindowPos(cover, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        coveredAtFirst = above(cover, box);
        Sleep(1600);
        liftedAfterASecond = above(box, cover);
        SetWindowPos(cover, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        Sleep(1600);
        coveredAgainStays = above(cover, box);
        DestroyWindow(cover);
        click(box, Command2);
        waitGone(box);
    });
    EXPECT_TRUE(coveredAtFirst);
    EXPECT_TRUE(liftedAfterASecond);
    EXPECT_TRUE(coveredAgainStays);
}

TEST_F(AboutBox, LayoutFollowsTheTwipsAtTheScreenResolutionOnWhite) {
    RECT client = {}, ok = {}, version = {};
    COLORREF background = 0;
    open([&](HWND box) {
        Sleep(300);
        GetClientRect(box, &client);
        ok = childRect(box, Command2);
        version = childRect(box, LblVersion);
        HDC dc = GetDC(box);
        background = GetPixel(dc, client.right - 3, client.bottom - 3);
        ReleaseDC(box, dc);
        click(box, Command2);
        waitGone(box);
    });
    HDC screen = GetDC(nullptr);
    const int dpiX = GetDeviceCaps(screen, LOGPIXELSX), dpiY = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    auto px = [](int twips, int dpi) { return MulDiv(twips, dpi, 1440); };
    EXPECT_EQ(client.right, px(5610, dpiX));
    EXPECT_EQ(client.bottom, px(3120, dpiY));
    EXPECT_EQ(ok.left, px(4200, dpiX));
    EXPECT_EQ(ok.top, px(1200, dpiY));
    EXPECT_EQ(ok.right, px(4200 + 1215, dpiX));
    EXPECT_EQ(version.left, px(1755, dpiX));
    EXPECT_EQ(version.top, px(645, dpiY));
    EXPECT_EQ(background, RGB(255, 255, 255));
}

} // namespace
} // namespace tc::test
