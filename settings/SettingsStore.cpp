#include "settings/SettingsStore.h"

#include "platform/Registry.h"

namespace tc {

std::wstring readSetting(const std::wstring& key) {
    // The timer reads the switch every second: the section's path is made
    // once.
    static const std::wstring section = kSettingsPath;
    std::wstring value;
    reg::getString(HKEY_CURRENT_USER, section, key, value);
    return value;
}

HRESULT writeSetting(const std::wstring& key, const std::wstring& text) {
    RegKey section;
    LSTATUS rc = reg::create(HKEY_CURRENT_USER, kSettingsPath, KEY_SET_VALUE, section);
    if (rc == ERROR_SUCCESS) rc = reg::setString(section.get(), key, text);
    return rc == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(rc);
}

} // namespace tc
