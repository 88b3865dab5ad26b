#pragma once
// The DLL's exports are called by COM and by regsvr32, neither of which
// knows anything of C++ exceptions: an exception unwinding into them ends
// the calling process. Every export runs its work through this instead.
#include <windows.h>

#include <new>

namespace tc {

template <class Work>
HRESULT hresultOf(Work&& work) noexcept {
    try {
        return work();
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_UNEXPECTED;
    }
}

} // namespace tc
