#pragma once
// The plug-in's background work: what the first creation of a plug-in object
// brings up and what lives from then until the process ends. Nothing tears
// it down (the DLL pins itself once it runs).
#include "messenger/frmSendText.h"
#include "platform/Clock.h"
#include "platform/NoReentry.h"
#include "player/modTimer.h"

namespace tc {

class Background {
public:
    // Whether startTimer makes the system's one-second thread timer. Tests
    // leave it out and call tick() themselves.
    enum class Timer { System, Manual };
    Background(Clock& clock, Timer timer) : form{clock}, timer_(timer) {}
    Background(const Background&) = delete;
    Background& operator=(const Background&) = delete;

    // The start-up routine: seeds "onOff", starts the timer, brings up the
    // window list and loads frmSendText, in this order. Stops at the first
    // step that fails and returns its error.
    HRESULT startUp();
    void startTimer();
    // What the timer runs each second: one poll of the player, never two at
    // once, and nothing unwinds into the message loop that called it.
    void tick();

    UINT_PTR timerId = 0;
    frmSendText form;
    modTimer watcher{form};

private:
    Timer timer_;
    NoReentry tickGuard_;
};

// The process's background work, made on first use and never destroyed.
Background& background();

// Runs the start-up routine of the process's background work, once; later
// calls return what the first one did.
HRESULT startUpOnce();

} // namespace tc
