#pragma once
// The plug-in's per-user settings: seven text values under
// HKEY_CURRENT_USER\Software\Dorvin's Tunecaster\Data. Nothing is cached;
// every reader asks at the moment it needs a value.
#include "platform/Product.h"

#include <windows.h>

#include <string>

namespace tc {

namespace keys {
inline constexpr const wchar_t* onOff = L"onOff";
inline constexpr const wchar_t* CurrentName = L"CurrentName";
inline constexpr const wchar_t* CustomName = L"CustomName";
inline constexpr const wchar_t* CurrentTag = L"CurrentTag";
inline constexpr const wchar_t* CustomNameNotPl = L"CustomNameNotPl";
inline constexpr const wchar_t* CustomNamePl = L"CustomNamePl";
inline constexpr const wchar_t* CustomTagPl = L"CustomTagPl";
// Every key of the section.
inline constexpr const wchar_t* all[] = {onOff,           CurrentName,  CustomName, CurrentTag,
                                         CustomNameNotPl, CustomNamePl, CustomTagPl};
} // namespace keys

// The one section of the settings, under HKEY_CURRENT_USER.
inline constexpr const wchar_t* kSettingsPath = TC_WIDEN(TC_SETTINGS_KEY) L"\\Data";

// The stored text; empty when the key, section or value is missing or is not
// a string. Never fails. A flag is set only when its text is exactly "1":
// every reader compares so itself.
std::wstring readSetting(const std::wstring& key);
// Stores the text as REG_SZ, creating the keys first. A failure is returned
// to the caller, which stops at that write.
HRESULT writeSetting(const std::wstring& key, const std::wstring& text);

} // namespace tc
