#include "platform/SessionReturns.h"

#include "platform/Boundary.h"
#include "platform/Module.h"

#include <wtsapi32.h>

#include <utility>

namespace tc::win {
namespace {

constexpr const wchar_t* kWindowClass = L"TunecasterSessionReturns";

bool registerClass(HINSTANCE instance, WNDPROC proc) {
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = proc;
    wc.hInstance = instance;
    wc.lpszClassName = kWindowClass;
    return RegisterClassExW(&wc) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

} // namespace

SessionReturns::~SessionReturns() {
    if (registered_) WTSUnRegisterSessionNotification(window_.get());
}

bool SessionReturns::listen() {
    if (registered_) return true;
    if (!window_) {
        const HINSTANCE instance = module::instance();
        if (!registerClass(instance, windowProc)) return false;
        window_.reset(CreateWindowExW(0, kWindowClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                      instance, this));
        if (!window_) return false;
    }
    registered_ = WTSRegisterSessionNotification(window_.get(), NOTIFY_FOR_THIS_SESSION) != FALSE;
    return registered_;
}

bool SessionReturns::take() { return std::exchange(returned_, false); }

LRESULT CALLBACK SessionReturns::windowProc(HWND window, UINT message, WPARAM wParam,
                                           LPARAM lParam) {
    return windowBoundary(window, message, wParam, lParam, [&]() -> LRESULT {
        if (message == WM_NCCREATE) {
            const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
            SetWindowLongPtrW(window, GWLP_USERDATA,
                              reinterpret_cast<LONG_PTR>(create->lpCreateParams));
        } else if (message == WM_WTSSESSION_CHANGE &&
                   (wParam == WTS_SESSION_UNLOCK || wParam == WTS_CONSOLE_CONNECT ||
                    wParam == WTS_REMOTE_CONNECT)) {
            if (auto* self =
                    reinterpret_cast<SessionReturns*>(GetWindowLongPtrW(window, GWLP_USERDATA)))
                self->returned_ = true;
            return 0;
        }
        return DefWindowProcW(window, message, wParam, lParam);
    });
}

} // namespace tc::win
