#pragma once
// The cost of a tick that finds the player with an unchanged title, against
// the bare Win32 calls such a tick cannot do without.
#include "sim/programs/bench/Measure.h"

namespace tc::bench {

struct IdleTickOptions {
    int rounds = 9;
    int blocksPerRound = 20;
    int perBlock = 50;
};

struct IdleTickResult {
    Summary ratio;   // product tick / bare calls, one value per round
    Summary tickUs;  // microseconds per product tick, one value per round
    Summary bareUs;  // microseconds per set of bare calls, one value per round
};

// The player window must be open with its title already seen by the product
// (so the tick changes nothing), and "onOff" switched on.
IdleTickResult measureIdleTick(const IdleTickOptions& options);

} // namespace tc::bench
