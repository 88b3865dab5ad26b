#include "ui/OptionsDialog.h"

#include "settings/SettingsStore.h"
#include "ui/FormIds.h"
#include "ui/FormKit.h"

#include <memory>

namespace tc::ui {
namespace {

using namespace options;

constexpr COLORREF kBackground = RGB(224, 224, 224);
constexpr int kClientWidth = 4485; // twips
constexpr int kClientHeight = 2280;

// Which naming mode a control belongs to: the mode an option button
// selects, or the mode whose save writes a text box.
enum class Mode { None, CurrentName, CustomName };
enum class Kind { TextBox, Label, Option, Button };
enum class Font { Normal, Caption };

struct Control {
    int id;
    Kind kind;
    const wchar_t* caption;
    TwipsRect where;
    // The captions over the name boxes wrap to three lines and the first
    // option's caption only just fits: a size smaller for these.
    Font font;
    const wchar_t* key; // the setting it shows and saves; null for none
    Mode mode;
};

// Every control, in the order they are created, which is also the keyboard
// order: PlainNameBox, PlayingNameBox, CurrentNameOption, CurrentTagBox, PlayingTagBox, CustomNameOption, SaveButton (labels take
// no focus).
constexpr Control kControls[] = {
    {PlainNameBox, Kind::TextBox, L"", {120, 1440, 1695, 285}, Font::Normal, keys::CustomNameNotPl,
     Mode::CustomName},
    {PlainNameCaption, Kind::Label, L"Name when NOT listening to an sound", {120, 960, 1455, 495},
     Font::Caption, nullptr, Mode::None},
    {PlayingNameCaption, Kind::Label, L"Name When Listening to a sound", {2400, 960, 1935, 495}, Font::Caption,
     nullptr, Mode::None},
    {PlayingNameBox, Kind::TextBox, L"", {2400, 1440, 1935, 285}, Font::Normal, keys::CustomNamePl,
     Mode::CustomName},
    {CurrentNameOption, Kind::Option, L"Use Current name and...", {0, 240, 2295, 255}, Font::Caption,
     keys::CurrentName, Mode::CurrentName},
    {CurrentTagBox, Kind::TextBox, L"", {2400, 240, 1935, 285}, Font::Normal, keys::CurrentTag,
     Mode::CurrentName},
    {PlayingTagBox, Kind::TextBox, L"", {2400, 1800, 1935, 285}, Font::Normal, keys::CustomTagPl,
     Mode::CustomName},
    {CustomNameOption, Kind::Option, L"Use This Name...", {0, 600, 1815, 255}, Font::Caption,
     keys::CustomName, Mode::CustomName},
    {SaveButton, Kind::Button, L"Save!!!", {480, 1800, 1095, 375}, Font::Normal, nullptr,
     Mode::None},
};

const wchar_t* className(Kind kind) {
    switch (kind) {
    case Kind::TextBox: return L"Edit";
    case Kind::Label: return L"Static";
    default: return L"Button";
    }
}

DWORD style(Kind kind) {
    switch (kind) {
    case Kind::TextBox: return WS_TABSTOP | ES_AUTOHSCROLL | ES_LEFT;
    case Kind::Label: return SS_LEFT | SS_NOPREFIX;
    case Kind::Option: return WS_TABSTOP | BS_RADIOBUTTON;
    default: return WS_TABSTOP | BS_PUSHBUTTON;
    }
}

struct OptionsForm : FormState {
    OptionsForm() : FormState(kBackground) {}
    GdiObject<HFONT> fonts[2];
};

HWND g_options = nullptr;

void selectMode(HWND form, int option) {
    for (const Control& c : kControls)
        if (c.kind == Kind::Option)
            CheckDlgButton(form, c.id, c.id == option ? BST_CHECKED : BST_UNCHECKED);
}

// An option button whose flag is exactly "1" is selected, in table order, so
// with both flags set the custom-name mode wins; each box shows its setting.
void load(HWND form) {
    for (const Control& c : kControls) {
        if (!c.key) continue;
        const std::wstring value = readSetting(c.key);
        if (c.kind == Kind::Option && value == L"1") selectMode(form, c.id);
        if (c.kind == Kind::TextBox) SetDlgItemTextW(form, c.id, value.c_str());
    }
}

// Both flags first, as a complementary pair, then the texts of the selected
// mode; the other mode's texts keep what they held. A write that fails
// stops the save there, and what was written stays written.
HRESULT save(HWND form) {
    Mode selected = Mode::None;
    for (const Control& c : kControls)
        if (c.kind == Kind::Option && IsDlgButtonChecked(form, c.id) == BST_CHECKED) selected = c.mode;
    if (selected == Mode::None) return S_OK;
    for (const Control& c : kControls) {
        if (c.kind != Kind::Option) continue;
        const HRESULT hr = writeSetting(c.key, c.mode == selected ? L"1" : L"0");
        if (FAILED(hr)) return hr;
    }
    for (const Control& c : kControls) {
        if (c.kind != Kind::TextBox || c.mode != selected) continue;
        const HRESULT hr = writeSetting(c.key, controlText(GetDlgItem(form, c.id)));
        if (FAILED(hr)) return hr;
    }
    return S_OK;
}

bool build(HWND form, OptionsForm& state) {
    const ScreenDpi dpi = screenDpi();
    state.fonts[static_cast<int>(Font::Normal)] = makeFont(L"Tahoma", 8.25, false, dpi);
    state.fonts[static_cast<int>(Font::Caption)] = makeFont(L"Tahoma", 7.5, false, dpi);
    for (const Control& c : kControls) {
        if (!createControl(form, c.id, className(c.kind), c.caption, style(c.kind), c.where, dpi,
                           state.fonts[static_cast<int>(c.font)].get()))
            return false;
    }
    selectMode(form, CurrentNameOption); // selected when the window is created
    return true;
}

bool optionsMessage(HWND form, UINT msg, WPARAM wParam, LPARAM lParam, OptionsForm& state,
                    LRESULT& result) {
    switch (msg) {
    case WM_CTLCOLORSTATIC: // labels and option buttons sit on the form's grey
        SetBkColor(reinterpret_cast<HDC>(wParam), kBackground);
        result = reinterpret_cast<LRESULT>(state.background.get());
        return true;
    case WM_COMMAND:
        // Esc and Enter from the dialog manager close nothing here.
        result = 0;
        if (clickFocusedButtonOnEnter(form, wParam, lParam) || HIWORD(wParam) != BN_CLICKED)
            return true;
        switch (LOWORD(wParam)) {
        case CurrentNameOption:
        case CustomNameOption:
            selectMode(form, LOWORD(wParam));
            break;
        case SaveButton:
            // A failed write keeps the dialog open with what was typed.
            if (SUCCEEDED(save(form))) closeForm(form);
            break;
        }
        return true;
    }
    return false;
}

} // namespace

HWND optionsWindow() { return g_options; }

HWND createOptions(HWND owner) {
    HWND form = openForm<OptionsForm, optionsMessage, &g_options>(
        kOptionsClass, kOptionsCaption, kClientWidth, kClientHeight, owner, build);
    if (form) load(form);
    return form;
}

HWND optionsFirstFocus(HWND form) { return GetDlgItem(form, PlainNameBox); }

} // namespace tc::ui
