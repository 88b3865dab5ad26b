#include "sim/common/PlainWindow.h"

#include <map>
#include <string>

namespace tc::sim {

HWND plainWindow(const wchar_t* className, const wchar_t* title) {
    static auto* made = new std::map<std::wstring, HWND>();
    HWND& w = (*made)[className];
    if (w && IsWindow(w)) return w;
    WNDCLASSW wc = {};
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = className;
    RegisterClassW(&wc);
    w = CreateWindowExW(0, className, title, WS_OVERLAPPEDWINDOW | WS_VISIBLE, 400, 300, 200, 150,
                        nullptr, nullptr, wc.hInstance, nullptr);
    return w;
}

} // namespace tc::sim
