#include "tests/support/TestSupport.h"

#include <vector>

namespace tc::test {

void wipeUserState() {
    RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Dorvin's Tunecaster");
    RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Venmoor");
}

void pump(DWORD ms) {
    pumpUntil([] { return false; }, ms);
}

bool pumpUntil(const std::function<bool()>& done, DWORD ms) {
    const DWORD start = GetTickCount();
    for (;;) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        if (done()) return true;
        if (GetTickCount() - start >= ms) return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
}

std::wstring pluginDllPath() {
    std::vector<wchar_t> buf(MAX_PATH * 4);
    DWORD n = GetModuleFileNameW(nullptr, buf.data(), static_cast<DWORD>(buf.size()));
    std::wstring exe(buf.data(), n);
    return exe.substr(0, exe.find_last_of(L'\\') + 1) + L"tunecaster.dll";
}

bool readString(HKEY root, const std::wstring& path, const std::wstring& name, std::wstring& out) {
    out.clear();
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return false;
    wchar_t buf[4096] = {};
    DWORD size = sizeof buf - sizeof(wchar_t), type = 0;
    LSTATUS rc = RegQueryValueExW(key, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(buf), &size);
    RegCloseKey(key);
    if (rc != ERROR_SUCCESS || type != REG_SZ) return false;
    out.assign(buf, size / sizeof(wchar_t));
    if (!out.empty() && out.back() == L'\0') out.pop_back();
    return true;
}

bool keyExists(HKEY root, const std::wstring& path) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

bool writeString(HKEY root, const std::wstring& path, const std::wstring& name,
                 const std::wstring& value) {
    HKEY key = nullptr;
    if (RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
        return false;
    LSTATUS rc = RegSetValueExW(key, name.c_str(), 0, REG_SZ,
                                reinterpret_cast<const BYTE*>(value.c_str()),
                                static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
    return rc == ERROR_SUCCESS;
}

} // namespace tc::test
