#pragma once
// What the plug-in last showed as a sign-in name's now-playing name, and the
// user's own name under it. A later tag or mode no longer says where the
// user's own name ends in a name composed with the earlier one: this record
// does, so that the next song and the plain name start from the user's own
// name, never from a tagged one.
#include "platform/Product.h"

#include <optional>
#include <string>

namespace tc::shownName {

// One subkey per sign-in name under the plug-in's own key in
// HKEY_CURRENT_USER, beside the settings.
inline constexpr const wchar_t* kPath = TC_WIDEN(TC_SETTINGS_KEY) L"\\ShownName";

struct Shown {
    std::wstring name; // the display name as composed, marker included
    std::wstring own;  // the user's own name it was composed on; empty when unknown
};

// Nothing when none was kept, it cannot be read, or the sign-in name cannot
// be a key name.
std::optional<Shown> read(const std::wstring& signinName);
// False when it could not be kept; the name goes out all the same, and is
// then recognised only as the composer recognises any name of its form.
bool write(const std::wstring& signinName, const Shown& shown);

} // namespace tc::shownName
