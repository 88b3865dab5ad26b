#pragma once
// The registry as the tests see it: the product's own keys, by the names the
// product gives them, read and written through the product's wrappers.
#include "platform/Registry.h"
#include "delivery/QuickTextSlot.h"
#include "settings/SettingsStore.h"
#include "delivery/SlotValues.h"

#include <map>
#include <optional>
#include <string>

namespace tc::test {

// The add-on's tree under HKEY_CURRENT_USER: its maker's key, and under it
// the add-on's own root, with a key of preferences per sign-in name.
inline constexpr const wchar_t* kAddOnKey = L"Software\\Venmoor";
inline constexpr const wchar_t* kAddOnRoot = L"Software\\Venmoor\\Kestrix2";
inline std::wstring preferencesOf(const std::wstring& signinName) {
    return std::wstring(kAddOnRoot) + L"\\" + signinName + L"\\Preferences";
}

// Takes away what the product keeps for the user (its settings and the
// quick texts it saved) and the add-on's tree.
void wipeUserState();

bool keyExists(HKEY root, const std::wstring& path);

// Values of HKEY_CURRENT_USER\path exactly as stored.
std::optional<reg::RawValue> readRaw(const std::wstring& path, const std::wstring& name);
bool writeRaw(const std::wstring& path, const std::wstring& name, const reg::RawValue& value);
reg::RawValue rawOf(DWORD type, const void* data, size_t bytes);
// Every value of the key, by name.
std::map<std::wstring, reg::RawValue> allValues(const std::wstring& path);

// The add-on's quick-text slot 09 of a sign-in name.
std::wstring slotOf(const std::wstring& signinName);

} // namespace tc::test
