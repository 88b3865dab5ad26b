#include "platform/Clock.h"

namespace tc {
namespace {

class SystemClock final : public Clock {
public:
    DWORD now() override { return GetTickCount(); }
    void sleep(DWORD ms) override { Sleep(ms); }
    // GetLastInputInfo stamps on the GetTickCount clock. Without an answer
    // the user counts as having been away since the clock began.
    Input lastInput() override {
        LASTINPUTINFO info = {};
        info.cbSize = sizeof info;
        const DWORD stamp = GetLastInputInfo(&info) ? info.dwTime : 0;
        return {stamp, stamp};
    }
};

} // namespace

Clock& systemClock() {
    static SystemClock clock;
    return clock;
}

} // namespace tc
