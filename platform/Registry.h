#pragma once
// Wide-character registry access. Every text goes through the W API so that
// names and values outside the ANSI code page survive a round trip.
//
// Every routine answers as the registry API does: ERROR_SUCCESS, or
// ERROR_FILE_NOT_FOUND for a key or value that is not there, or the
// failure. What it reads or opens comes back through its last parameter,
// which is left empty on failure.
#include "platform/Handles.h"

#include <string>
#include <vector>

namespace tc::reg {

// A value as stored: its type and its bytes, whatever they are.
struct RawValue {
    DWORD type = REG_NONE;
    std::vector<BYTE> bytes;
    bool operator==(const RawValue& o) const { return type == o.type && bytes == o.bytes; }
};

// Whether a text from outside (a sign-in name, say) can stand as one key
// name: not empty, not "." or "..", no backslash or NUL, at most 255
// characters. Anything else would lead somewhere else in the tree.
bool isOneKeyName(const std::wstring& name);

// Opens root\path, creating any missing levels.
LSTATUS create(HKEY root, const std::wstring& path, REGSAM access, RegKey& out);
// Opens root\path without creating anything.
LSTATUS open(HKEY root, const std::wstring& path, REGSAM access, RegKey& out);

// REG_SZ with its terminating NUL counted in the size.
LSTATUS setString(HKEY key, const std::wstring& name, const std::wstring& text);
LSTATUS setDword(HKEY key, const std::wstring& name, DWORD value);

// Reads of one value of root\path, through RegGetValueW, which opens and
// closes the key itself and never creates it.
//
// A REG_SZ value, without its terminating NUL; any other type is
// ERROR_UNSUPPORTED_TYPE.
LSTATUS getString(HKEY root, const std::wstring& path, const std::wstring& name, std::wstring& out);
// A REG_DWORD value of exactly four bytes.
LSTATUS getDword(HKEY root, const std::wstring& path, const std::wstring& name, DWORD& out);
// Any value of at most `maxBytes` bytes (ERROR_MORE_DATA when larger);
// strings come back terminated and unexpanded.
LSTATUS getBounded(HKEY root, const std::wstring& path, const std::wstring& name, DWORD maxBytes,
                   RawValue& out);

// The whole value, any type and size, byte for byte as stored (RegGetValueW
// would add a terminator to a string stored without one).
LSTATUS getValue(HKEY key, const std::wstring& name, RawValue& out);
LSTATUS setValue(HKEY key, const std::wstring& name, const RawValue& value);
// Removes the value; one that is absent already counts as removed.
LSTATUS removeValue(HKEY key, const std::wstring& name);

// The names of the key's direct subkeys.
LSTATUS subkeyNames(HKEY key, std::vector<std::wstring>& out);

} // namespace tc::reg
