#pragma once
// The keys the delivery presses, Alt+0, and what it owes the keyboard: a key
// of ours that the system took down and then refused to let go (the session
// locked in between) would turn every key the user presses next into a
// shortcut, so it is let go as soon as the session is the user's again.
#include "platform/Clock.h"

#include <windows.h>

#include <vector>

namespace tc {

class OwnKeys {
public:
    // Alt down, the key 0 (VK 0x30) down and up, Alt up, for whatever window
    // has the keyboard focus. A key, not a character, so layouts on which
    // typing 0 needs Shift get the same hot key. The keys carry a mark of
    // their own, by which the wait below tells them from the user's. Does
    // not wait for them to be read. True when the system took all four; when
    // it took only some, those it pressed are let go again and the answer is
    // false.
    bool pressAltZero();

    // Keys of ours still down because the system refused even to let them
    // go: let go now, those the system still has down, when the session is
    // the user's again. Costs nothing when there are none.
    void releaseLeftDown();

    // Lets this thread take in the keyboard messages queued for it until the
    // two key-ups of the last Alt+0 have been read (bounded), so that keys
    // sent to one of its own windows are read there before that window is
    // hidden and the focus moves on. The user's own keys are dispatched as
    // they come but never end the wait.
    void waitUntilRead(Clock& clock, DWORD maxMilliseconds);

private:
    bool send(std::vector<INPUT> keys);
    void release(std::vector<WORD> keys);

    // Keys of ours the system has down: the keyboard is the session's, and
    // the process has one delivery.
    std::vector<WORD> down_;
};

} // namespace tc
