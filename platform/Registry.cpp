#include "platform/Registry.h"

namespace tc::reg {

namespace {
// The API reads a path up to its first NUL: a path with one inside would
// name a key above the one meant.
bool usable(const std::wstring& path) { return path.find(L'\0') == std::wstring::npos; }
} // namespace

RegKey create(HKEY root, const std::wstring& path, REGSAM access) {
    RegKey key;
    if (!usable(path)) return key;
    if (RegCreateKeyExW(root, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, access, nullptr,
                        key.put(), nullptr) != ERROR_SUCCESS)
        return RegKey();
    return key;
}

RegKey open(HKEY root, const std::wstring& path, REGSAM access) {
    RegKey key;
    if (!usable(path)) return key;
    if (RegOpenKeyExW(root, path.c_str(), 0, access, key.put()) != ERROR_SUCCESS) return RegKey();
    return key;
}

LSTATUS setString(HKEY key, const std::wstring& name, const std::wstring& text) {
    if (!key) return ERROR_INVALID_HANDLE;
    const DWORD bytes = static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t));
    return RegSetValueExW(key, name.c_str(), 0, REG_SZ,
                          reinterpret_cast<const BYTE*>(text.c_str()), bytes);
}

LSTATUS setDword(HKEY key, const std::wstring& name, DWORD value) {
    if (!key) return ERROR_INVALID_HANDLE;
    return RegSetValueExW(key, name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                          sizeof value);
}

bool getRaw(HKEY key, const std::wstring& name, DWORD& type, std::string& bytes, DWORD maxBytes) {
    bytes.clear();
    type = REG_NONE;
    if (!key) return false;
    std::string buffer(maxBytes, '\0');
    DWORD size = maxBytes;
    if (RegQueryValueExW(key, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&buffer[0]),
                         &size) != ERROR_SUCCESS)
        return false;
    buffer.resize(size);
    bytes = std::move(buffer);
    return true;
}

LSTATUS getValue(HKEY key, const std::wstring& name, RawValue& out) {
    out = RawValue();
    if (!key) return ERROR_INVALID_HANDLE;
    DWORD size = 0;
    LSTATUS rc = RegQueryValueExW(key, name.c_str(), nullptr, &out.type, nullptr, &size);
    // The value may grow between asking its size and reading it.
    for (int attempt = 0; rc == ERROR_SUCCESS && attempt < 4; ++attempt) {
        out.bytes.resize(size);
        rc = RegQueryValueExW(key, name.c_str(), nullptr, &out.type,
                              size ? out.bytes.data() : nullptr, &size);
        if (rc == ERROR_SUCCESS) {
            out.bytes.resize(size);
            return rc;
        }
        if (rc == ERROR_MORE_DATA) rc = ERROR_SUCCESS;
    }
    out = RawValue();
    return rc == ERROR_SUCCESS ? ERROR_MORE_DATA : rc;
}

LSTATUS setValue(HKEY key, const std::wstring& name, const RawValue& value) {
    if (!key) return ERROR_INVALID_HANDLE;
    return RegSetValueExW(key, name.c_str(), 0, value.type,
                          value.bytes.empty() ? nullptr : value.bytes.data(),
                          static_cast<DWORD>(value.bytes.size()));
}

LSTATUS removeValue(HKEY key, const std::wstring& name) {
    if (!key) return ERROR_INVALID_HANDLE;
    const LSTATUS rc = RegDeleteValueW(key, name.c_str());
    return rc == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : rc;
}

std::vector<std::wstring> subkeyNames(HKEY key) {
    std::vector<std::wstring> names;
    if (!key) return names;
    wchar_t name[256]; // the longest key name the registry allows, and its NUL
    for (DWORD i = 0;; ++i) {
        DWORD length = 256;
        if (RegEnumKeyExW(key, i, name, &length, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            break;
        names.emplace_back(name, length);
    }
    return names;
}

bool getString(HKEY key, const std::wstring& name, std::wstring& out) {
    out.clear();
    if (!key) return false;
    // Settings are short and read once a second: one query into a stack
    // buffer, and only a value that does not fit costs a second one. The
    // value may grow between queries, hence the few retries.
    wchar_t small[128];
    DWORD type = 0, size = sizeof small;
    LSTATUS rc = RegQueryValueExW(key, name.c_str(), nullptr, &type,
                                  reinterpret_cast<BYTE*>(small), &size);
    std::wstring big;
    for (int attempt = 0; rc == ERROR_MORE_DATA && attempt < 4; ++attempt) {
        big.assign(size / sizeof(wchar_t) + 1, L'\0');
        size = static_cast<DWORD>(big.size() * sizeof(wchar_t));
        rc = RegQueryValueExW(key, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&big[0]),
                              &size);
    }
    if (rc != ERROR_SUCCESS || type != REG_SZ) return false;
    const wchar_t* data = big.empty() ? small : big.data();
    size_t chars = size / sizeof(wchar_t);
    if (chars > 0 && data[chars - 1] == L'\0') --chars;
    out.assign(data, chars);
    return true;
}

} // namespace tc::reg
