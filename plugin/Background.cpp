#include "plugin/Background.h"

#include "platform/Boundary.h"
#include "settings/SettingsStore.h"

namespace tc {
namespace {

// A thread timer's callback has nothing to tell it whose it is: the process
// has one system timer, and this is the background it serves.
Background* g_timed = nullptr;

void CALLBACK onTimer(HWND, UINT, UINT_PTR, DWORD) {
    if (g_timed) g_timed->tick();
}

} // namespace

HRESULT Background::startUp() {
    if (readSetting(keys::onOff).empty()) {
        HRESULT hr = writeSetting(keys::onOff, L"1");
        if (FAILED(hr)) return hr;
    }
    startTimer();
    return rooms_.messenger.connect();
}

// A failing SetTimer leaves the background without ticks; nothing retries.
void Background::startTimer() {
    if (timerStarted_ || timer_ != Timer::System || g_timed) return;
    timerStarted_ = true;
    g_timed = this;
    SetTimer(nullptr, 0, kTickMilliseconds, onTimer);
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
            runTick();
        } catch (...) {
        }
    });
}

void Background::runTick() {
    Delivery& delivery = rooms_.delivery;
    // The switch. Off, nothing goes out, not even a wish still waiting; the
    // name it would have taken back is looked at again once switched on.
    if (readSetting(keys::onOff) != L"1") {
        if (delivery.dropWaiting()) lookForNameLeftPlaying_ = true;
        return;
    }
    // What changed around the name since the last tick: a road that failed
    // may work now, and the name may have been left showing a song.
    if (userCameBack() | rooms_.messenger.takeSignedIn()) {
        lookForNameLeftPlaying_ = true;
        delivery.roadMayWorkAgain();
    }
    if (delivery.takeDropped()) lookForNameLeftPlaying_ = true;

    const PlayerNews news = rooms_.players.look();
    if (const std::optional<composer::Wanted> wanted = decide(news)) delivery.want(*wanted);
    delivery.sendWaiting();
}

// A now-playing name outlives what set it: the messenger closed while a song
// played, a command went out while the messenger was reconnecting and never
// reached the service, or a wish was dropped. With no player playing nothing
// would ever take it back: a stopped or paused player is only remembered.
// Only a name exactly as we composed it is ours to take back, which the
// delivery decides when it goes out; a wish already waiting is newer, and a
// player that plays takes its usual road instead.
std::optional<composer::Wanted> Background::decide(PlayerNews news) {
    if (news == PlayerNews::NewSong) return composer::Wanted::NowPlaying;
    if (news == PlayerNews::SongOver) return composer::Wanted::Plain;
    if (!lookForNameLeftPlaying_) return std::nullopt;
    lookForNameLeftPlaying_ = false;
    if (rooms_.delivery.waiting() || rooms_.players.somePlayerPlays()) return std::nullopt;
    return composer::Wanted::PlainIfLeftByUs;
}

// The session's news arrive as window messages, between ticks. Listening
// starts at the first tick; when the system cannot take it yet, it is asked
// again now and then.
bool Background::userCameBack() {
    if (!session_.listening()) {
        if (ticksUntilListen_ > 0) {
            --ticksUntilListen_;
        } else if (!session_.listen()) {
            ticksUntilListen_ = kTicksBetweenListens;
        }
    }
    return session_.take();
}

Background& background() {
    // Never destroyed: static destructors run while OLE and the messenger's
    // objects may already be gone.
    struct Process {
        MessengerSession messenger;
        Delivery delivery{systemClock(), messenger};
        PlayerWatcher players;
        Background background{{messenger, delivery, players}, Background::Timer::System};
    };
    static Process* process = new Process();
    return process->background;
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
