// The about command as the host sends it: the box comes up in front with
// the focus on System Info, shows the DLL's own version, and closes on OK or
// Esc only. Its layout, its lift and the tool's look-up are tested on the
// form itself (unit/about_form_test, unit/sysinfo_test).
#include "tests/ui/e2e/UiTest.h"

#include "ui/SysInfo.h"

namespace tc::test {
namespace {

using namespace ui::about;

class AboutBox : public UiTest {
protected:
    // No way to the system information tool: System Info reports it missing.
    void SetUp() override {
        UiTest::SetUp();
        RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, ui::kSysInfoKey, ui::kSysInfoPathValue);
        RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, ui::kSysInfoFolderKey, ui::kSysInfoFolderValue);
    }
};

TEST_F(AboutBox, ComesUpInFrontWithFocusOnSystemInfoAndClosesOnOkOrEscOnly) {
    std::wstring caption, title, version, ok, systemInfo, heading, mail, site;
    bool inFront = false, minimised = true, toldUnavailable = false, toldOverTheBox = false,
         openAfterOtherKeys = false, closedByOk = false, closedByEsc = false;
    const DWORD ui = uiThread_;
    Outcome out = command(L"/xwinampabout", [&] {
        HWND box = waitForWindow(ui::kAboutClass);
        if (!box) return;
        HWND first = GetDlgItem(box, SysInfoButton);
        inFront = waitFor([&] { return GetForegroundWindow() == box && focusOf(ui) == first; });
        minimised = IsIconic(box);
        caption = textOf(box);
        title = textOf(GetDlgItem(box, TitleLabel));
        version = textOf(GetDlgItem(box, VersionLabel));
        ok = textOf(GetDlgItem(box, OkButton));
        systemInfo = textOf(first);
        heading = textOf(GetDlgItem(box, DeveloperHeading));
        mail = textOf(GetDlgItem(box, MailLabel));
        site = textOf(GetDlgItem(box, WebsiteLabel));

        click(box, SysInfoButton);
        HWND message = nullptr;
        toldUnavailable = waitFor(
            [&] { return (message = messageBoxOf(ui, ui::kSysInfoUnavailable)) != nullptr; });
        toldOverTheBox = message && GetWindow(message, GW_OWNER) == box;
        if (message) PostMessageW(message, WM_COMMAND, IDOK, 0);

        // Keys go to the focused control in the order posted: once the Tab
        // after the others has moved the focus, they have all been handled.
        waitFor([&] { return focusOf(ui) == first; });
        pressKey(ui, 'A', L'a');
        pressKey(ui, VK_F2, 0);
        pressKey(ui, VK_HOME, 0);
        pressKey(ui, VK_TAB, 0);
        openAfterOtherKeys = waitFor([&] { return focusOf(ui) == GetDlgItem(box, OkButton); });
        openAfterOtherKeys = openAfterOtherKeys && IsWindowVisible(box);
        click(box, OkButton);
        closedByOk = waitGone(box);
    });
    EXPECT_TRUE(inFront) << "in front with the focus on System Info";
    EXPECT_FALSE(minimised);
    EXPECT_EQ(caption, L"About Tunecaster");
    EXPECT_EQ(title, L"Tunecaster");
    EXPECT_EQ(version, L"Version 1.0.0"); // the DLL's version resource
    EXPECT_EQ(ok, L"OK");
    EXPECT_EQ(systemInfo, L"System Info");
    EXPECT_EQ(heading, L"Developer's info :");
    EXPECT_EQ(mail.rfind(L"E-mail : ", 0), 0u) << mail;
    EXPECT_EQ(site.rfind(L"Website : ", 0), 0u) << site;
    EXPECT_TRUE(toldUnavailable);
    EXPECT_TRUE(toldOverTheBox);
    EXPECT_TRUE(openAfterOtherKeys);
    EXPECT_TRUE(closedByOk);
    // Answered after closing; sResult is left as passed.
    EXPECT_EQ(out.hr, S_OK);
    EXPECT_EQ(out.result, VARIANT_TRUE);
    EXPECT_EQ(out.sResult, L"as passed");

    command(L"/xwinampabout", [&] {
        HWND box = waitForWindow(ui::kAboutClass);
        if (!box || !waitFor([&] { return focusOf(ui) == GetDlgItem(box, SysInfoButton); })) return;
        pressKey(ui, VK_ESCAPE, 27);
        closedByEsc = waitGone(box);
    });
    EXPECT_TRUE(closedByEsc);
}

} // namespace
} // namespace tc::test
