#pragma once
// Whether the user is using the keyboard or the mouse. Alt+0 pressed while
// they type lands between their keys, and the add-on sends the conversation's
// input box with the quick text; pressed while they hold Ctrl, Shift, Alt or
// Windows it becomes another chord (Ctrl+Alt+0 is AltGr+0 and types a
// character; Alt+Shift switches the keyboard layout); pressed while an input
// method composes (a keyboard for another script, dictation), it ends the
// composition into the box. Bringing a window to the front while they type
// takes their next keys.
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

    // The user has given no input for the pause, holds no mouse button and
    // no modifier key, and no input method composes in the window with the
    // keyboard focus. Any other key held down repeats, and each repeat is
    // input.
    bool keyboardFree();

    // Our own keys have just been read: the input they made is not the
    // user's, who has been idle since the look before them.
    void ownKeysRead();

private:
    // When, on our clock, the user's last input was.
    DWORD lastUserInput();

    Clock& clock_;
    bool seen_ = false;
    DWORD stamp_ = 0; // the session's last input stamp at our last look
    DWORD at_ = 0;    // when that was, on our clock
};

} // namespace tc
