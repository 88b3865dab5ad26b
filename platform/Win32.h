#pragma once
// Thin wrappers over the user32 calls the plug-in makes. Handles come from a
// lookup at each use and are never kept.
#include "platform/Clock.h"

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

// Alt down, the key 0 (VK 0x30) down and up, Alt up, for whatever window has
// the keyboard focus. A key, not a character, so layouts on which typing 0
// needs Shift get the same hot key. The keys carry a mark of their own as
// their extra information. Does not wait for the keys to be read.
bool sendAltZero();

// Lets this thread take in the keyboard messages queued for it until the
// two key-ups of the last sendAltZero have been read (bounded), so that keys
// sent to one of its own windows are read there before that window is
// hidden and the focus moves on. The user's own keys are dispatched as they
// come but never end the wait.
void drainKeyboardInput(Clock& clock, DWORD maxMilliseconds);

} // namespace tc::win
