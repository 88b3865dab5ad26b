#pragma once
// Whether the user is at the keyboard or the mouse. Alt+0 pressed while they
// type lands between their keys, and the add-on sends the conversation's
// input box with the quick text; pressed while they hold Ctrl, Shift, Alt or
// Windows it becomes another chord (Ctrl+Alt+0 is AltGr+0 and types a
// character; Alt+Shift switches the keyboard layout). Bringing a window to
// the front while they type takes their next keys.
#include "platform/Clock.h"

#include <windows.h>

namespace tc {

// How long the user must have left the keyboard and the mouse alone.
inline constexpr DWORD kUserPauseMilliseconds = 1000;

class UserActivity {
public:
    explicit UserActivity(Clock& clock) : clock_(clock) {}
    UserActivity(const UserActivity&) = delete;
    UserActivity& operator=(const UserActivity&) = delete;

    // The user gave input within the pause, or holds a mouse button or a
    // modifier key. Any other key held down repeats, and each repeat is
    // input.
    bool busy();

    // Our own keys have just been read: the input they made is not the
    // user's, who has been idle since the look before them.
    void ownKeysRead();

private:
    Clock& clock_;
    bool ownKeysSeen_ = false;
    DWORD ownKeys_ = 0; // the system's stamp of our own keys, last time
    DWORD userAt_ = 0;  // the user's last input, on the clock
};

} // namespace tc
