#pragma once
// The plug-in's background work as the product brings it up, on the
// system's clock and timer, in the benchmark's own process.
#include "delivery/Delivery.h"
#include "messenger/MessengerSession.h"
#include "platform/Clock.h"
#include "player/PlayerWatcher.h"
#include "plugin/Background.h"

namespace tc::bench {

struct Rooms {
    MessengerSession messenger;
    Delivery delivery{systemClock(), messenger};
    PlayerWatcher players;
    Background background{{messenger, delivery, players}, Background::Timer::System};
};

// Made on first use and never destroyed: the messenger keeps the event sink.
Rooms& rooms();

} // namespace tc::bench
