#include "platform/Registry.h"

namespace tc::reg {

namespace {
// The API reads a path up to its first NUL: a path with one inside would
// name a key above the one meant.
bool usable(const std::wstring& path) { return path.find(L'\0') == std::wstring::npos; }
} // namespace

bool isOneKeyName(const std::wstring& name) {
    constexpr size_t kLongestKeyName = 255;
    return !name.empty() && name.size() <= kLongestKeyName && name != L"." && name != L".." &&
           name.find_first_of(std::wstring(L"\\\0", 2)) == std::wstring::npos;
}

LSTATUS create(HKEY root, const std::wstring& path, REGSAM access, RegKey& out) {
    out = RegKey();
    if (!usable(path)) return ERROR_INVALID_PARAMETER;
    const LSTATUS rc = RegCreateKeyExW(root, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                       access, nullptr, out.put(), nullptr);
    if (rc != ERROR_SUCCESS) out = RegKey();
    return rc;
}

LSTATUS open(HKEY root, const std::wstring& path, REGSAM access, RegKey& out) {
    if (!usable(path)) {
        out = RegKey();
        return ERROR_INVALID_PARAMETER;
    }
    const LSTATUS rc = RegOpenKeyExW(root, path.c_str(), 0, access, out.put());
    if (rc != ERROR_SUCCESS) out = RegKey();
    return rc;
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

LSTATUS subkeyNames(HKEY key, std::vector<std::wstring>& out) {
    out.clear();
    if (!key) return ERROR_INVALID_HANDLE;
    wchar_t name[256]; // the longest key name the registry allows, and its NUL
    for (DWORD i = 0;; ++i) {
        DWORD length = 256;
        const LSTATUS rc = RegEnumKeyExW(key, i, name, &length, nullptr, nullptr, nullptr, nullptr);
        if (rc == ERROR_NO_MORE_ITEMS) return ERROR_SUCCESS;
        if (rc != ERROR_SUCCESS) {
            out.clear();
            return rc;
        }
        out.emplace_back(name, length);
    }
}

LSTATUS getString(HKEY root, const std::wstring& path, const std::wstring& name,
                  std::wstring& out) {
    out.clear();
    if (!usable(path)) return ERROR_INVALID_PARAMETER;
    // Settings are short and read once a second: one call into a buffer on
    // the stack, and only a longer value costs a second one. Unexpanded, a
    // REG_EXPAND_SZ is not a REG_SZ and is refused like any other type.
    wchar_t small[128];
    constexpr DWORD kOnlyText = RRF_RT_REG_SZ | RRF_NOEXPAND;
    DWORD size = sizeof small;
    LSTATUS rc = RegGetValueW(root, path.c_str(), name.c_str(), kOnlyText, nullptr, small, &size);
    if (rc == ERROR_SUCCESS) {
        out.assign(small, size / sizeof(wchar_t));
    } else if (rc == ERROR_MORE_DATA) {
        std::wstring big(size / sizeof(wchar_t) + 1, L'\0');
        size = static_cast<DWORD>(big.size() * sizeof(wchar_t));
        rc = RegGetValueW(root, path.c_str(), name.c_str(), kOnlyText, nullptr, &big[0], &size);
        if (rc != ERROR_SUCCESS) return rc;
        big.resize(size / sizeof(wchar_t));
        out = std::move(big);
    } else {
        return rc;
    }
    if (!out.empty() && out.back() == L'\0') out.pop_back();
    return ERROR_SUCCESS;
}

LSTATUS getDword(HKEY root, const std::wstring& path, const std::wstring& name, DWORD& out) {
    out = 0;
    if (!usable(path)) return ERROR_INVALID_PARAMETER;
    DWORD value = 0, size = sizeof value;
    const LSTATUS rc =
        RegGetValueW(root, path.c_str(), name.c_str(), RRF_RT_REG_DWORD, nullptr, &value, &size);
    if (rc != ERROR_SUCCESS) return rc;
    if (size != sizeof value) return ERROR_INVALID_DATA;
    out = value;
    return ERROR_SUCCESS;
}

LSTATUS getBounded(HKEY root, const std::wstring& path, const std::wstring& name, DWORD maxBytes,
                   RawValue& out) {
    out = RawValue();
    if (!usable(path)) return ERROR_INVALID_PARAMETER;
    std::vector<BYTE> buffer(maxBytes);
    DWORD size = maxBytes;
    const LSTATUS rc = RegGetValueW(root, path.c_str(), name.c_str(), RRF_RT_ANY | RRF_NOEXPAND,
                                    &out.type, buffer.data(), &size);
    if (rc != ERROR_SUCCESS) {
        out = RawValue();
        return rc;
    }
    buffer.resize(size);
    out.bytes = std::move(buffer);
    return ERROR_SUCCESS;
}

} // namespace tc::reg
