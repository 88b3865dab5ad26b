#pragma once
// UTF-8 console output with time stamps relative to the start of the run.
#include <windows.h>

#include <string>

namespace tc::host {

void initConsole();
std::string utf8(const std::wstring& text);
// "  +12.34s  <who>  | <text>"
void line(const char* who, const std::wstring& text);
void plain(const std::wstring& text);

} // namespace tc::host
