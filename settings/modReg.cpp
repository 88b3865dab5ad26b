#include "settings/modReg.h"

#include "platform/Registry.h"

#include <cstring>

namespace tc::modReg {

bool WriteRegString(HKEY root, const std::wstring& path, const std::wstring& name,
                    const std::wstring& text) {
    RegKey key = reg::create(root, path, KEY_SET_VALUE);
    return reg::setString(key.get(), name, text) == ERROR_SUCCESS;
}

LONG ReadRegDword(HKEY root, const std::wstring& path, const std::wstring& name) {
    RegKey key = reg::open(root, path, KEY_QUERY_VALUE);
    DWORD type = 0;
    std::string bytes;
    if (!reg::getRaw(key.get(), name, type, bytes, sizeof(DWORD))) return 0;
    if (type != REG_DWORD || bytes.size() != sizeof(DWORD)) return 0;
    LONG value = 0;
    std::memcpy(&value, bytes.data(), sizeof value);
    return value;
}

bool WriteRegDword(HKEY root, const std::wstring& path, const std::wstring& name, LONG value) {
    RegKey key = reg::create(root, path, KEY_SET_VALUE);
    return reg::setDword(key.get(), name, static_cast<DWORD>(value)) == ERROR_SUCCESS;
}

} // namespace tc::modReg
