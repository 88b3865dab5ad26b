#include "ui/frmOptions.h"

#include "settings/SettingsStore.h"
#include "platform/Boundary.h"
#include "ui/FormIds.h"
#include "ui/FormKit.h"
#include "ui/resource.h"

#include <memory>

namespace tc::ui {
namespace {

using namespace options;

constexpr COLORREF kBackground = RGB(224, 224, 224);
constexpr int kClientWidth = 4485; // twips
constexpr int kClientHeight = 2280;

struct Control {
    int id;
    const wchar_t* className;
    const wchar_t* text;
    DWORD style;
    TwipsRect where;
};

constexpr DWORD kTextBox = WS_TABSTOP | ES_AUTOHSCROLL | ES_LEFT;
constexpr DWORD kOption = WS_TABSTOP | BS_RADIOBUTTON;
constexpr DWORD kLabel = SS_LEFT | SS_NOPREFIX;

// Created in this order, which is also the keyboard order: Text1, Text2,
// Option1, Text3, Text4, Option2, Command1 (labels take no focus).
constexpr Control kControls[] = {
    {Text1, L"Edit", L"", kTextBox, {120, 1440, 1695, 285}},
    {Label1, L"Static", L"Name when NOT listening to an sound", kLabel, {120, 960, 1455, 495}},
    {Label2, L"Static", L"Name When Listening to a sound", kLabel, {2400, 960, 1935, 495}},
    {Text2, L"Edit", L"", kTextBox, {2400, 1440, 1935, 285}},
    {Option1, L"Button", L"Use Current name and...", kOption, {0, 240, 2295, 255}},
    {Text3, L"Edit", L"", kTextBox, {2400, 240, 1935, 285}},
    {Text4, L"Edit", L"", kTextBox, {2400, 1800, 1935, 285}},
    {Option2, L"Button", L"Use This Name...", kOption, {0, 600, 1815, 255}},
    {Command1, L"Button", L"Save!!!", WS_TABSTOP | BS_PUSHBUTTON, {480, 1800, 1095, 375}},
};

// Which box shows which setting.
struct TextBinding {
    int id;
    const wchar_t* key;
};
constexpr TextBinding kTexts[] = {
    {Text1, keys::CustomNameNotPl},
    {Text2, keys::CustomNamePl},
    {Text3, keys::CurrentTag},
    {Text4, keys::CustomTagPl},
};

// What a save writes for each mode, in this order: a fixed flag text, or the
// text of a box. The other mode's texts are left as stored.
struct SaveStep {
    const wchar_t* key;
    const wchar_t* flag; // null: take the box's text
    int textId;
};
constexpr SaveStep kSaveCurrentName[] = {
    {keys::CurrentName, L"1", 0},
    {keys::CustomName, L"0", 0},
    {keys::CurrentTag, nullptr, Text3},
};
constexpr SaveStep kSaveCustomName[] = {
    {keys::CurrentName, L"0", 0},
    {keys::CustomName, L"1", 0},
    {keys::CustomNameNotPl, nullptr, Text1},
    {keys::CustomNamePl, nullptr, Text2},
    {keys::CustomTagPl, nullptr, Text4},
};

struct OptionsForm {
    GdiObject<HFONT> font;
    // The captions over the name boxes wrap to three lines and the first
    // option's caption only just fits: a size smaller for these.
    GdiObject<HFONT> captionFont;
    GdiObject<HBRUSH> background{CreateSolidBrush(kBackground)};
    HWND savedFocus = nullptr;
    bool ownedByWindow = false; // set once creation has succeeded
};

HWND g_options = nullptr;

void selectMode(HWND form, int option) {
    CheckDlgButton(form, Option1, option == Option1 ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(form, Option2, option == Option2 ? BST_CHECKED : BST_UNCHECKED);
}

void load(HWND form) {
    if (readSetting(keys::CurrentName) == L"1") selectMode(form, Option1);
    // Read second, so with both flags set the custom-name mode wins.
    if (readSetting(keys::CustomName) == L"1") selectMode(form, Option2);
    for (const TextBinding& box : kTexts)
        SetDlgItemTextW(form, box.id, readSetting(box.key).c_str());
}

template <size_t N>
HRESULT write(HWND form, const SaveStep (&steps)[N]) {
    for (const SaveStep& step : steps) {
        const std::wstring text =
            step.flag ? std::wstring(step.flag) : controlText(GetDlgItem(form, step.textId));
        const HRESULT hr = writeSetting(step.key, text);
        if (FAILED(hr)) return hr; // what was written stays written
    }
    return S_OK;
}

HRESULT save(HWND form) {
    if (IsDlgButtonChecked(form, Option1) == BST_CHECKED) {
        const HRESULT hr = write(form, kSaveCurrentName);
        if (FAILED(hr)) return hr;
    }
    if (IsDlgButtonChecked(form, Option2) == BST_CHECKED) {
        const HRESULT hr = write(form, kSaveCustomName);
        if (FAILED(hr)) return hr;
    }
    return S_OK;
}

bool build(HWND form, OptionsForm& state) {
    const ScreenDpi dpi = screenDpi();
    state.font = makeFont(L"Tahoma", 8.25, false, dpi);
    state.captionFont = makeFont(L"Tahoma", 7.5, false, dpi);
    for (const Control& c : kControls) {
        const bool caption = c.id == Label1 || c.id == Label2 || c.id == Option1 || c.id == Option2;
        if (!createControl(form, c.id, c.className, c.text, c.style, c.where, dpi,
                           caption ? state.captionFont.get() : state.font.get()))
            return false;
    }
    selectMode(form, Option1);
    return true;
}

LRESULT optionsMessage(HWND form, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto* state = formState<OptionsForm>(form, msg, lParam);
    switch (msg) {
    case WM_ERASEBKGND:
        if (state) {
            RECT client;
            GetClientRect(form, &client);
            FillRect(reinterpret_cast<HDC>(wParam), &client, state->background.get());
            return 1;
        }
        break;
    case WM_CTLCOLORSTATIC: // labels and option buttons sit on the form's grey
        if (state) {
            SetBkColor(reinterpret_cast<HDC>(wParam), kBackground);
            return reinterpret_cast<LRESULT>(state->background.get());
        }
        break;
    case WM_ACTIVATE:
        if (state && keepFocusOnActivate(form, wParam, state->savedFocus)) return 0;
        break;
    case WM_COMMAND:
        if (clickFocusedButtonOnEnter(form, wParam, lParam)) return 0;
        if (HIWORD(wParam) == BN_CLICKED) {
            switch (LOWORD(wParam)) {
            case Option1:
            case Option2:
                selectMode(form, LOWORD(wParam));
                return 0;
            case Command1:
                // A failed write keeps the dialog open with what was typed.
                if (SUCCEEDED(save(form))) closeForm(form);
                return 0;
            }
        }
        return 0; // Esc and Enter from the dialog manager close nothing here
    case WM_CLOSE:
        closeForm(form); // without saving
        return 0;
    case WM_DESTROY:
        if (g_options == form) g_options = nullptr;
        break;
    }
    return DefWindowProcW(form, msg, wParam, lParam);
}

LRESULT CALLBACK optionsProc(HWND form, UINT msg, WPARAM wParam, LPARAM lParam) {
    return windowBoundary(form, msg, wParam, lParam,
                          [&] { return optionsMessage(form, msg, wParam, lParam); });
}

} // namespace

HWND optionsWindow() { return g_options; }

HWND createOptions(HWND owner) {
    if (!registerFormClass(kOptionsClass, optionsProc, IDI_TUNECASTER)) return nullptr;
    HWND form = createStatefulForm<OptionsForm>(kOptionsClass, kOptionsCaption, kClientWidth,
                                                kClientHeight, owner, build);
    if (!form) return nullptr;
    g_options = form;
    load(form);
    return form;
}

HWND optionsFirstFocus(HWND form) { return GetDlgItem(form, Text1); }

} // namespace tc::ui
