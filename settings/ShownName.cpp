#include "settings/ShownName.h"

#include "platform/Registry.h"

namespace tc::shownName {
namespace {

constexpr const wchar_t* kName = L"Name";
constexpr const wchar_t* kOwn = L"Own";

} // namespace

std::optional<Shown> read(const std::wstring& signinName) {
    if (!reg::isOneKeyName(signinName)) return std::nullopt;
    const std::wstring path = std::wstring(kPath) + L"\\" + signinName;
    Shown shown;
    if (reg::getString(HKEY_CURRENT_USER, path, kName, shown.name) != ERROR_SUCCESS)
        return std::nullopt;
    reg::getString(HKEY_CURRENT_USER, path, kOwn, shown.own);
    return shown;
}

// The user's own name first: a record cut short by a failure then names no
// display name, and recognises nothing.
bool write(const std::wstring& signinName, const Shown& shown) {
    if (!reg::isOneKeyName(signinName)) return false;
    RegKey key;
    if (reg::create(HKEY_CURRENT_USER, std::wstring(kPath) + L"\\" + signinName, KEY_SET_VALUE,
                    key) != ERROR_SUCCESS)
        return false;
    return reg::removeValue(key.get(), kName) == ERROR_SUCCESS &&
           reg::setString(key.get(), kOwn, shown.own) == ERROR_SUCCESS &&
           reg::setString(key.get(), kName, shown.name) == ERROR_SUCCESS;
}

} // namespace tc::shownName
