#include "ui/AboutBox.h"

#include "platform/Handles.h"
#include "platform/Module.h"
#include "platform/Product.h"
#include "ui/FormIds.h"
#include "ui/FormKit.h"
#include "ui/SysInfo.h"
#include "ui/resource.h"

#include <shellapi.h>

#include <memory>
#include <vector>

namespace tc::ui {
namespace {

using namespace about;

constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kBlue = RGB(0, 0, 255);
constexpr int kClientWidth = 5610; // twips
constexpr int kClientHeight = 3120;
constexpr UINT_PTR kTimer1 = 1;
constexpr UINT kTimer1Milliseconds = 1000;

enum Font { Title, Version, Heading, Small, Buttons, FontCount };

struct Label {
    int id;
    const wchar_t* text; // null: set on load
    TwipsRect where;
    Font font;
    COLORREF colour;
    const wchar_t* target; // opened by a click; null for a plain label
};

// The developer's details; the clickable ones open what they show.
#define TC_MAIL TC_WIDEN(TC_DEVELOPER_MAIL)

constexpr Label kLabels[] = {
    {TitleLabel, nullptr, {1755, 345, 3090, 300}, Title, kBlue, nullptr},
    {VersionLabel, nullptr, {1755, 645, 3090, 300}, Version, RGB(0, 128, 0), nullptr},
    {DeveloperHeading, L"Developer's info :", {210, 1065, 1935, 255}, Heading, RGB(192, 0, 192), nullptr},
    {DeveloperLabel, L"Dorvin Quill", {210, 1305, 1935, 255}, Heading, kBlue, nullptr},
    {MailLabel, L"E-mail : " TC_MAIL, {210, 1545, 2580, 180}, Small, RGB(0, 0, 0),
     L"mailto:" TC_MAIL},
    {WebsiteLabel, L"Website : " TC_WIDEN(TC_WEBSITE_SHOWN), {210, 1725, 2565, 180}, Small,
     RGB(0, 0, 0), TC_WIDEN(TC_WEBSITE)},
    {OtherPluginsLabel, L"Other plug-ins", {240, 1920, 2310, 180}, Small, RGB(0, 0, 0),
     TC_WIDEN(TC_OTHER_PLUGINS_SITE)},
    {WarningLabel,
     L"Warning: this program is protected by copyright law. " TC_WIDEN(TC_PRODUCT_NAME)
     L" is provided \"as is\", without warranty of any kind; you use it at your own risk. "
     L"It is not made or endorsed by the makers of the media player or of the messenger "
     L"it works with, whose names belong to their owners.",
     {210, 2160, 5190, 945}, Small, RGB(128, 128, 128), nullptr},
};

#undef TC_DEVELOPER_MAIL
#undef TC_DEVELOPER_SITE

const Label* findLabel(int id) {
    for (const Label& l : kLabels)
        if (l.id == id) return &l;
    return nullptr;
}

constexpr TwipsRect kImage12 = {0, 120, 1995, 915};
constexpr TwipsRect kImage1 = {4830, 315, 600, 600};
constexpr TwipsRect kLine1 = {240, 2100, 5465 - 240, 0};
constexpr COLORREF kLineColour = RGB(192, 192, 192);

struct AboutForm : FormState {
    AboutForm() : FormState(kWhite) {}
    ScreenDpi dpi;
    GdiObject<HFONT> fonts[FontCount];
    GdiObject<HBITMAP> banner;
    GdiObject<HBITMAP> small;
};

HWND g_about = nullptr;

GdiObject<HBITMAP> loadPicture(int id) {
    return GdiObject<HBITMAP>(static_cast<HBITMAP>(
        LoadImageW(module::instance(), MAKEINTRESOURCEW(id), IMAGE_BITMAP, 0, 0, 0)));
}

void drawPicture(HDC dc, HBITMAP picture, const TwipsRect& where, const ScreenDpi& dpi) {
    if (!picture) return;
    BITMAP info = {};
    if (!GetObjectW(picture, sizeof info, &info)) return;
    HDC memory = CreateCompatibleDC(dc);
    if (!memory) return;
    HGDIOBJ old = SelectObject(memory, picture);
    const RECT px = toPixels(where, dpi);
    SetStretchBltMode(dc, HALFTONE);
    SetBrushOrgEx(dc, 0, 0, nullptr);
    StretchBlt(dc, px.left, px.top, px.right - px.left, px.bottom - px.top, memory, 0, 0,
               info.bmWidth, info.bmHeight, SRCCOPY);
    SelectObject(memory, old);
    DeleteDC(memory);
}

void paint(HWND form, AboutForm& state) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(form, &ps);
    drawPicture(dc, state.banner.get(), kImage12, state.dpi);
    drawPicture(dc, state.small.get(), kImage1, state.dpi);
    GdiObject<HPEN> pen(CreatePen(PS_SOLID, 1, kLineColour));
    HGDIOBJ old = SelectObject(dc, pen.get());
    const RECT line = toPixels(kLine1, state.dpi);
    MoveToEx(dc, line.left, line.top, nullptr);
    LineTo(dc, line.right, line.top);
    SelectObject(dc, old);
    EndPaint(form, &ps);
}

void openTarget(const wchar_t* target) {
    // What the shell makes of it is its own business; nothing is reported.
    ShellExecuteW(nullptr, nullptr, target, nullptr, L"C:", SW_SHOWNORMAL);
}

bool build(HWND form, AboutForm& state) {
    state.dpi = screenDpi();
    state.fonts[Title] = makeFont(L"Arial", 14.25, false, state.dpi);
    state.fonts[Version] = makeFont(L"Verdana", 9.75, true, state.dpi);
    state.fonts[Heading] = makeFont(L"Verdana", 8.25, true, state.dpi);
    state.fonts[Small] = makeFont(L"Verdana", 6.75, false, state.dpi);
    state.fonts[Buttons] = makeFont(L"Tahoma", 8.25, false, state.dpi);
    state.banner = loadPicture(IDB_BANNER);
    state.small = loadPicture(IDB_SMALL);

    // "System Info" first: it has the focus when the box comes up.
    const DWORD button = WS_TABSTOP | BS_PUSHBUTTON;
    if (!createControl(form, SysInfoButton, L"Button", L"System Info", button, {4200, 1680, 1215, 375},
                       state.dpi, state.fonts[Buttons].get()) ||
        !createControl(form, OkButton, L"Button", L"OK", button, {4200, 1200, 1215, 375},
                       state.dpi, state.fonts[Buttons].get()))
        return false;
    for (const Label& l : kLabels) {
        const DWORD style = SS_LEFT | SS_NOPREFIX | (l.target ? SS_NOTIFY : 0);
        if (!createControl(form, l.id, L"Static", l.text ? l.text : L"", style, l.where,
                           state.dpi, state.fonts[l.font].get()))
            return false;
    }
    return true;
}

void load(HWND form) {
    SetWindowTextW(form, (std::wstring(L"About ") + product::kName).c_str());
    SetDlgItemTextW(form, VersionLabel, versionText().c_str());
    SetDlgItemTextW(form, TitleLabel, product::kName);
}

// A button or a clickable label was clicked.
void clicked(HWND form, WPARAM wParam) {
    if (HIWORD(wParam) == BN_CLICKED && LOWORD(wParam) == OkButton) {
        closeForm(form);
    } else if (HIWORD(wParam) == BN_CLICKED && LOWORD(wParam) == SysInfoButton) {
        StartSysInfo(form);
    } else if (HIWORD(wParam) == STN_CLICKED) {
        const Label* label = findLabel(LOWORD(wParam));
        if (label && label->target) openTarget(label->target);
    }
}

bool aboutMessage(HWND form, UINT msg, WPARAM wParam, LPARAM lParam, AboutForm& state,
                  LRESULT& result) {
    result = 0;
    switch (msg) {
    case WM_PAINT:
        paint(form, state);
        return true;
    case WM_CTLCOLORSTATIC: {
        HDC dc = reinterpret_cast<HDC>(wParam);
        const Label* label = findLabel(GetDlgCtrlID(reinterpret_cast<HWND>(lParam)));
        SetTextColor(dc, label ? label->colour : RGB(0, 0, 0));
        SetBkColor(dc, kWhite);
        result = reinterpret_cast<LRESULT>(state.background.get());
        return true;
    }
    case WM_SETCURSOR: {
        const Label* label = findLabel(GetDlgCtrlID(reinterpret_cast<HWND>(wParam)));
        if (!label || !label->target || LOWORD(lParam) != HTCLIENT) return false;
        SetCursor(LoadCursorW(nullptr, IDC_HAND));
        result = TRUE;
        return true;
    }
    case WM_TIMER:
        if (wParam != kTimer1) return false;
        // Once, a second after opening: lift the box above whatever the host
        // may have put over it meanwhile.
        BringWindowToTop(form);
        KillTimer(form, kTimer1);
        return true;
    case WM_CHAR:
        if (wParam == VK_ESCAPE) closeForm(form);
        return true;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDCANCEL && lParam == 0) closeForm(form); // Esc, from the dialog manager
        else if (!clickFocusedButtonOnEnter(form, wParam, lParam)) clicked(form, wParam);
        return true;
    }
    return false;
}

} // namespace

HWND aboutWindow() { return g_about; }

HWND createAbout(HWND owner) {
    HWND form = openForm<AboutForm, aboutMessage, &g_about>(kAboutClass, L"", kClientWidth,
                                                           kClientHeight, owner, build);
    if (!form) return nullptr;
    load(form);
    SetTimer(form, kTimer1, kTimer1Milliseconds, nullptr);
    return form;
}

HWND aboutFirstFocus(HWND form) { return GetDlgItem(form, SysInfoButton); }

std::wstring versionText() {
    WORD major = product::kVersion.major, minor = product::kVersion.minor,
         revision = product::kVersion.revision;
    HMODULE inst = module::instance();
    if (HRSRC found = FindResourceW(inst, MAKEINTRESOURCEW(VS_VERSION_INFO), RT_VERSION)) {
        const DWORD size = SizeofResource(inst, found);
        HGLOBAL loaded = LoadResource(inst, found);
        const void* bytes = loaded ? LockResource(loaded) : nullptr;
        if (bytes && size) {
            // VerQueryValue wants a block it may write to, not the image.
            std::vector<BYTE> copy(static_cast<const BYTE*>(bytes),
                                   static_cast<const BYTE*>(bytes) + size);
            VS_FIXEDFILEINFO* fixed = nullptr;
            UINT fixedSize = 0;
            if (VerQueryValueW(copy.data(), L"\\", reinterpret_cast<void**>(&fixed), &fixedSize) &&
                fixed && fixedSize >= sizeof *fixed) {
                major = HIWORD(fixed->dwFileVersionMS);
                minor = LOWORD(fixed->dwFileVersionMS);
                revision = LOWORD(fixed->dwFileVersionLS); // the fourth field; the third is the build
            }
        }
    }
    return L"Version " + std::to_wstring(major) + L"." + std::to_wstring(minor) + L"." +
           std::to_wstring(revision);
}

} // namespace tc::ui
