#pragma once
// A window of the program's own that is no conversation, to put in front.
#include <windows.h>

namespace tc::sim {

// A plain, shown top-level window of that class, made on first use and
// kept for the life of the process; the class is registered with it.
HWND plainWindow(const wchar_t* className, const wchar_t* title);

} // namespace tc::sim
