// The options dialog's form in this process: what it shows from the
// settings, what a save writes back, its keyboard order and its layout. How
// the command shows it is tested through the DLL (e2e/options_dialog_test).
#include "tests/ui/UiSupport.h"
#include "ui/FormIds.h"
#include "ui/OptionsDialog.h"

namespace tc::test {
namespace {

using namespace keys;
using namespace ui::options;

class OptionsForm : public ::testing::Test {
protected:
    void SetUp() override { wipeUserState(); }
    void TearDown() override { wipeUserState(); }

    // The form as the command builds it from the settings, shown.
    static OwnedWindow open() {
        OwnedWindow form(ui::createOptions(nullptr));
        EXPECT_TRUE(form) << "the form was not created";
        ShowWindow(form.get(), SW_SHOWNORMAL);
        return form;
    }
    static bool checked(const OwnedWindow& form, int id) {
        return IsDlgButtonChecked(form.get(), id) == BST_CHECKED;
    }
    static std::wstring text(const OwnedWindow& form, int id) {
        return textOf(GetDlgItem(form.get(), id));
    }
    static void click(const OwnedWindow& form, int id) {
        SendMessageW(GetDlgItem(form.get(), id), BM_CLICK, 0, 0);
    }
    static void type(const OwnedWindow& form, int id, const wchar_t* text) {
        SetDlgItemTextW(form.get(), id, text);
    }
};

// The option whose flag is exactly "1" is selected, the custom-name one when
// both are; otherwise the current-name mode the form starts in stays. Every
// box shows its stored text, whichever mode is selected.
TEST_F(OptionsForm, OpensInTheModeWhoseFlagIsExactlyOneWithAllFourStoredTexts) {
    struct Case {
        const wchar_t* currentName; // null: not stored
        const wchar_t* customName;
        bool custom;
    } cases[] = {
        {nullptr, nullptr, false}, {L"1", L"1", true},     {L"0", L"1", true},
        {L"1", L"0", false},       {L"0", L"0", false},    {L"yes", L"true", false},
        {L"1 ", L" 1", false},     {L"0", L"10", false},   {L"", L"", false},
    };
    for (const Case& c : cases) {
        wipeUserState();
        if (c.currentName) storeSettings({{CurrentName, c.currentName}});
        if (c.customName) storeSettings({{CustomName, c.customName}});
        OwnedWindow form = open();
        EXPECT_EQ(checked(form, CustomNameOption), c.custom) << c.currentName << "/" << c.customName;
        EXPECT_EQ(checked(form, CurrentNameOption), !c.custom) << c.currentName << "/" << c.customName;
        for (int box : {PlainNameBox, PlayingNameBox, CurrentTagBox, PlayingTagBox}) EXPECT_EQ(text(form, box), L"") << box;
    }

    storeSettings({{CurrentName, L"1"}, {CustomName, L"0"}, {CurrentTag, L"[tag]"},
                   {CustomNameNotPl, L"Idle \x00e9t\x00e9"}, {CustomNamePl, L"  Listening  "},
                   {CustomTagPl, L"\x266A on air"}});
    OwnedWindow form = open();
    EXPECT_TRUE(checked(form, CurrentNameOption));
    EXPECT_EQ(text(form, PlainNameBox), L"Idle \x00e9t\x00e9");
    EXPECT_EQ(text(form, PlayingNameBox), L"  Listening  ");
    EXPECT_EQ(text(form, CurrentTagBox), L"[tag]");
    EXPECT_EQ(text(form, PlayingTagBox), L"\x266A on air");
}

// Both flags as a complementary pair, then the selected mode's texts exactly
// as typed; the other mode's settings keep what they held.
TEST_F(OptionsForm, SaveWritesBothFlagsAndOnlyTheSelectedModesTextsAsTypedThenCloses) {
    const Settings currentMode = {{CurrentName, L"1"}, {CustomName, L"0"}, {CurrentTag, L" tag "}};
    struct Case {
        const char* what;
        Settings stored;
        int option; // clicked before saving; 0 for none
        Settings written;
    } cases[] = {
        {"first use", {}, 0, currentMode},
        {"to the current-name mode",
         {{CurrentName, L"0"}, {CustomName, L"1"}, {CustomNameNotPl, L"idle"},
          {CustomNamePl, L"playing"}, {CustomTagPl, L"tag pl"}},
         CurrentNameOption, currentMode},
        {"to the custom-name mode", {{CurrentName, L"1"}, {CustomName, L"0"}, {CurrentTag, L"old"}},
         CustomNameOption,
         {{CurrentName, L"0"}, {CustomName, L"1"}, {CustomNameNotPl, L" away "},
          {CustomNamePl, L"Tuned in"}, {CustomTagPl, L""}}},
    };
    for (const Case& c : cases) {
        wipeUserState();
        storeSettings(c.stored);
        OwnedWindow form = open();
        if (c.option) click(form, c.option);
        type(form, PlainNameBox, L" away ");
        type(form, PlayingNameBox, L"Tuned in");
        type(form, CurrentTagBox, L" tag ");
        type(form, PlayingTagBox, L"");
        click(form, SaveButton);
        EXPECT_FALSE(IsWindow(form.get())) << c.what;
        Settings expected = c.stored;
        for (const auto& [key, value] : c.written) expected[key] = value;
        EXPECT_EQ(storedSettings(), expected) << c.what;
    }
    // The next opening shows what the last save left.
    OwnedWindow form = open();
    EXPECT_TRUE(checked(form, CustomNameOption));
    EXPECT_EQ(text(form, PlainNameBox), L" away ");
    EXPECT_EQ(text(form, CurrentTagBox), L"old");
}

TEST_F(OptionsForm, ClosingWithoutSavingWritesNothing) {
    storeSettings({{CurrentName, L"1"}, {CustomName, L"0"}, {CurrentTag, L"kept"}});
    const Settings before = storedSettings();
    {
        OwnedWindow form = open();
        click(form, CustomNameOption);
        type(form, CurrentTagBox, L"typed");
        type(form, PlainNameBox, L"typed too");
        SendMessageW(form.get(), WM_SYSCOMMAND, SC_CLOSE, 0);
        EXPECT_FALSE(IsWindow(form.get()));
    }
    EXPECT_EQ(storedSettings(), before);
    OwnedWindow form = open();
    EXPECT_TRUE(checked(form, CurrentNameOption));
    EXPECT_EQ(text(form, CurrentTagBox), L"kept");
    EXPECT_EQ(text(form, PlainNameBox), L"");
}

TEST_F(OptionsForm, ASaveThatCannotWriteKeepsTheFormOpenWithWhatWasTyped) {
    storeSettings({{CurrentName, L"0"}, {CustomName, L"1"}});
    const Settings before = storedSettings();
    ASSERT_TRUE(setKeyRights(HKEY_CURRENT_USER, kSettingsPath, kReadOnly));
    struct Restore {
        ~Restore() { setKeyRights(HKEY_CURRENT_USER, kSettingsPath, kFullAccess); }
    } restore;
    if (slotValues::writeString(HKEY_CURRENT_USER, kSettingsPath, L"probe", L"x"))
        GTEST_SKIP() << "this system does not enforce the key's access rights";

    OwnedWindow form = open();
    type(form, PlayingNameBox, L"typed");
    click(form, SaveButton);
    EXPECT_TRUE(IsWindowVisible(form.get()));
    EXPECT_EQ(text(form, PlayingNameBox), L"typed");
    EXPECT_EQ(storedSettings(), before);
    // Writable again: the same save now goes through and closes it.
    ASSERT_TRUE(setKeyRights(HKEY_CURRENT_USER, kSettingsPath, kFullAccess));
    click(form, SaveButton);
    EXPECT_FALSE(IsWindow(form.get()));
    EXPECT_EQ(storedSettings()[CustomNamePl], L"typed");
}

// The keyboard visits the controls in layout order; of the two option
// buttons only the selected one is a stop, as usual for a group.
TEST_F(OptionsForm, OptionButtonsAreOneGroupAndTabFollowsTheLayout) {
    OwnedWindow form = open();
    auto tabChain = [&] {
        std::vector<int> chain;
        HWND first = GetDlgItem(form.get(), PlainNameBox), at = first;
        for (int i = 0; i < 12; ++i) {
            at = GetNextDlgTabItem(form.get(), at, FALSE);
            chain.push_back(GetDlgCtrlID(at));
            if (at == first) break;
        }
        return chain;
    };
    EXPECT_EQ(tabChain(), (std::vector<int>{PlayingNameBox, CurrentNameOption, CurrentTagBox, PlayingTagBox, SaveButton, PlainNameBox}));
    click(form, CustomNameOption);
    EXPECT_FALSE(checked(form, CurrentNameOption));
    EXPECT_TRUE(checked(form, CustomNameOption));
    EXPECT_EQ(tabChain(), (std::vector<int>{PlayingNameBox, CurrentTagBox, PlayingTagBox, CustomNameOption, SaveButton, PlainNameBox}));
    click(form, CurrentNameOption);
    EXPECT_TRUE(checked(form, CurrentNameOption));
    EXPECT_FALSE(checked(form, CustomNameOption));
}

TEST_F(OptionsForm, LayoutFollowsTheTwipsAtTheScreenResolutionOnGrey) {
    OwnedWindow form = open();
    HWND f = form.get();
    EXPECT_EQ(clientOf(f), twipsPlace(0, 0, 4485, 2280));
    EXPECT_EQ(placeOf(f, SaveButton), twipsPlace(480, 1800, 1095, 375));
    EXPECT_EQ(placeOf(f, PlayingTagBox), twipsPlace(2400, 1800, 1935, 285));
    constexpr COLORREF kGrey = RGB(224, 224, 224);
    EXPECT_EQ(pixelOf(f, 4, clientOf(f)[3] - 4), kGrey);
    // The right end of the option button, past its caption.
    const Place option = placeOf(f, CurrentNameOption);
    EXPECT_EQ(pixelOf(f, option[2] - 3, (option[1] + option[3]) / 2), kGrey);
    EXPECT_EQ(textOf(f), L"Options");
    EXPECT_EQ(text(form, PlainNameCaption), L"Name when NOT listening to an sound");
    EXPECT_EQ(text(form, PlayingNameCaption), L"Name When Listening to a sound");
    EXPECT_EQ(text(form, SaveButton), L"Save!!!");
    EXPECT_EQ(text(form, CurrentNameOption), L"Use Current name and...");
    EXPECT_EQ(text(form, CustomNameOption), L"Use This Name...");

    // The captions over the name boxes wrap to three lines and the first
    // option's only just fits: they take a size smaller than the boxes.
    auto fontOf = [f](int id) {
        LOGFONTW font = {};
        GetObjectW(reinterpret_cast<HFONT>(SendMessageW(GetDlgItem(f, id), WM_GETFONT, 0, 0)),
                   sizeof font, &font);
        return font;
    };
    const LOGFONTW box = fontOf(PlainNameBox);
    EXPECT_STREQ(box.lfFaceName, L"Tahoma");
    EXPECT_LT(-fontOf(PlainNameCaption).lfHeight, -box.lfHeight);
    EXPECT_LT(-fontOf(CurrentNameOption).lfHeight, -box.lfHeight);
}

} // namespace
} // namespace tc::test
