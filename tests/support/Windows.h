#pragma once
// Windows of the test's own, and the thread's messages.
#include "platform/Handles.h"

#include <windows.h>

#include <functional>
#include <memory>
#include <type_traits>

namespace tc::test {

// A window the test made and destroys.
using OwnedWindow = WindowHandle;

// A plain window of this test, shown and put in front with the keyboard
// focus, so that no conversation is. The class may belong to another module
// (a class name of ours in other letter case, say). It lives as long as the
// process.
HWND frontWindow(const wchar_t* className = L"TcTestFront", HINSTANCE module = nullptr);

// Dispatches this thread's messages until `done` holds (asked after every
// batch) or `ms` have passed; true when it held.
bool pumpUntil(const std::function<bool()>& done, DWORD ms);
inline void pump(DWORD ms) { pumpUntil(nullptr, ms); }

} // namespace tc::test
