#pragma once
// Wide-character registry access. Every text goes through the W API so that
// names and values outside the ANSI code page survive a round trip.
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

// Opens (creating any missing levels) root\path; an empty RegKey on failure.
RegKey create(HKEY root, const std::wstring& path, REGSAM access = KEY_READ | KEY_WRITE);
// Opens root\path without creating anything; an empty RegKey on failure.
RegKey open(HKEY root, const std::wstring& path, REGSAM access = KEY_READ);
// The same, for callers that must tell a key that is not there
// (ERROR_FILE_NOT_FOUND) from one that cannot be opened.
LSTATUS open(HKEY root, const std::wstring& path, REGSAM access, RegKey& out);

// REG_SZ with its terminating NUL counted in the size.
LSTATUS setString(HKEY key, const std::wstring& name, const std::wstring& text);
LSTATUS setDword(HKEY key, const std::wstring& name, DWORD value);

// Reads of one value of root\path, through RegGetValueW, which opens and
// closes the key itself and never creates it.
//
// A REG_SZ value, without its terminating NUL. Any other type, a missing key
// or value, or a failure gives false and leaves `out` empty.
bool getString(HKEY root, const std::wstring& path, const std::wstring& name, std::wstring& out);
// A REG_DWORD value of exactly four bytes.
bool getDword(HKEY root, const std::wstring& path, const std::wstring& name, DWORD& out);
// Any value of at most `maxBytes` bytes; strings come back terminated and
// unexpanded. False when it is missing, larger, or cannot be read.
bool getBounded(HKEY root, const std::wstring& path, const std::wstring& name, DWORD maxBytes,
                RawValue& out);

// The whole value, any type and size, byte for byte as stored (RegGetValueW
// would add a terminator to a string stored without one).
// ERROR_FILE_NOT_FOUND when it is absent.
LSTATUS getValue(HKEY key, const std::wstring& name, RawValue& out);
LSTATUS setValue(HKEY key, const std::wstring& name, const RawValue& value);
// Removes the value; one that is absent already counts as removed.
LSTATUS removeValue(HKEY key, const std::wstring& name);

// The names of the key's direct subkeys.
std::vector<std::wstring> subkeyNames(HKEY key);

} // namespace tc::reg
