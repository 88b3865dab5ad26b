#include "sim/common/ForegroundRule.h"

#include "sim/common/ImportHook.h"

#include <wtsapi32.h>

#include <algorithm>
#include <memory>
#include <vector>

namespace tc::sim::foregroundRule {
namespace {

bool g_on = false;
bool g_locked = false;
bool g_secureDesktop = false;
Counts g_counts;

using SetForegroundWindow_t = BOOL(WINAPI*)(HWND);
using OneWindow_t = BOOL(WINAPI*)(HWND);
using SetActiveWindow_t = HWND(WINAPI*)(HWND);
using SwitchToThisWindow_t = void(WINAPI*)(HWND, BOOL);
using AttachThreadInput_t = BOOL(WINAPI*)(DWORD, DWORD, BOOL);
using AllowSetForegroundWindow_t = BOOL(WINAPI*)(DWORD);
using LockSetForegroundWindow_t = BOOL(WINAPI*)(UINT);
using SendInput_t = UINT(WINAPI*)(UINT, LPINPUT, int);
using GetForegroundWindow_t = HWND(WINAPI*)();
using OpenInputDesktop_t = HDESK(WINAPI*)(DWORD, BOOL, ACCESS_MASK);

// Windows registered for the session's news. Wine's registration is a stub
// that never sends any; the lock model sends what Windows would.
std::vector<HWND>& sessionWindows() {
    static auto* windows = new std::vector<HWND>();
    return *windows;
}

void tellSessionWindows(WPARAM change) {
    for (HWND w : sessionWindows())
        if (IsWindow(w)) PostMessageW(w, WM_WTSSESSION_CHANGE, change, 1);
}

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
    void* getForegroundWindow = nullptr;
    void* openInputDesktop = nullptr;
} g_real;

template <class F>
F real(void* p, const char* name) {
    if (!p) p = reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), name));
    return reinterpret_cast<F>(p);
}

HWND realForeground() {
    return real<GetForegroundWindow_t>(g_real.getForegroundWindow, "GetForegroundWindow")();
}

// A call for the front or for keys while locked, or while a secure desktop
// takes the input: counted and refused.
bool refusedWhileLocked() {
    if (!g_locked && !g_secureDesktop) return false;
    ++g_counts.whileLocked;
    SetLastError(ERROR_ACCESS_DENIED);
    return true;
}

BOOL WINAPI ruledSetForegroundWindow(HWND w) {
    if (g_on) ++g_counts.frontRequests;
    if (refusedWhileLocked()) return FALSE;
    if (g_on && anotherProgramInFront()) {
        ++g_counts.setForegroundRefused;
        return FALSE;
    }
    return real<SetForegroundWindow_t>(g_real.setForegroundWindow, "SetForegroundWindow")(w);
}
BOOL WINAPI countedBringWindowToTop(HWND w) {
    ++g_counts.otherFrontCalls;
    if (refusedWhileLocked()) return FALSE;
    return real<OneWindow_t>(g_real.bringWindowToTop, "BringWindowToTop")(w);
}
HWND WINAPI countedSetActiveWindow(HWND w) {
    ++g_counts.otherFrontCalls;
    if (refusedWhileLocked()) return nullptr;
    return real<SetActiveWindow_t>(g_real.setActiveWindow, "SetActiveWindow")(w);
}
void WINAPI countedSwitchToThisWindow(HWND w, BOOL alt) {
    ++g_counts.otherFrontCalls;
    if (refusedWhileLocked()) return;
    real<SwitchToThisWindow_t>(g_real.switchToThisWindow, "SwitchToThisWindow")(w, alt);
}
BOOL WINAPI countedAttachThreadInput(DWORD from, DWORD to, BOOL attach) {
    ++g_counts.otherFrontCalls;
    if (refusedWhileLocked()) return FALSE;
    return real<AttachThreadInput_t>(g_real.attachThreadInput, "AttachThreadInput")(from, to, attach);
}
BOOL WINAPI countedAllowSetForegroundWindow(DWORD process) {
    ++g_counts.otherFrontCalls;
    if (refusedWhileLocked()) return FALSE;
    return real<AllowSetForegroundWindow_t>(g_real.allowSetForegroundWindow,
                                            "AllowSetForegroundWindow")(process);
}
BOOL WINAPI countedLockSetForegroundWindow(UINT code) {
    ++g_counts.otherFrontCalls;
    if (refusedWhileLocked()) return FALSE;
    return real<LockSetForegroundWindow_t>(g_real.lockSetForegroundWindow,
                                           "LockSetForegroundWindow")(code);
}
UINT WINAPI countedSendInput(UINT n, LPINPUT in, int size) {
    if (refusedWhileLocked()) return 0;
    if (anotherProgramInFront()) ++g_counts.keysToAnotherProgram;
    return real<SendInput_t>(g_real.sendInput, "SendInput")(n, in, size);
}
HWND WINAPI ruledGetForegroundWindow() { return g_locked ? nullptr : realForeground(); }
HDESK WINAPI ruledOpenInputDesktop(DWORD flags, BOOL inherit, ACCESS_MASK access) {
    if (g_locked || g_secureDesktop) {
        SetLastError(ERROR_ACCESS_DENIED);
        return nullptr;
    }
    return real<OpenInputDesktop_t>(g_real.openInputDesktop, "OpenInputDesktop")(flags, inherit,
                                                                                 access);
}

BOOL WINAPI recordedRegisterSessionNotification(HWND window, DWORD) {
    sessionWindows().push_back(window);
    return TRUE;
}
BOOL WINAPI recordedUnRegisterSessionNotification(HWND window) {
    auto& windows = sessionWindows();
    windows.erase(std::remove(windows.begin(), windows.end(), window), windows.end());
    return TRUE;
}

void userKey(WORD vk, bool up) {
    // A person's key never shares the millisecond of the input before it,
    // the plug-in's own keys included: tests type that fast, so they wait
    // for the system's clock to move on.
    LASTINPUTINFO last = {sizeof last, 0};
    GetLastInputInfo(&last);
    for (int i = 0; i < 100 && GetTickCount() == last.dwTime; ++i) Sleep(1);
    INPUT key = {};
    key.type = INPUT_KEYBOARD;
    key.ki.wVk = vk;
    key.ki.wScan = static_cast<WORD>(MapVirtualKeyW(vk, MAPVK_VK_TO_VSC));
    key.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    real<SendInput_t>(g_real.sendInput, "SendInput")(1, &key, sizeof key);
}

struct Hooked {
    HMODULE module;
    std::vector<std::unique_ptr<ImportHook>> hooks;
};
std::vector<Hooked>& hooked() {
    static auto* h = new std::vector<Hooked>();
    return *h;
}

void hook(Hooked& h, const char* dll, const char* name, void* replacement, void*& real) {
    void* original = nullptr;
    h.hooks.push_back(std::make_unique<ImportHook>(dll, name, replacement, &original, h.module));
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
        {"GetForegroundWindow", reinterpret_cast<void*>(&ruledGetForegroundWindow),
         g_real.getForegroundWindow},
        {"OpenInputDesktop", reinterpret_cast<void*>(&ruledOpenInputDesktop),
         g_real.openInputDesktop},
    };
    for (const auto& e : entries) hook(hooked().back(), "user32.dll", e.name, e.replacement, e.real);
    void* unused = nullptr;
    hook(hooked().back(), "wtsapi32.dll", "WTSRegisterSessionNotification",
         reinterpret_cast<void*>(&recordedRegisterSessionNotification), unused);
    hook(hooked().back(), "wtsapi32.dll", "WTSUnRegisterSessionNotification",
         reinterpret_cast<void*>(&recordedUnRegisterSessionNotification), unused);
}

void setOn(bool on) { g_on = on; }
void setSecureDesktop(bool up) { g_secureDesktop = up; }
void setLocked(bool locked) {
    if (g_locked == locked) return;
    g_locked = locked;
    tellSessionWindows(locked ? WTS_SESSION_LOCK : WTS_SESSION_UNLOCK);
}

Counts counts() { return g_counts; }
void resetCounts() { g_counts = Counts(); }

bool userActivates(HWND window) {
    return real<SetForegroundWindow_t>(g_real.setForegroundWindow, "SetForegroundWindow")(window) !=
           FALSE;
}

void userPresses(WORD vk) { userKey(vk, false); }
void userReleases(WORD vk) { userKey(vk, true); }
void userTypes(WORD vk) {
    userKey(vk, false);
    userKey(vk, true);
}

bool anotherProgramInFront() {
    DWORD process = 0;
    HWND front = realForeground();
    return front && GetWindowThreadProcessId(front, &process) && process != GetCurrentProcessId();
}

} // namespace tc::sim::foregroundRule
