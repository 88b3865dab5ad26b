#include "tests/ui/e2e/UiTest.h"

#include <sddl.h>

namespace tc::test {
namespace {

using namespace ui::options;

struct OptionsView {
    bool shown = false;
    bool visible = false;
    bool minimised = true;
    bool inFront = false;
    bool option1 = false;
    bool option2 = false;
    std::wstring text1, text2, text3, text4;
};

OptionsView look(HWND dialog) {
    OptionsView v;
    v.shown = dialog != nullptr;
    if (!dialog) return v;
    v.visible = IsWindowVisible(dialog) != FALSE;
    v.minimised = IsIconic(dialog) != FALSE;
    v.inFront = GetForegroundWindow() == dialog;
    v.option1 = isChecked(dialog, Option1);
    v.option2 = isChecked(dialog, Option2);
    v.text1 = textOf(GetDlgItem(dialog, Text1));
    v.text2 = textOf(GetDlgItem(dialog, Text2));
    v.text3 = textOf(GetDlgItem(dialog, Text3));
    v.text4 = textOf(GetDlgItem(dialog, Text4));
    return v;
}


class OptionsDialog : public UiTest {
protected:
    OptionsView open(const std::function<void(HWND)>& act, Outcome* outcome = nullptr) {
        OptionsView view;
        Outcome out = command(L"/xwinampoptions", [&] {
            HWND dialog = waitForWindow(ui::kOptionsClass);
            Sleep(250); // shown; let it be brought forward and take the focus
            view = look(dialog);
            if (dialog) act(dialog);
        });
        if (outcome) *outcome = out;
        return view;
    }
    static void save(HWND dialog) {
        click(dialog, Command1);
        waitGone(dialog);
    }
    static void closeWithoutSaving(HWND dialog) {
        PostMessageW(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
        waitGone(dialog);
    }
};

TEST_F(OptionsDialog, FirstUseShowsCurrentNameModeWithEmptyBoxesAndSavesOnlyThatMode) {
    const Settings before = storedSettings();
    ASSERT_EQ(before.count(L"CurrentName"), 0u);

    Outcome out;
    OptionsView view = open(save, &out);

    ASSERT_TRUE(view.shown);
    EXPECT_TRUE(view.visible);
    EXPECT_FALSE(view.minimised);
    EXPECT_TRUE(view.inFront);
    EXPECT_TRUE(view.option1);
    EXPECT_FALSE(view.option2);
    EXPECT_EQ(view.text1, L"");
    EXPECT_EQ(view.text2, L"");
    EXPECT_EQ(view.text3, L"");
    EXPECT_EQ(view.text4, L"");

    // The command waits for the dialog, then answers true with sResult emptied.
    EXPECT_EQ(out.hr, S_OK);
    EXPECT_EQ(out.result, VARIANT_TRUE);
    EXPECT_EQ(out.sResult, L"");

    Settings expected = before;
    expected[L"CurrentName"] = L"1";
    expected[L"CustomName"] = L"0";
    expected[L"CurrentTag"] = L"";
    EXPECT_EQ(storedSettings(), expected);
}

TEST_F(OptionsDialog, LaterOpeningsComeUpInNormalStateInFrontNeverMinimised) {
    open(save);
    ASSERT_EQ(storedSettings()[L"CurrentName"], L"1");

    for (int opening = 0; opening < 2; ++opening) {
        OptionsView view = open(closeWithoutSaving);
        ASSERT_TRUE(view.shown) << "opening " << opening;
        EXPECT_TRUE(view.visible) << "opening " << opening;
        EXPECT_FALSE(view.minimised) << "opening " << opening;
        EXPECT_TRUE(view.inFront) << "opening " << opening;
    }
}

TEST_F(OptionsDialog, ModeOnOpeningFollowsTheFlagsWhereOnlyTheExactTextOneCounts) {
    struct Case {
        const wchar_t* currentName;
        const wchar_t* customName;
        bool option2;
    } cases[] = {
        {L"1", L"1", true},   // both set: the custom-name mode wins
        {L"0", L"1", true},
        {L"1", L"0", false},
        {L"0", L"0", false},  // neither: the mode chosen at creation stays
        {L"yes", L"true", false},
        {L"1 ", L" 1", false},
        {L"", L"", false},
    };
    for (const Case& c : cases) {
        storeSetting(L"CurrentName", c.currentName);
        storeSetting(L"CustomName", c.customName);
        OptionsView view = open(closeWithoutSaving);
        ASSERT_TRUE(view.shown);
        EXPECT_EQ(view.option2, c.option2) << c.currentName << "/" << c.customName;
        EXPECT_EQ(view.option1, !c.option2) << c.currentName << "/" << c.customName;
    }
}

TEST_F(OptionsDialog, OpeningShowsAllFourStoredTextsWhicheverModeIsSelected) {
    storeSetting(L"CurrentName", L"1");
    storeSetting(L"CustomName", L"0");
    storeSetting(L"CustomNameNotPl", L"Idle \x00e9t\x00e9");
    storeSetting(L"CustomNamePl", L"  Listening  ");
    storeSetting(L"CurrentTag", L"[tag]");
    storeSetting(L"CustomTagPl", L"\x266A on air");

    OptionsView view = open(closeWithoutSaving);
    ASSERT_TRUE(view.shown);
    EXPECT_TRUE(view.option1);
    EXPECT_EQ(view.text1, L"Idle \x00e9t\x00e9");
    EXPECT_EQ(view.text2, L"  Listening  ");
    EXPECT_EQ(view.text3, L"[tag]");
    EXPECT_EQ(view.text4, L"\x266A on air");
}

TEST_F(OptionsDialog, SavingCustomNameModeWritesItsTextsUntrimmedAndKeepsTheCurrentTag) {
    storeSetting(L"CurrentName", L"1");
    storeSetting(L"CustomName", L"0");
    storeSetting(L"CurrentTag", L"old tag");
    const Settings before = storedSettings();

    open([](HWND dialog) {
        click(dialog, Option2);
        setTextOf(GetDlgItem(dialog, Text1), L" away ");
        setTextOf(GetDlgItem(dialog, Text2), L"Tuned in");
        setTextOf(GetDlgItem(dialog, Text4), L"");
        setTextOf(GetDlgItem(dialog, Text3), L"edited but not saved");
        save(dialog);
    });

    Settings expected = before;
    expected[L"CurrentName"] = L"0";
    expected[L"CustomName"] = L"1";
    expected[L"CustomNameNotPl"] = L" away ";
    expected[L"CustomNamePl"] = L"Tuned in";
    expected[L"CustomTagPl"] = L"";
    EXPECT_EQ(storedSettings(), expected);

    // The next opening shows the custom mode and the tag stored earlier.
    OptionsView view = open(closeWithoutSaving);
    EXPECT_TRUE(view.option2);
    EXPECT_FALSE(view.option1);
    EXPECT_EQ(view.text3, L"old tag");
    EXPECT_EQ(view.text1, L" away ");
}

TEST_F(OptionsDialog, SavingCurrentNameModeLeavesTheCustomTextsAsStored) {
    storeSetting(L"CurrentName", L"0");
    storeSetting(L"CustomName", L"1");
    storeSetting(L"CustomNameNotPl", L"idle");
    storeSetting(L"CustomNamePl", L"playing");
    storeSetting(L"CustomTagPl", L"tag pl");
    const Settings before = storedSettings();

    open([](HWND dialog) {
        click(dialog, Option1);
        setTextOf(GetDlgItem(dialog, Text1), L"changed 1");
        setTextOf(GetDlgItem(dialog, Text2), L"changed 2");
        setTextOf(GetDlgItem(dialog, Text4), L"changed 4");
        setTextOf(GetDlgItem(dialog, Text3), L" now playing ");
        save(dialog);
    });

    Settings expected = before;
    expected[L"CurrentName"] = L"1";
    expected[L"CustomName"] = L"0";
    expected[L"CurrentTag"] = L" now playing ";
    EXPECT_EQ(storedSettings(), expected);
}

TEST_F(OptionsDialog, ClosingWithoutSavingWritesNothingAndTheNextOpeningShowsTheStoredValues) {
    storeSetting(L"CurrentName", L"1");
    storeSetting(L"CustomName", L"0");
    storeSetting(L"CurrentTag", L"kept");
    const Settings before = storedSettings();

    Outcome out;
    open(
        [](HWND dialog) {
            click(dialog, Option2);
            setTextOf(GetDlgItem(dialog, Text3), L"typed");
            setTextOf(GetDlgItem(dialog, Text1), L"typed too");
            closeWithoutSaving(dialog);
        },
        &out);
    EXPECT_EQ(out.result, VARIANT_TRUE);
    EXPECT_EQ(storedSettings(), before);

    OptionsView view = open(closeWithoutSaving);
    EXPECT_TRUE(view.option1);
    EXPECT_EQ(view.text3, L"kept");
    EXPECT_EQ(view.text1, L"");
}

// Sets the settings key's access rights from their text form; its owner may
// always change them.
bool setSettingsRights(const wchar_t* sddl) {
    PSECURITY_DESCRIPTOR rights = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl, SDDL_REVISION_1, &rights,
                                                              nullptr))
        return false;
    HKEY key = nullptr;
    bool done = RegOpenKeyExW(HKEY_CURRENT_USER, kDataPath, 0, WRITE_DAC | KEY_READ, &key) ==
                ERROR_SUCCESS;
    RegKey owned(key);
    done = done && RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, rights) == ERROR_SUCCESS;
    LocalFree(rights);
    return done;
}

TEST_F(OptionsDialog, ASaveThatCannotWriteKeepsTheDialogOpenWithWhatWasTyped) {
    storeSetting(L"CurrentName", L"0");
    storeSetting(L"CustomName", L"1");
    const Settings before = storedSettings();
    ASSERT_TRUE(setSettingsRights(L"D:P(A;;KR;;;WD)"));
    struct Restore {
        ~Restore() { setSettingsRights(L"D:P(A;;KA;;;WD)"); }
    } restore;
    if (storeSetting(L"probe", L"x"), storedSettings().count(L"probe"))
        GTEST_SKIP() << "this system does not enforce the key's access rights";

    bool openAfterFailedSave = false;
    std::wstring typed;
    Settings duringFailure;
    open([&](HWND dialog) {
        setTextOf(GetDlgItem(dialog, Text2), L"typed");
        click(dialog, Command1);
        Sleep(500);
        openAfterFailedSave = IsWindow(dialog) && IsWindowVisible(dialog);
        typed = textOf(GetDlgItem(dialog, Text2));
        duringFailure = storedSettings();
        // Writable again: the same save now goes through and closes it.
        setSettingsRights(L"D:P(A;;KA;;;WD)");
        click(dialog, Command1);
        waitGone(dialog);
    });
    EXPECT_TRUE(openAfterFailedSave);
    EXPECT_EQ(typed, L"typed");
    EXPECT_EQ(duringFailure, before);
    EXPECT_EQ(storedSettings()[L"CustomNamePl"], L"typed");
}

TEST_F(OptionsDialog, OptionButtonsFormOneGroup) {
    bool afterSecond[2] = {}, afterFirst[2] = {};
    open([&](HWND dialog) {
        click(dialog, Option2);
        Sleep(200);
        afterSecond[0] = isChecked(dialog, Option1);
        afterSecond[1] = isChecked(dialog, Option2);
        click(dialog, Option1);
        Sleep(200);
        afterFirst[0] = isChecked(dialog, Option1);
        afterFirst[1] = isChecked(dialog, Option2);
        closeWithoutSaving(dialog);
    });
    EXPECT_FALSE(afterSecond[0]);
    EXPECT_TRUE(afterSecond[1]);
    EXPECT_TRUE(afterFirst[0]);
    EXPECT_FALSE(afterFirst[1]);
}

// The keyboard visits the controls in layout order; of the two option
// buttons only the selected one is a stop, as usual for a group.
std::vector<int> tabChain(HWND dialog) {
    std::vector<int> chain;
    HWND first = GetDlgItem(dialog, Text1), at = first;
    for (int i = 0; i < 12; ++i) {
        at = GetNextDlgTabItem(dialog, at, FALSE);
        chain.push_back(GetDlgCtrlID(at));
        if (at == first) break;
    }
    return chain;
}

TEST_F(OptionsDialog, FocusStartsInTheFirstNameBoxAndTabFollowsTheLayoutOrder) {
    HWND startFocus = nullptr, expectedStart = nullptr;
    std::vector<int> currentMode, customMode, afterTab;
    const DWORD ui = uiThread_;
    open([&](HWND dialog) {
        Sleep(200);
        startFocus = focusOf(ui);
        expectedStart = GetDlgItem(dialog, Text1);
        currentMode = tabChain(dialog);
        // And the Tab key itself moves the focus that way.
        for (int i = 0; i < 3; ++i) {
            pressKey(ui, VK_TAB, 0);
            Sleep(150);
            afterTab.push_back(GetDlgCtrlID(focusOf(ui)));
        }
        click(dialog, Option2);
        Sleep(200);
        customMode = tabChain(dialog);
        closeWithoutSaving(dialog);
    });
    EXPECT_EQ(startFocus, expectedStart);
    EXPECT_EQ(currentMode, (std::vector<int>{Text2, Option1, Text3, Text4, Command1, Text1}));
    EXPECT_EQ(afterTab, (std::vector<int>{Text2, Option1, Text3}));
    EXPECT_EQ(customMode, (std::vector<int>{Text2, Text3, Text4, Option2, Command1, Text1}));
}

TEST_F(OptionsDialog, LayoutFollowsTheTwipsAtTheScreenResolutionOnAGreyBackground) {
    RECT client = {}, save = {}, text4 = {};
    COLORREF formPixel = 0, optionPixel = 0;
    std::wstring caption, labels[2], saveText, optionTexts[2];
    open([&](HWND dialog) {
        Sleep(300);
        GetClientRect(dialog, &client);
        save = childRect(dialog, Command1);
        text4 = childRect(dialog, Text4);
        caption = textOf(dialog);
        labels[0] = textOf(GetDlgItem(dialog, Label1));
        labels[1] = textOf(GetDlgItem(dialog, Label2));
        saveText = textOf(GetDlgItem(dialog, Command1));
        optionTexts[0] = textOf(GetDlgItem(dialog, Option1));
        optionTexts[1] = textOf(GetDlgItem(dialog, Option2));
        HDC dc = GetDC(dialog);
        formPixel = GetPixel(dc, 4, client.bottom - 4);
        // The right end of the option button, past its caption.
        const RECT option = childRect(dialog, Option1);
        optionPixel = GetPixel(dc, option.right - 3, (option.top + option.bottom) / 2);
        ReleaseDC(dialog, dc);
        closeWithoutSaving(dialog);
    });
    HDC screen = GetDC(nullptr);
    const int dpiX = GetDeviceCaps(screen, LOGPIXELSX), dpiY = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    auto px = [](int twips, int dpi) { return MulDiv(twips, dpi, 1440); };

    EXPECT_EQ(caption, L"Options");
    EXPECT_EQ(client.right, px(4485, dpiX));
    EXPECT_EQ(client.bottom, px(2280, dpiY));
    EXPECT_EQ(save.left, px(480, dpiX));
    EXPECT_EQ(save.top, px(1800, dpiY));
    EXPECT_EQ(save.right, px(480 + 1095, dpiX));
    EXPECT_EQ(save.bottom, px(1800 + 375, dpiY));
    EXPECT_EQ(text4.left, px(2400, dpiX));
    EXPECT_EQ(text4.top, px(1800, dpiY));
    EXPECT_EQ(formPixel, RGB(224, 224, 224));
    EXPECT_EQ(optionPixel, RGB(224, 224, 224));
    EXPECT_EQ(labels[0], L"Name when NOT listening to an sound");
    EXPECT_EQ(labels[1], L"Name When Listening to a sound");
    EXPECT_EQ(saveText, L"Save!!!");
    EXPECT_EQ(optionTexts[0], L"Use Current name and...");
    EXPECT_EQ(optionTexts[1], L"Use This Name...");
}

} // namespace
} // namespace tc::test
