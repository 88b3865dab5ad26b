#pragma once
// The add-on's quick-text slot 09, which the plug-in takes over to change the
// display name, and the copy of what the user kept there before, so that the
// uninstaller can give it back.
#include "platform/Product.h"

#include <windows.h>

#include <optional>
#include <string>

namespace tc::quickText {

// Where the copies live: one subkey per sign-in name under the plug-in's own
// key in HKEY_CURRENT_USER.
inline constexpr const wchar_t* kSavedSlotsPath = TC_WIDEN(TC_SETTINGS_KEY) L"\\SavedQuickText09";

// The slot of a sign-in name under HKEY_CURRENT_USER. The name comes from
// the messenger and is not trusted: unless it can be one registry key name
// (not empty, not "." or "..", no backslash or NUL, at most 255 characters)
// there is no slot, since such a name would lead somewhere else in the tree.
std::optional<std::wstring> slotPath(const std::wstring& signinName);

// Called before every write to a slot: the first time for a sign-in name, it
// copies the slot's "Message" and "AutoSend" as they are (type and data, or
// that they are absent), and how much of the slot's key path existed. A
// finished copy is never replaced. True when the copy exists afterwards;
// without it the slot must not be written.
bool keepOriginal(const std::wstring& signinName);

// The plug-in's one way to write the slot: the user's own content is copied
// first, the command about to be written is recorded beside the copy, and
// only then does the slot get it (AutoSend switched on, since the hot key
// must send it). False, with the slot untouched, when the copy or the record
// cannot be made.
bool writeCommand(const std::wstring& signinName, const std::wstring& command);

// Gives the saved slots back and then deletes the copies. A slot is put back
// exactly as it was (values restored, or removed where they were absent, and
// keys the plug-in created removed again) only while it still holds the
// plug-in's own last write; a slot the user has written since, or a profile
// that is gone, keeps what it has and the copy is dropped. A copy whose slot
// could not be restored is kept, and so is one that could not be deleted;
// either makes the result a failure.
HRESULT giveBackAll();

} // namespace tc::quickText
