#include "delivery/SlotValues.h"

#include "platform/Registry.h"


namespace tc::slotValues {

bool writeString(HKEY root, const std::wstring& path, const std::wstring& name,
                    const std::wstring& text) {
    RegKey key;
    return reg::create(root, path, KEY_SET_VALUE, key) == ERROR_SUCCESS &&
           reg::setString(key.get(), name, text) == ERROR_SUCCESS;
}

LONG readDword(HKEY root, const std::wstring& path, const std::wstring& name) {
    DWORD value = 0;
    reg::getDword(root, path, name, value);
    return static_cast<LONG>(value);
}

bool writeDword(HKEY root, const std::wstring& path, const std::wstring& name, LONG value) {
    RegKey key;
    return reg::create(root, path, KEY_SET_VALUE, key) == ERROR_SUCCESS &&
           reg::setDword(key.get(), name, static_cast<DWORD>(value)) == ERROR_SUCCESS;
}

} // namespace tc::slotValues
