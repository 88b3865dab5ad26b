#pragma once
// Small registry routines for the add-on's quick-text slot. Each opens and
// closes its key within the call and raises nothing; texts go through the
// wide-character API so that names outside the ANSI code page survive. The
// writes answer whether the value was stored, for the one caller that must
// know: a keystroke after a failed write would send the slot's old text.
#include <windows.h>

#include <string>

namespace tc::slotValues {

// REG_SZ; creates the key and any missing parents.
bool writeString(HKEY root, const std::wstring& path, const std::wstring& name,
                    const std::wstring& text);
// The value as a signed 32-bit number when it is a REG_DWORD of 4 bytes;
// 0 in every other case (missing key or value, another type, more bytes).
// Never creates anything.
LONG readDword(HKEY root, const std::wstring& path, const std::wstring& name);
// REG_DWORD; creates the key and any missing parents.
bool writeDword(HKEY root, const std::wstring& path, const std::wstring& name, LONG value);

} // namespace tc::slotValues
