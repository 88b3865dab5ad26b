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

// Alt down, the key 0 (VK 0x30) down and up, Alt up, for whatever window has
// the keyboard focus. A key, not a character, so layouts on which typing 0
// needs Shift get the same hot key. The keys carry a mark of their own as
// their extra information. Does not wait for the keys to be read. True when
// the system took all four. When it took only some (it may refuse input at
// any moment: the workstation locks, a secure desktop comes up), the keys it
// did press are let go again and the answer is false.
bool sendAltZero();

// Keys of ours that are still down because the system refused even to let
// them go: let go now, those the system still has down, when the session is
// the user's again. Costs nothing when there are none.
void releaseOwnKeysLeftDown();

// Whether the desktop that takes the user's input is this thread's. It is
// not while the workstation is locked, a secure desktop is up (an elevation
// prompt, a secure screen saver), the session is disconnected or another
// user's session has the console: OpenInputDesktop then fails with access
// denied, and the system would refuse us the front and our keys.
bool inputDesktopIsThisThreads();

// The session's last input event (GetLastInputInfo): when it was, on the
// GetTickCount clock, and how long ago.
struct LastInput {
    DWORD stamp = 0;
    DWORD age = 0;
};
LastInput lastInput();

// Whether the user holds a mouse button or a modifier key (Shift, Ctrl, Alt,
// Windows) down now.
bool userHoldsAModifierOrButton();

// Lets this thread take in the keyboard messages queued for it until the
// two key-ups of the last sendAltZero have been read (bounded), so that keys
// sent to one of its own windows are read there before that window is
// hidden and the focus moves on. The user's own keys are dispatched as they
// come but never end the wait.
void drainKeyboardInput(Clock& clock, DWORD maxMilliseconds);

} // namespace tc::win
