#include "plugin/StartUp.h"

#include "platform/Boundary.h"
#include "settings/SettingsStore.h"

namespace tc {
namespace {

// A thread timer's callback has nothing to tell it whose it is: it serves
// the process's one background.
void CALLBACK pollWinamp(HWND, UINT, UINT_PTR, DWORD) { background().tick(); }

} // namespace

HRESULT Background::startUp() {
    if (readSetting(keys::onOff).empty()) {
        HRESULT hr = writeSetting(keys::onOff, L"1");
        if (FAILED(hr)) return hr;
    }
    startTimer();
    // The window list, colIMWindows, is part of frmSendText from its
    // creation; loading the form connects it to the messenger's events.
    return form.load();
}

void Background::startTimer() {
    if (timerId != 0) return;
    if (timer_ == Timer::System) timerId = SetTimer(nullptr, 0, kTickMilliseconds, pollWinamp);
}

void Background::tick() {
    // A delivery may wait on the messenger; should that ever let a timer
    // message through, the nested tick is dropped rather than interleaved.
    // A tick that ended by a fault in someone else's code does not count as
    // running any more.
    tickGuard_.run([&] {
        // Nothing may unwind into the message loop that called us (the
        // host's): a failure ends this tick only, and the next tick starts
        // afresh.
        try {
            watcher.pollWinamp();
        } catch (...) {
        }
    });
}

Background& background() {
    // Never destroyed: static destructors run while OLE and the messenger's
    // objects may already be gone.
    static Background* process = new Background(systemClock(), Background::Timer::System);
    return *process;
}

HRESULT startUpOnce() {
    // Start-up waits on the messenger, in another process, and the thread
    // handles messages meanwhile: the host may create another object then.
    // That creation finds start-up under way and leaves it to finish.
    enum class Stage { NotStarted, Running, Done };
    static Stage stage = Stage::NotStarted;
    static HRESULT result = S_OK;
    if (stage == Stage::Running) return S_OK;
    if (stage == Stage::NotStarted) {
        stage = Stage::Running;
        // Called from the class factory: a failure comes back as an error
        // and never unwinds through COM into the host.
        result = comBoundary([] { return background().startUp(); });
        stage = Stage::Done;
    }
    return result;
}

} // namespace tc
