#include "tests/support/Windows.h"

#include "sim/common/Pump.h"

namespace tc::test {

HWND frontWindow(const wchar_t* className, HINSTANCE module) {
    WNDCLASSW wc = {};
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = module ? module : GetModuleHandleW(nullptr);
    wc.lpszClassName = className;
    RegisterClassW(&wc); // a second registration fails harmlessly
    HWND w = CreateWindowExW(0, className, L"front", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 400, 300,
                             200, 150, nullptr, nullptr, wc.hInstance, nullptr);
    SetForegroundWindow(w);
    SetFocus(w);
    pumpUntil([w] { return GetForegroundWindow() == w; }, 1000);
    return w;
}

bool pumpUntil(const std::function<bool()>& done, DWORD ms) { return sim::pumpUntil(done, ms); }

} // namespace tc::test
