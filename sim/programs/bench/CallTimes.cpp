#include "sim/programs/bench/CallTimes.h"

#include "sim/common/ImportHook.h"
#include "sim/programs/bench/Measure.h"

#include <cstdio>

namespace tc::bench {
using sim::ImportHook;
namespace {

struct Tally {
    const char* name;
    int calls;
    double ms;
};

enum { kShow, kSetFg, kGetFg, kInput, kPeek, kSleep, kCount };
Tally g_tally[kCount] = {{"ShowWindow", 0, 0},     {"SetForegroundWindow", 0, 0},
                         {"GetForegroundWindow", 0, 0}, {"SendInput", 0, 0},
                         {"PeekMessageW", 0, 0},   {"Sleep", 0, 0}};
void* g_real[kCount];

template <class F>
F real(int i) { return reinterpret_cast<F>(g_real[i]); }

int g_depth = 0;

// Only the outermost watched call counts: the simulated messenger runs in
// this process and makes watched calls of its own from inside them.
struct Timed {
    explicit Timed(int i) : i_(i), outer_(g_depth++ == 0), start_(nowMs()) {}
    ~Timed() {
        --g_depth;
        if (!outer_) return;
        g_tally[i_].calls++;
        g_tally[i_].ms += nowMs() - start_;
    }
    int i_;
    bool outer_;
    double start_;
};

BOOL WINAPI timedShowWindow(HWND w, int cmd) {
    Timed t(kShow);
    return real<BOOL(WINAPI*)(HWND, int)>(kShow)(w, cmd);
}
BOOL WINAPI timedSetForegroundWindow(HWND w) {
    Timed t(kSetFg);
    return real<BOOL(WINAPI*)(HWND)>(kSetFg)(w);
}
HWND WINAPI timedGetForegroundWindow() {
    Timed t(kGetFg);
    return real<HWND(WINAPI*)()>(kGetFg)();
}
UINT WINAPI timedSendInput(UINT n, LPINPUT in, int size) {
    Timed t(kInput);
    return real<UINT(WINAPI*)(UINT, LPINPUT, int)>(kInput)(n, in, size);
}
BOOL WINAPI timedPeekMessageW(LPMSG m, HWND w, UINT lo, UINT hi, UINT remove) {
    Timed t(kPeek);
    return real<BOOL(WINAPI*)(LPMSG, HWND, UINT, UINT, UINT)>(kPeek)(m, w, lo, hi, remove);
}
void WINAPI timedSleep(DWORD ms) {
    Timed t(kSleep);
    real<void(WINAPI*)(DWORD)>(kSleep)(ms);
}

UINT WINAPI refusedSendInput(UINT, LPINPUT, int) {
    SetLastError(ERROR_ACCESS_DENIED);
    return 0;
}

} // namespace

void withInputBlocked(const std::function<void()>& body) {
    void* original = nullptr;
    ImportHook a("user32.dll", "SendInput", reinterpret_cast<void*>(&refusedSendInput), &original);
    body();
}

double showWindowMs(const std::function<void()>& body) {
    g_tally[kShow].calls = 0;
    g_tally[kShow].ms = 0;
    ImportHook a("user32.dll", "ShowWindow", reinterpret_cast<void*>(&timedShowWindow), &g_real[kShow]);
    body();
    return g_tally[kShow].ms;
}

void printCallTimes(const char* label, const std::function<void()>& body) {
    for (Tally& t : g_tally) t.calls = 0, t.ms = 0;
    double total = 0;
    {
        ImportHook a("user32.dll", "ShowWindow", reinterpret_cast<void*>(&timedShowWindow), &g_real[kShow]);
        ImportHook b("user32.dll", "SetForegroundWindow",
                     reinterpret_cast<void*>(&timedSetForegroundWindow), &g_real[kSetFg]);
        ImportHook c("user32.dll", "GetForegroundWindow",
                     reinterpret_cast<void*>(&timedGetForegroundWindow), &g_real[kGetFg]);
        ImportHook d("user32.dll", "SendInput", reinterpret_cast<void*>(&timedSendInput), &g_real[kInput]);
        ImportHook e("user32.dll", "PeekMessageW", reinterpret_cast<void*>(&timedPeekMessageW),
                     &g_real[kPeek]);
        ImportHook f("kernel32.dll", "Sleep", reinterpret_cast<void*>(&timedSleep), &g_real[kSleep]);
        const double start = nowMs();
        body();
        total = nowMs() - start;
    }
    std::printf("    where %s spent its %.2f ms:", label, total);
    for (const Tally& t : g_tally)
        if (t.calls) std::printf(" %s x%d %.2f ms;", t.name, t.calls, t.ms);
    std::printf("\n");
}

} // namespace tc::bench
