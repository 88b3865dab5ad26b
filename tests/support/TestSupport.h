#pragma once
// Shared helpers for the tests: a clean registry per test, message pumping,
// and the path of the plug-in DLL built beside the test programs.
#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <type_traits>

namespace tc::test {

// Removes the plug-in's settings and the add-on's tree from HKEY_CURRENT_USER.
void wipeUserState();

// Dispatches this thread's messages for about `ms` milliseconds.
void pump(DWORD ms);
// Dispatches messages until `done` is true or `ms` have passed; true if done.
bool pumpUntil(const std::function<bool()>& done, DWORD ms);

// Full Windows path of tunecaster.dll (beside the running test program).
std::wstring pluginDllPath();

// Reads a REG_SZ under HKEY_CURRENT_USER (or `root`); nullopt-like: false when missing.
bool readString(HKEY root, const std::wstring& path, const std::wstring& name, std::wstring& out);
bool keyExists(HKEY root, const std::wstring& path);
// Writes a REG_SZ, creating the key.
bool writeString(HKEY root, const std::wstring& path, const std::wstring& name,
                 const std::wstring& value);
inline constexpr const wchar_t* kSettingsKey = L"Software\\Dorvin's Tunecaster\\Data";

// A window the test made and destroys.
struct WindowDestroyer {
    void operator()(HWND w) const {
        if (IsWindow(w)) DestroyWindow(w);
    }
};
using OwnedWindow = std::unique_ptr<std::remove_pointer_t<HWND>, WindowDestroyer>;

// A typed export of a loaded DLL.
template <class F>
F dllExport(HMODULE module, const char* name) {
    return reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

} // namespace tc::test
