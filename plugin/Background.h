#pragma once
// The plug-in's background work: what the first creation of a plug-in object
// brings up and what lives from then until the process ends. Nothing tears
// it down (the DLL pins itself once it runs).
//
// Its tick, once a second, runs in one direction: the switch, the players,
// what the name should show, the delivery, the wish that waits. Each room it
// drives only answers; none of them calls back.
#include "delivery/Delivery.h"
#include "messenger/MessengerSession.h"
#include "platform/NoReentry.h"
#include "platform/SessionReturns.h"
#include "player/PlayerWatcher.h"

#include <optional>

namespace tc {

inline constexpr UINT kTickMilliseconds = 1000;

class Background {
public:
    // What the background drives; they outlive it.
    struct Rooms {
        MessengerSession& messenger;
        Delivery& delivery;
        PlayerWatcher& players;
    };
    // Whether start-up makes the system's one-second thread timer. Tests and
    // the benchmark may leave it out and call tick() themselves.
    enum class Timer { System, Manual };

    Background(Rooms rooms, Timer timer) : rooms_(rooms), timer_(timer) {}
    Background(const Background&) = delete;
    Background& operator=(const Background&) = delete;

    // The start-up routine: seeds "onOff", starts the timer, connects to the
    // messenger's events, in this order. Stops at the first step that fails
    // and returns its error.
    HRESULT startUp();
    // What the timer runs each second: never two at once, and nothing
    // unwinds into the message loop that called it.
    void tick();

private:
    void startTimer();
    void runTick();
    // Whether the user came back to the session since the last tick.
    bool userCameBack();
    // What the name should show, from the players' news and, when nothing
    // changed, from a look for a now-playing name left with no player
    // playing.
    std::optional<composer::Wanted> decide(PlayerNews news);

    Rooms rooms_;
    Timer timer_;
    bool timerStarted_ = false;
    NoReentry tickGuard_;
    win::SessionReturns session_;
    // Ticks before the session's news are asked for again, after a refusal.
    static constexpr int kTicksBetweenListens = 60;
    int ticksUntilListen_ = 0;
    // A now-playing name may have been left with no player playing: at
    // start-up, after a sign-in, the user's return, or a wish dropped.
    bool lookForNameLeftPlaying_ = true;
};

// The process's background work, made on first use with its rooms and the
// system's clock and timer, and never destroyed.
Background& background();

// Runs the start-up routine of the process's background work, once; later
// calls return what the first one did.
HRESULT startUpOnce();

} // namespace tc
