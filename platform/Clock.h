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
    // The session's last input event (a key, the mouse): the system's stamp,
    // by which a new event is told, and when it was on this clock.
    struct Input {
        DWORD stamp;
        DWORD at;
    };
    virtual Input lastInput() = 0;
};

// GetTickCount, Sleep and GetLastInputInfo.
Clock& systemClock();

} // namespace tc
