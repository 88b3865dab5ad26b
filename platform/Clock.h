#pragma once
// Time as the delivery's bounded waits and the user's pause see it. The
// product runs on the system's clock; tests put in one that they drive, so
// that a wait bounded at 300 ms does not take 300 ms, and a pause of a
// second after the user's last key does not take a second.
#include <windows.h>

namespace tc {

class Clock {
public:
    virtual ~Clock() = default;
    // Milliseconds since some start, wrapping like GetTickCount.
    virtual DWORD now() = 0;
    // Gives the processor away for about `ms` milliseconds.
    virtual void sleep(DWORD ms) = 0;
    // When the session's last input event was (a key, the mouse), on this
    // clock. Each event has its own answer, so a new one is told by it.
    virtual DWORD lastInput() = 0;
};

// GetTickCount, Sleep and GetLastInputInfo.
Clock& systemClock();

} // namespace tc
