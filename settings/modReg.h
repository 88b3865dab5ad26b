#pragma once
// Small registry routines for the add-on's quick-text slot. Each opens and
// closes its key within the call and reports nothing; texts go through the
// wide-character API so that names outside the ANSI code page survive.
#include <windows.h>

#include <string>

namespace tc::modReg {

// REG_SZ; creates the key and any missing parents.
void WriteRegString(HKEY root, const std::wstring& path, const std::wstring& name,
                    const std::wstring& text);
// The value as a signed 32-bit number when it is a REG_DWORD of 4 bytes;
// 0 in every other case (missing key or value, another type, more bytes).
// Never creates anything.
LONG ReadRegDword(HKEY root, const std::wstring& path, const std::wstring& name);
// REG_DWORD; creates the key and any missing parents.
void WriteRegDword(HKEY root, const std::wstring& path, const std::wstring& name, LONG value);

} // namespace tc::modReg
