#pragma once
// The module our code and resources live in: the DLL when loaded as one, the
// program itself when the product code is linked into a test program.
#include <windows.h>

#include <string>

namespace tc::module {

HINSTANCE instance();
void setInstance(HINSTANCE h);
// Full path of that module; empty when it cannot be read.
std::wstring path();
// Keeps the module loaded until the process ends, whoever frees it.
void pin();

} // namespace tc::module
