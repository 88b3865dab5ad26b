#include "tests/support/Registry.h"

namespace tc::test {

void wipeUserState() {
    RegDeleteTreeW(HKEY_CURRENT_USER, product::kSettingsKey);
    RegDeleteTreeW(HKEY_CURRENT_USER, kAddOnKey);
}

bool keyExists(HKEY root, const std::wstring& path) {
    RegKey key;
    return reg::open(root, path, KEY_READ, key) == ERROR_SUCCESS;
}

std::optional<reg::RawValue> readRaw(const std::wstring& path, const std::wstring& name) {
    RegKey key;
    reg::RawValue value;
    if (reg::open(HKEY_CURRENT_USER, path, KEY_QUERY_VALUE, key) != ERROR_SUCCESS ||
        reg::getValue(key.get(), name, value) != ERROR_SUCCESS)
        return std::nullopt;
    return value;
}

bool writeRaw(const std::wstring& path, const std::wstring& name, const reg::RawValue& value) {
    RegKey key;
    return reg::create(HKEY_CURRENT_USER, path, KEY_SET_VALUE, key) == ERROR_SUCCESS &&
           reg::setValue(key.get(), name, value) == ERROR_SUCCESS;
}

reg::RawValue rawOf(DWORD type, const void* data, size_t bytes) {
    const BYTE* begin = static_cast<const BYTE*>(data);
    return {type, std::vector<BYTE>(begin, begin + bytes)};
}

std::map<std::wstring, reg::RawValue> allValues(const std::wstring& path) {
    std::map<std::wstring, reg::RawValue> out;
    RegKey key;
    if (reg::open(HKEY_CURRENT_USER, path, KEY_QUERY_VALUE, key) != ERROR_SUCCESS) return out;
    for (DWORD i = 0;; ++i) {
        std::wstring name(16384, L'\0');
        DWORD length = static_cast<DWORD>(name.size());
        if (RegEnumValueW(key.get(), i, &name[0], &length, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            break;
        name.resize(length);
        reg::RawValue value;
        if (reg::getValue(key.get(), name, value) == ERROR_SUCCESS) out[name] = value;
    }
    return out;
}

std::wstring slotOf(const std::wstring& signinName) {
    return quickText::slotPath(signinName).value_or(L"");
}

} // namespace tc::test
