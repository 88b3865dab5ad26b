#pragma once
// The checks that keep Alt+0 away from the user's typing and from a locked
// session: what a tick costs while a command waits on them, and how soon
// after the user's last key the waiting command goes out.
#include "sim/player/PlayerSim.h"
#include "sim/programs/bench/Measure.h"

#include <string>

namespace tc::bench {

struct UserWaitFigures {
    // One direct call of the tick, in microseconds: nothing waiting, and a
    // command waiting while the user types, holds Ctrl, the session is
    // locked, or another program is in front.
    Summary idleUs, typingUs, heldUs, lockedUs, otherUs;
    bool otherStarted = false;
    // The delivery's "not now" rule that held the command back in each.
    std::wstring typingRule, heldRule, lockedRule, otherRule;
    // From the user's last key (Enter, their reply sent) to the add-on's
    // send, in milliseconds.
    Summary afterLastKey;
    int made = 0, delivered = 0, early = 0;
    // The reply left unsent in the box: from the song change to the send,
    // which goes through the hidden conversation, and how long the user's
    // conversation was out of front for it, in milliseconds.
    Summary draftChangeToSend, draftOutOfFront;
    int draftMade = 0, draftDelivered = 0, draftsKept = 0;
};

// The player must be open with its title seen and the name set. `samples`
// is the number of typing sessions timed to the send.
UserWaitFigures measureUserWaits(sim::PlayerSim& player, int samples, int ticks, int& serial);
void printUserWaits(const UserWaitFigures& f, double typicalDeliveryMs);

} // namespace tc::bench
