#include "sim/common/ForegroundRule.h"

#include "sim/common/ImportHook.h"

#include <memory>
#include <vector>

namespace tc::sim::foregroundRule {
namespace {

bool g_on = false;
Counts g_counts;

using SetForegroundWindow_t = BOOL(WINAPI*)(HWND);
using OneWindow_t = BOOL(WINAPI*)(HWND);
using SetActiveWindow_t = HWND(WINAPI*)(HWND);
using SwitchToThisWindow_t = void(WINAPI*)(HWND, BOOL);
using AttachThreadInput_t = BOOL(WINAPI*)(DWORD, DWORD, BOOL);
using AllowSetForegroundWindow_t = BOOL(WINAPI*)(DWORD);
using LockSetForegroundWindow_t = BOOL(WINAPI*)(UINT);
using SendInput_t = UINT(WINAPI*)(UINT, LPINPUT, int);

// The system's own entries, as the first hooked module had them.
struct Real {
    void* setForegroundWindow = nullptr;
    void* bringWindowToTop = nullptr;
    void* setActiveWindow = nullptr;
    void* switchToThisWindow = nullptr;
    void* attachThreadInput = nullptr;
    void* allowSetForegroundWindow = nullptr;
    void* lockSetForegroundWindow = nullptr;
    void* sendInput = nullptr;
} g_real;

template <class F>
F real(void* p, const char* name) {
    if (!p) p = reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), name));
    return reinterpret_cast<F>(p);
}

BOOL WINAPI ruledSetForegroundWindow(HWND w) {
    if (g_on && anotherProgramInFront()) {
        ++g_counts.setForegroundRefused;
        return FALSE;
    }
    return real<SetForegroundWindow_t>(g_real.setForegroundWindow, "SetForegroundWindow")(w);
}
BOOL WINAPI countedBringWindowToTop(HWND w) {
    ++g_counts.otherFrontCalls;
    return real<OneWindow_t>(g_real.bringWindowToTop, "BringWindowToTop")(w);
}
HWND WINAPI countedSetActiveWindow(HWND w) {
    ++g_counts.otherFrontCalls;
    return real<SetActiveWindow_t>(g_real.setActiveWindow, "SetActiveWindow")(w);
}
void WINAPI countedSwitchToThisWindow(HWND w, BOOL alt) {
    ++g_counts.otherFrontCalls;
    real<SwitchToThisWindow_t>(g_real.switchToThisWindow, "SwitchToThisWindow")(w, alt);
}
BOOL WINAPI countedAttachThreadInput(DWORD from, DWORD to, BOOL attach) {
    ++g_counts.otherFrontCalls;
    return real<AttachThreadInput_t>(g_real.attachThreadInput, "AttachThreadInput")(from, to, attach);
}
BOOL WINAPI countedAllowSetForegroundWindow(DWORD process) {
    ++g_counts.otherFrontCalls;
    return real<AllowSetForegroundWindow_t>(g_real.allowSetForegroundWindow,
                                            "AllowSetForegroundWindow")(process);
}
BOOL WINAPI countedLockSetForegroundWindow(UINT code) {
    ++g_counts.otherFrontCalls;
    return real<LockSetForegroundWindow_t>(g_real.lockSetForegroundWindow,
                                           "LockSetForegroundWindow")(code);
}
UINT WINAPI countedSendInput(UINT n, LPINPUT in, int size) {
    if (anotherProgramInFront()) ++g_counts.keysToAnotherProgram;
    return real<SendInput_t>(g_real.sendInput, "SendInput")(n, in, size);
}

struct Hooked {
    HMODULE module;
    std::vector<std::unique_ptr<ImportHook>> hooks;
};
std::vector<Hooked>& hooked() {
    static auto* h = new std::vector<Hooked>();
    return *h;
}

void hook(Hooked& h, const char* name, void* replacement, void*& real) {
    void* original = nullptr;
    h.hooks.push_back(
        std::make_unique<ImportHook>("user32.dll", name, replacement, &original, h.module));
    if (!real && original) real = original;
}

} // namespace

void install(HMODULE module) {
    if (!module) module = GetModuleHandleW(nullptr);
    for (const Hooked& h : hooked())
        if (h.module == module) return;
    hooked().push_back({module, {}});
    const struct {
        const char* name;
        void* replacement;
        void*& real;
    } entries[] = {
        {"SetForegroundWindow", reinterpret_cast<void*>(&ruledSetForegroundWindow),
         g_real.setForegroundWindow},
        {"BringWindowToTop", reinterpret_cast<void*>(&countedBringWindowToTop),
         g_real.bringWindowToTop},
        {"SetActiveWindow", reinterpret_cast<void*>(&countedSetActiveWindow),
         g_real.setActiveWindow},
        {"SwitchToThisWindow", reinterpret_cast<void*>(&countedSwitchToThisWindow),
         g_real.switchToThisWindow},
        {"AttachThreadInput", reinterpret_cast<void*>(&countedAttachThreadInput),
         g_real.attachThreadInput},
        {"AllowSetForegroundWindow", reinterpret_cast<void*>(&countedAllowSetForegroundWindow),
         g_real.allowSetForegroundWindow},
        {"LockSetForegroundWindow", reinterpret_cast<void*>(&countedLockSetForegroundWindow),
         g_real.lockSetForegroundWindow},
        {"SendInput", reinterpret_cast<void*>(&countedSendInput), g_real.sendInput},
    };
    for (const auto& e : entries) hook(hooked().back(), e.name, e.replacement, e.real);
}

void setOn(bool on) { g_on = on; }

Counts counts() { return g_counts; }
void resetCounts() { g_counts = Counts(); }

bool userActivates(HWND window) {
    return real<SetForegroundWindow_t>(g_real.setForegroundWindow, "SetForegroundWindow")(window) !=
           FALSE;
}

bool anotherProgramInFront() {
    DWORD process = 0;
    HWND front = GetForegroundWindow();
    return front && GetWindowThreadProcessId(front, &process) && process != GetCurrentProcessId();
}

} // namespace tc::sim::foregroundRule
