#pragma once
// Nothing may unwind from our code into the host's or the system's frames:
// they cannot pass a C++ exception on, and the host's process would end.
// Every entry point that the host or Windows calls runs its body through one
// of these.
#include <windows.h>

#include <new>

namespace tc {

// COM methods and exports: a failure becomes the HRESULT that says so.
template <class F>
HRESULT comBoundary(F&& body) noexcept {
    try {
        return body();
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_UNEXPECTED;
    }
}

// Window procedures: a message whose handling failed gets the default
// processing, as if we had not looked at it.
template <class F>
LRESULT windowBoundary(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                       F&& body) noexcept {
    try {
        return body();
    } catch (...) {
        return DefWindowProcW(window, message, wParam, lParam);
    }
}

// One unit of a skip-on-error method: whatever goes wrong inside ends only
// this step, and the method goes on with the next.
template <class F>
void step(F&& body) noexcept {
    try {
        body();
    } catch (...) {
    }
}

} // namespace tc
