#pragma once
// The product's identity for the code: its name, version and the keys it
// owns, from the one place they are stated (see ProductIdentity.h).
#include "ProductIdentity.h"

namespace tc::product {

inline constexpr const wchar_t* kName = TC_WIDEN(TC_PRODUCT_NAME);
inline constexpr const wchar_t* kProgId = TC_WIDEN(TC_PROGID);
inline constexpr const wchar_t* kProgIdVersioned = TC_WIDEN(TC_PROGID_VERSIONED);
inline constexpr const wchar_t* kClassDescription = TC_WIDEN(TC_CLASS_DESCRIPTION);
inline constexpr const wchar_t* kTypeLibVersion = TC_WIDEN(TC_TYPELIB_VERSION);
// Under HKEY_CURRENT_USER: the user's settings and what the plug-in keeps
// for the user.
inline constexpr const wchar_t* kSettingsKey = TC_WIDEN(TC_SETTINGS_KEY);

struct Version {
    int major, minor, revision;
};
inline constexpr Version kVersion = {TC_VERSION_MAJOR, TC_VERSION_MINOR, TC_VERSION_REVISION};

} // namespace tc::product
