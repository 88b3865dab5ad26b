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

// REG_SZ with its terminating NUL counted in the size.
LSTATUS setString(HKEY key, const std::wstring& name, const std::wstring& text);
LSTATUS setDword(HKEY key, const std::wstring& name, DWORD value);

// Reads a REG_SZ value. Any other type, a missing value or a failure gives
// false and leaves `out` empty. One trailing NUL is not part of the text.
bool getString(HKEY key, const std::wstring& name, std::wstring& out);

// Raw read: type and bytes, up to `maxBytes`. False when the query fails
// (also when the value is larger than maxBytes).
bool getRaw(HKEY key, const std::wstring& name, DWORD& type, std::string& bytes, DWORD maxBytes);

// The whole value, any type and size. ERROR_FILE_NOT_FOUND when it is absent.
LSTATUS getValue(HKEY key, const std::wstring& name, RawValue& out);
LSTATUS setValue(HKEY key, const std::wstring& name, const RawValue& value);
// Removes the value; one that is absent already counts as removed.
LSTATUS removeValue(HKEY key, const std::wstring& name);

// The names of the key's direct subkeys.
std::vector<std::wstring> subkeyNames(HKEY key);

} // namespace tc::reg
