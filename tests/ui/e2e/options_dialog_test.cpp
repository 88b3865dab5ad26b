// The options command as the host sends it: the dialog comes up in front
// with the keyboard in the first name box, the command answers once it has
// closed, and a save lands in the settings the plug-in reads. What the
// dialog loads and saves is tested on the form itself (unit/options_form_test).
#include "tests/ui/e2e/UiTest.h"

namespace tc::test {
namespace {

using namespace ui::options;

class OptionsDialog : public UiTest {};

struct Shown {
    bool inFront = false, visible = false, minimised = true;
};

TEST_F(OptionsDialog, ComesUpInFrontUntilSavedOrClosedAndAnswersWithTheResultEmptied) {
    Settings stored = storedSettings(); // what the plug-in's start seeded
    std::vector<int> focusAfterTabs;
    Shown first;
    const DWORD ui = uiThread_;
    Outcome saved = command(L"/xwinampoptions", [&] {
        HWND dialog = waitForWindow(ui::kOptionsClass);
        if (!dialog) return;
        first.inFront = waitFor([&] {
            return GetForegroundWindow() == dialog && focusOf(ui) == GetDlgItem(dialog, PlainNameBox);
        });
        first.visible = IsWindowVisible(dialog);
        first.minimised = IsIconic(dialog);
        // The modal loop hands Tab to the dialog manager: the focus moves on
        // in layout order.
        for (int i = 0; i < 3; ++i) {
            HWND before = focusOf(ui);
            pressKey(ui, VK_TAB, 0);
            waitFor([&] { return focusOf(ui) != before; });
            focusAfterTabs.push_back(GetDlgCtrlID(focusOf(ui)));
        }
        click(dialog, SaveButton);
        waitGone(dialog);
    });
    EXPECT_TRUE(first.inFront) << "in front with the focus in the first name box";
    EXPECT_TRUE(first.visible);
    EXPECT_FALSE(first.minimised);
    EXPECT_EQ(focusAfterTabs, (std::vector<int>{PlayingNameBox, CurrentNameOption, CurrentTagBox}));
    EXPECT_EQ(saved.hr, S_OK);
    EXPECT_EQ(saved.result, VARIANT_TRUE);
    EXPECT_EQ(saved.sResult, L"");
    // First use: the current-name mode, and nothing of the other mode.
    stored[keys::CurrentName] = L"1";
    stored[keys::CustomName] = L"0";
    stored[keys::CurrentTag] = L"";
    EXPECT_EQ(storedSettings(), stored);

    // Later openings come up the same way, never minimised; closed from the
    // window menu they store nothing and still answer true.
    for (int opening = 2; opening <= 3; ++opening) {
        Shown later;
        Outcome closed = command(L"/xwinampoptions", [&] {
            HWND dialog = waitForWindow(ui::kOptionsClass);
            if (!dialog) return;
            later.inFront = waitFor([&] { return GetForegroundWindow() == dialog; });
            later.visible = IsWindowVisible(dialog);
            later.minimised = IsIconic(dialog);
            setTextOf(GetDlgItem(dialog, CurrentTagBox), L"typed, not saved");
            PostMessageW(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
            waitGone(dialog);
        });
        EXPECT_TRUE(later.inFront) << "opening " << opening;
        EXPECT_TRUE(later.visible) << "opening " << opening;
        EXPECT_FALSE(later.minimised) << "opening " << opening;
        EXPECT_EQ(closed.hr, S_OK) << "opening " << opening;
        EXPECT_EQ(closed.result, VARIANT_TRUE) << "opening " << opening;
        EXPECT_EQ(closed.sResult, L"") << "opening " << opening;
        EXPECT_EQ(storedSettings(), stored) << "opening " << opening;
    }
}

} // namespace
} // namespace tc::test
