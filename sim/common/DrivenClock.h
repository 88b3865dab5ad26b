#pragma once
// Time that a test or the benchmark drives, for the product's waits and the
// user's pause. A sleep moves it on by what was asked, though only a moment
// passes for real, so that what the window system does meanwhile (keys
// arriving, say) still happens. The user's real input is dated on it: the
// system stamps input on its own tick clock, and a stamp is taken over once,
// when it is first seen, at the age it has then.
#include "platform/Clock.h"

#include <windows.h>

namespace tc::sim {

class DrivenClock final : public Clock {
public:
    DWORD now() override { return now_; }
    void sleep(DWORD ms) override {
        now_ += ms;
        Sleep(ms ? 1 : 0);
    }
    Input lastInput() override {
        LASTINPUTINFO info{sizeof info, 0};
        if (GetLastInputInfo(&info) && (!inputSeen_ || info.dwTime != inputStamp_)) {
            inputSeen_ = true;
            inputStamp_ = info.dwTime;
            inputAt_ = now_ - (GetTickCount() - info.dwTime);
        }
        return {inputStamp_, inputAt_};
    }
    // Moves time on. Input made so far is dated before the move.
    void advance(DWORD ms) {
        lastInput();
        now_ += ms;
    }

private:
    DWORD now_ = 1000;
    bool inputSeen_ = false;
    DWORD inputStamp_ = 0;
    DWORD inputAt_ = 0;
};

} // namespace tc::sim
