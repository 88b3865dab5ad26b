#pragma once
// Time as the delivery's bounded waits see it. The product runs on the
// system's clock; tests put in one that they drive, so that a wait bounded
// at 300 ms does not take 300 ms.
#include <windows.h>

namespace tc {

class Clock {
public:
    virtual ~Clock() = default;
    // Milliseconds since some start, wrapping like GetTickCount.
    virtual DWORD now() = 0;
    // Gives the processor away for about `ms` milliseconds.
    virtual void sleep(DWORD ms) = 0;
};

// GetTickCount and Sleep.
Clock& systemClock();

} // namespace tc
