#pragma once
// Windows' foreground lock, which Wine does not apply. On Windows a process
// may take the foreground only while it is its own or nobody's: "an
// application cannot force a window to the foreground while the user is
// working with another window" (SetForegroundWindow's documentation). While
// the rule is on and a window of another process is in front,
// SetForegroundWindow called from a hooked module returns FALSE and changes
// nothing; with a window of this process in front it works as usual.
//
// The calls that only a plug-in fighting for the front would make are
// counted: SetForegroundWindow while another program is in front, and any
// BringWindowToTop, SetActiveWindow, SwitchToThisWindow, AttachThreadInput,
// AllowSetForegroundWindow or LockSetForegroundWindow. So are keys
// synthesised while another program is in front.
//
// The rule also knows a locked session, as Windows shows it to a program
// while the workstation is locked, a secure desktop (an elevation prompt, a
// secure screen saver) is up, the session is disconnected or another user's
// has the console: no foreground window, the front and the other front
// calls refused, SendInput taking nothing (access denied), OpenInputDesktop
// failing with access denied. Every front call and key tried meanwhile is
// counted. Windows registered with WTSRegisterSessionNotification hear of
// the lock and the unlock (WM_WTSSESSION_CHANGE, posted), which Wine's stub
// never sends.
#include <windows.h>

namespace tc::sim::foregroundRule {

// Hooks those user32 imports of the module (the program itself when null):
// the program the product code is linked into, or the plug-in DLL and its
// host. Once per module; the hooks stay until the process ends.
void install(HMODULE module = nullptr);

// Off until switched on.
void setOn(bool on);
// Not locked until switched on; works whether the rule is on or not.
void setLocked(bool locked);
// A secure desktop over the session that still reports a window in front,
// as an elevation prompt over a window or a secure screen saver can: the
// input desktop is not ours, and the front and keys are refused, but
// GetForegroundWindow answers as before. Off until switched on.
void setSecureDesktop(bool up);

struct Counts {
    int setForegroundRefused = 0; // refused by the rule
    int otherFrontCalls = 0;      // BringWindowToTop and the others above
    int keysToAnotherProgram = 0; // SendInput calls with another program in front
    int whileLocked = 0;          // front calls and SendInput calls while locked
    int frontRequests = 0;        // every SetForegroundWindow, allowed or not, while on
    int total() const {
        return setForegroundRefused + otherFrontCalls + keysToAnotherProgram + whileLocked;
    }
};
Counts counts();
void resetCounts();

// The user clicking a window: the system's own activation, which no rule
// holds back. Works across processes.
bool userActivates(HWND window);

// Whether the window in front belongs to another process.
bool anotherProgramInFront();

// The user's hands on the keyboard: keys through the system's input path
// (the real SendInput, not the hooked one, and with no mark of the
// plug-in's), which the system reflects in GetAsyncKeyState and
// GetLastInputInfo.
void userPresses(WORD vk);
void userReleases(WORD vk);
// A key pressed and let go.
void userTypes(WORD vk);

} // namespace tc::sim::foregroundRule
