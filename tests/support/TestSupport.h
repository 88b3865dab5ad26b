#pragma once
// Everything a test of the product commonly needs: the registry, windows and
// the message pump, and the real DLL.
#include "tests/support/HostedDll.h"
#include "tests/support/Registry.h"
#include "tests/support/Windows.h"

namespace tc::test {

// A typed export of a loaded DLL.
template <class F>
F dllExport(HMODULE module, const char* name) {
    return reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

inline constexpr const wchar_t* kSettingsKey = kSettingsPath;

} // namespace tc::test
