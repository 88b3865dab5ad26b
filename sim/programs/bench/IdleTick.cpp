#include "sim/programs/bench/IdleTick.h"

#include "sim/programs/bench/BenchRooms.h"
#include "sim/programs/bench/Measure.h"
#include "sim/programs/bench/TickCalls.h"

namespace tc::bench {
namespace {

void tick() { rooms().background.tick(); }

} // namespace

IdleTickResult measureIdleTick(const IdleTickOptions& o) {
    IdleTickResult r;
    const std::vector<Call> calls = recordCalls(nullptr, tick);
    describeCalls(calls);

    // Warm both paths before timing.
    for (int i = 0; i < o.perBlock; ++i) {
        tick();
        makeCalls(calls);
    }

    std::vector<double> ratios, tickUs, bareUs;
    for (int round = 0; round < o.rounds; ++round) {
        double tTick = 0, tBare = 0;
        for (int block = 0; block < o.blocksPerRound; ++block) {
            // Alternate which goes first so that neither always runs warm.
            for (int half = 0; half < 2; ++half) {
                const bool productNow = (half == 0) == (block % 2 == 0);
                const double start = nowMs();
                if (productNow)
                    for (int i = 0; i < o.perBlock; ++i) tick();
                else
                    for (int i = 0; i < o.perBlock; ++i) makeCalls(calls);
                (productNow ? tTick : tBare) += nowMs() - start;
            }
        }
        const double n = static_cast<double>(o.blocksPerRound) * o.perBlock;
        ratios.push_back(tTick / tBare);
        tickUs.push_back(tTick * 1000.0 / n);
        bareUs.push_back(tBare * 1000.0 / n);
    }
    r.ratio = summarise(ratios);
    r.tickUs = summarise(tickUs);
    r.bareUs = summarise(bareUs);
    return r;
}

} // namespace tc::bench
