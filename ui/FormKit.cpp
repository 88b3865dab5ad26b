#include "ui/FormKit.h"

#include "platform/Module.h"
#include "ui/resource.h"

#include <cmath>
#include <vector>

namespace tc::ui {
namespace {

constexpr DWORD kFormStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
constexpr DWORD kFormExStyle = WS_EX_CONTROLPARENT;
// Set on a modal form whose owner it disabled, so that closing it knows to
// enable the owner again (and an owner that was disabled before stays so).
constexpr const wchar_t* kOwnerDisabledProp = L"Tunecaster.OwnerDisabled";

} // namespace

const int kFormIcon = IDI_TUNECASTER;

LRESULT commonFormMessage(HWND form, UINT msg, WPARAM wParam, LPARAM lParam, FormState* state,
                          HWND& open) {
    switch (msg) {
    case WM_ERASEBKGND:
        if (!state) break;
        RECT client;
        GetClientRect(form, &client);
        FillRect(reinterpret_cast<HDC>(wParam), &client, state->background.get());
        return 1;
    case WM_ACTIVATE:
        if (state && keepFocusOnActivate(form, wParam, state->savedFocus)) return 0;
        break;
    case WM_CLOSE:
        closeForm(form);
        return 0;
    case WM_DESTROY:
        if (open == form) open = nullptr;
        break;
    }
    return DefWindowProcW(form, msg, wParam, lParam);
}

ScreenDpi screenDpi() {
    ScreenDpi dpi;
    if (HDC screen = GetDC(nullptr)) {
        dpi.x = GetDeviceCaps(screen, LOGPIXELSX);
        dpi.y = GetDeviceCaps(screen, LOGPIXELSY);
        ReleaseDC(nullptr, screen);
    }
    if (dpi.x <= 0) dpi.x = 96;
    if (dpi.y <= 0) dpi.y = 96;
    return dpi;
}

RECT toPixels(const TwipsRect& r, const ScreenDpi& dpi) {
    RECT px;
    px.left = twipsToPixels(r.left, dpi.x);
    px.top = twipsToPixels(r.top, dpi.y);
    // Both edges from twips, so that neighbouring controls meet as designed
    // instead of drifting by a rounded pixel each.
    px.right = twipsToPixels(r.left + r.width, dpi.x);
    px.bottom = twipsToPixels(r.top + r.height, dpi.y);
    return px;
}

GdiObject<HFONT> makeFont(const wchar_t* face, double points, bool bold, const ScreenDpi& dpi) {
    LOGFONTW lf = {};
    lf.lfHeight = -static_cast<LONG>(std::lround(points * dpi.y / 72.0));
    lf.lfWeight = bold ? FW_BOLD : FW_NORMAL;
    lf.lfCharSet = DEFAULT_CHARSET;
    lf.lfQuality = DEFAULT_QUALITY;
    lf.lfPitchAndFamily = DEFAULT_PITCH | FF_SWISS;
    lstrcpynW(lf.lfFaceName, face, LF_FACESIZE);
    return GdiObject<HFONT>(CreateFontIndirectW(&lf));
}

bool registerFormClass(const wchar_t* className, WNDPROC proc, int icon) {
    HINSTANCE inst = module::instance();
    WNDCLASSEXW existing = {};
    existing.cbSize = sizeof existing;
    if (GetClassInfoExW(inst, className, &existing)) return true;

    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = proc;
    wc.hInstance = inst;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.lpszClassName = className;
    if (icon) {
        wc.hIcon = static_cast<HICON>(LoadImageW(inst, MAKEINTRESOURCEW(icon), IMAGE_ICON,
                                                 GetSystemMetrics(SM_CXICON),
                                                 GetSystemMetrics(SM_CYICON), LR_SHARED));
        wc.hIconSm = static_cast<HICON>(LoadImageW(inst, MAKEINTRESOURCEW(icon), IMAGE_ICON,
                                                   GetSystemMetrics(SM_CXSMICON),
                                                   GetSystemMetrics(SM_CYSMICON), LR_SHARED));
    }
    return RegisterClassExW(&wc) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

HWND createForm(const wchar_t* className, const wchar_t* caption, int clientWidthTwips,
                int clientHeightTwips, HWND owner, void* state) {
    const ScreenDpi dpi = screenDpi();
    RECT frame = {0, 0, twipsToPixels(clientWidthTwips, dpi.x),
                  twipsToPixels(clientHeightTwips, dpi.y)};
    AdjustWindowRectEx(&frame, kFormStyle, FALSE, kFormExStyle);
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;

    RECT area = {};
    if (!(owner && GetWindowRect(owner, &area)))
        SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
    int x = area.left + ((area.right - area.left) - width) / 2;
    int y = area.top + ((area.bottom - area.top) - height) / 2;
    // Keep the whole form on the screen even over an owner near its edge.
    RECT screen = {};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &screen, 0);
    if (x + width > screen.right) x = screen.right - width;
    if (y + height > screen.bottom) y = screen.bottom - height;
    if (x < screen.left) x = screen.left;
    if (y < screen.top) y = screen.top;

    return CreateWindowExW(kFormExStyle, className, caption, kFormStyle, x, y, width, height,
                           owner, nullptr, module::instance(), state);
}

HWND createControl(HWND parent, int id, const wchar_t* className, const wchar_t* text,
                   DWORD style, const TwipsRect& where, const ScreenDpi& dpi, HFONT font) {
    const RECT px = toPixels(where, dpi);
    const DWORD exStyle = lstrcmpiW(className, L"Edit") == 0 ? WS_EX_CLIENTEDGE : 0;
    HWND control = CreateWindowExW(exStyle, className, text, WS_CHILD | WS_VISIBLE | style,
                                   px.left, px.top, px.right - px.left, px.bottom - px.top, parent,
                                   reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                   module::instance(), nullptr);
    if (control && font) SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    return control;
}

std::wstring controlText(HWND control) {
    const int length = GetWindowTextLengthW(control);
    if (length <= 0) return std::wstring();
    std::vector<wchar_t> buffer(static_cast<size_t>(length) + 1, L'\0');
    const int got = GetWindowTextW(control, buffer.data(), length + 1);
    return std::wstring(buffer.data(), got > 0 ? static_cast<size_t>(got) : 0);
}

void runModal(HWND form, HWND focus) {
    HWND owner = GetWindow(form, GW_OWNER);
    // EnableWindow answers whether the window was disabled already.
    const bool disabledOwner = owner && !EnableWindow(owner, FALSE);
    if (disabledOwner) SetPropW(form, kOwnerDisabledProp, reinterpret_cast<HANDLE>(1));

    ShowWindow(form, SW_SHOWNORMAL);
    SetForegroundWindow(form);
    BringWindowToTop(form);
    if (focus) SetFocus(focus);

    MSG msg;
    while (IsWindow(form)) {
        const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
        if (got == -1) {
            closeForm(form);
            break;
        }
        if (got == 0) {
            closeForm(form);
            PostQuitMessage(static_cast<int>(msg.wParam));
            break;
        }
        if (!IsDialogMessageW(form, &msg)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    // Destroyed some other way than closeForm: the owner must not stay dead.
    if (disabledOwner && IsWindow(owner) && !IsWindowEnabled(owner)) EnableWindow(owner, TRUE);
}

void closeForm(HWND form) {
    if (!IsWindow(form)) return;
    if (RemovePropW(form, kOwnerDisabledProp)) {
        if (HWND owner = GetWindow(form, GW_OWNER)) EnableWindow(owner, TRUE);
    }
    DestroyWindow(form);
}

bool keepFocusOnActivate(HWND form, WPARAM wParam, HWND& saved) {
    if (LOWORD(wParam) == WA_INACTIVE) {
        HWND focus = GetFocus();
        if (focus && IsChild(form, focus)) saved = focus;
        return false;
    }
    if (saved && IsWindow(saved) && IsChild(form, saved)) {
        SetFocus(saved);
        return true;
    }
    return false;
}

bool clickFocusedButtonOnEnter(HWND form, WPARAM wParam, LPARAM lParam) {
    if (LOWORD(wParam) != IDOK || lParam != 0) return false;
    HWND focus = GetFocus();
    if (!focus || !IsChild(form, focus)) return false;
    wchar_t cls[16] = {};
    GetClassNameW(focus, cls, 16);
    const LONG type = GetWindowLongW(focus, GWL_STYLE) & BS_TYPEMASK;
    if (lstrcmpiW(cls, L"Button") != 0 || (type != BS_PUSHBUTTON && type != BS_DEFPUSHBUTTON))
        return false;
    SendMessageW(focus, BM_CLICK, 0, 0);
    return true;
}

} // namespace tc::ui
