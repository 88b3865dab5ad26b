#pragma once
// Thin wrappers over the user32 calls the plug-in makes. Handles come from a
// lookup at each use and are never kept.
#include <windows.h>

#include <optional>
#include <string>

namespace tc::win {

// The most characters of window text a reader takes: a window may claim any
// length, and a 32-bit host has no room for what it claims.
inline constexpr int kLongestWindowText = 64 * 1024;

// First top-level window of that class, any text; null when there is none.
HWND findTopWindow(const wchar_t* className);

// GetWindowTextA into a buffer of `bufferBytes` bytes pre-filled with `fill`,
// then the whole buffer converted back to UTF-16: the window text, its NUL
// and whatever `fill` is left after it.
std::wstring windowTextBuffer(HWND window, int bufferBytes, char fill);
// The same into `out`, whose storage is used again.
void windowTextBuffer(HWND window, int bufferBytes, char fill, std::wstring& out);

// The window text as the reported length says, up to kLongestWindowText:
// the length, then a buffer of exactly that many bytes (plus the NUL)
// converted back. No window reads as the empty text; a window that does not
// answer in time gives no reading at all.
std::optional<std::wstring> windowTextExact(HWND window);

// The class name of a window, at most `limit` characters; empty on failure.
std::wstring className(HWND window, int limit);

// Whether the window belongs to this process. A window whose owner cannot
// be told (it has gone meanwhile, say) does not.
bool ownedByThisProcess(HWND window);

// SendInput: the keys the system took, in order, from the first; it stops
// at the first it refuses (the session locks, a secure desktop comes up).
UINT sendInput(INPUT* keys, UINT count);

// Whether that key is down now, as the system has it (GetAsyncKeyState).
bool keyIsDown(int vk);

// Whether the desktop that takes the user's input is this thread's. It is
// not while the workstation is locked, a secure desktop is up (an elevation
// prompt, a secure screen saver), the session is disconnected or another
// user's session has the console: OpenInputDesktop then fails with access
// denied, and the system would refuse us the front and our keys.
bool inputDesktopIsThisThreads();

// Whether the user holds a mouse button or a modifier key (Shift, Ctrl, Alt,
// Windows) down now.
bool userHoldsAModifierOrButton();

} // namespace tc::win
