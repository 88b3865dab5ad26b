#pragma once
// The one place where text crosses between UTF-16 and the ANSI code page.
#include <string>

namespace tc {

// UTF-16 to the system ANSI code page; characters the code page lacks become
// its default character.
std::string toAnsi(const std::wstring& text);

// ANSI bytes to UTF-16, all `length` bytes of them: embedded NULs and what
// follows them are kept, so a whole API buffer converts back at full length.
// Invalid multibyte sequences come back as replacement characters, never fail.
std::wstring fromAnsi(const char* bytes, size_t length);
// The same into `out`, whose storage is used again: a caller converting the
// same buffer once a second allocates nothing after the first time.
void fromAnsi(const char* bytes, size_t length, std::wstring& out);

std::wstring lowerCase(const std::wstring& text);

} // namespace tc
