#include "platform/Registry.h"

namespace tc::reg {

RegKey create(HKEY root, const std::wstring& path, REGSAM access) {
    RegKey key;
    if (RegCreateKeyExW(root, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, access, nullptr,
                        key.put(), nullptr) != ERROR_SUCCESS)
        return RegKey();
    return key;
}

RegKey open(HKEY root, const std::wstring& path, REGSAM access) {
    RegKey key;
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

bool getString(HKEY key, const std::wstring& name, std::wstring& out) {
    out.clear();
    if (!key) return false;
    DWORD type = 0, size = 0;
    if (RegQueryValueExW(key, name.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
        type != REG_SZ)
        return false;
    // The value may change between the two queries; retry a few times with
    // the size the registry reports rather than trusting the first answer.
    for (int attempt = 0; attempt < 4; ++attempt) {
        std::wstring buffer(size / sizeof(wchar_t) + 1, L'\0');
        DWORD got = static_cast<DWORD>(buffer.size() * sizeof(wchar_t));
        LSTATUS rc = RegQueryValueExW(key, name.c_str(), nullptr, &type,
                                      reinterpret_cast<BYTE*>(&buffer[0]), &got);
        if (rc == ERROR_MORE_DATA) { size = got; continue; }
        if (rc != ERROR_SUCCESS || type != REG_SZ) return false;
        buffer.resize(got / sizeof(wchar_t));
        if (!buffer.empty() && buffer.back() == L'\0') buffer.pop_back();
        out = std::move(buffer);
        return true;
    }
    return false;
}

} // namespace tc::reg
