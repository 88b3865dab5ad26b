#pragma once
// What the tests of both dialogs share, in process or through the real DLL:
// the settings as the dialogs store them, the places and pixels of a form,
// and the small steps of a script that watches a dialog from another thread
// (it may only wait, read and post).
#include "tests/support/Registry.h"
#include "tests/support/Windows.h"

#include <gtest/gtest.h>
#include <sddl.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace tc::test {

// The settings section as text, by name; a value that is not text shows
// its type, so that a wrong type is a difference like any other.
using Settings = std::map<std::wstring, std::wstring>;
inline Settings storedSettings() {
    Settings out;
    for (const auto& [name, value] : allValues(kSettingsPath)) {
        std::wstring text(value.bytes.size() / sizeof(wchar_t), L'\0');
        if (!text.empty()) memcpy(&text[0], value.bytes.data(), text.size() * sizeof(wchar_t));
        if (!text.empty() && text.back() == L'\0') text.pop_back();
        out[name] = value.type == REG_SZ ? text : L"<type " + std::to_wstring(value.type) + L">";
    }
    return out;
}
inline void storeSettings(const Settings& settings) {
    for (const auto& [key, value] : settings)
        EXPECT_TRUE(slotValues::writeString(HKEY_CURRENT_USER, kSettingsPath, key, value))
            << "storing";
}

// Sets a key's access rights from their text form; its owner may always
// change them.
inline bool setKeyRights(HKEY root, const std::wstring& path, const wchar_t* sddl) {
    PSECURITY_DESCRIPTOR rights = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl, SDDL_REVISION_1, &rights,
                                                              nullptr))
        return false;
    RegKey key;
    const bool done =
        reg::open(root, path, WRITE_DAC | KEY_READ, key) == ERROR_SUCCESS &&
        RegSetKeySecurity(key.get(), DACL_SECURITY_INFORMATION, rights) == ERROR_SUCCESS;
    LocalFree(rights);
    return done;
}
inline constexpr const wchar_t* kReadOnly = L"D:P(A;;KR;;;WD)";
inline constexpr const wchar_t* kFullAccess = L"D:P(A;;KA;;;WD)";

// --- a form in this process ------------------------------------------------
// Places as left, top, right, bottom in the form's client area.
using Place = std::vector<LONG>;
inline Place placeOf(HWND form, int id) {
    RECT r = {};
    GetWindowRect(GetDlgItem(form, id), &r);
    MapWindowPoints(nullptr, form, reinterpret_cast<POINT*>(&r), 2);
    return {r.left, r.top, r.right, r.bottom};
}
inline Place clientOf(HWND form) {
    RECT r = {};
    GetClientRect(form, &r);
    return {r.left, r.top, r.right, r.bottom};
}
// Where a rectangle given in twips (left, top, width, height) lands at this
// screen's resolution: 1,440 twips to the inch.
inline Place twipsPlace(int left, int top, int width, int height) {
    HDC screen = GetDC(nullptr);
    const int x = GetDeviceCaps(screen, LOGPIXELSX), y = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    return {MulDiv(left, x, 1440), MulDiv(top, y, 1440), MulDiv(left + width, x, 1440),
            MulDiv(top + height, y, 1440)};
}
// A pixel of the form as painted now, its controls included.
inline COLORREF pixelOf(HWND form, int x, int y) {
    RedrawWindow(form, nullptr, nullptr,
                 RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    HDC dc = GetDC(form);
    const COLORREF pixel = GetPixel(dc, x, y);
    ReleaseDC(form, dc);
    return pixel;
}

// --- steps of a script on a thread of its own ------------------------------
// Asks `done` every 20 ms until it holds or `ms` have passed.
inline bool waitFor(const std::function<bool()>& done, DWORD ms = 5000) {
    for (const DWORD start = GetTickCount(); !done(); Sleep(20))
        if (GetTickCount() - start >= ms) return false;
    return true;
}
// The first visible top-level window of that class, waited for.
inline HWND waitForWindow(const wchar_t* className, DWORD ms = 10000) {
    HWND found = nullptr;
    auto shown = [&] { return IsWindowVisible(found = FindWindowW(className, nullptr)); };
    return waitFor(shown, ms) ? found : nullptr;
}
inline bool waitGone(HWND window, DWORD ms = 5000) {
    return waitFor([window] { return !IsWindow(window); }, ms);
}
// Through a bounded send, so that a thread that stopped answering fails the
// read instead of holding the script.
inline std::wstring textOf(HWND window) {
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_NORMAL, 5000, &length))
        return L"<no answer>";
    std::vector<wchar_t> buffer(length + 1, L'\0');
    DWORD_PTR got = 0;
    SendMessageTimeoutW(window, WM_GETTEXT, buffer.size(), reinterpret_cast<LPARAM>(buffer.data()),
                        SMTO_NORMAL, 5000, &got);
    return std::wstring(buffer.data(), got);
}
inline void setTextOf(HWND window, const std::wstring& text) {
    DWORD_PTR ignored = 0;
    SendMessageTimeoutW(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()), SMTO_NORMAL,
                        5000, &ignored);
}
// A message box of that thread that shows `text`, or null.
struct BoxSearch {
    const std::wstring& text;
    HWND found;
    static BOOL CALLBACK visit(HWND window, LPARAM param) {
        auto* s = reinterpret_cast<BoxSearch*>(param);
        wchar_t cls[16] = {};
        GetClassNameW(window, cls, 16);
        if (lstrcmpW(cls, L"#32770") != 0 || !IsWindowVisible(window)) return TRUE;
        for (HWND c = GetWindow(window, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
            if (textOf(c) == s->text) s->found = window;
        return !s->found;
    }
};
inline HWND messageBoxOf(DWORD thread, const std::wstring& text) {
    BoxSearch search{text, nullptr};
    EnumThreadWindows(thread, BoxSearch::visit, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

} // namespace tc::test
