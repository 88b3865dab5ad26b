#include "sim/programs/bench/IdleTick.h"

#include "plugin/StartUp.h"
#include "sim/common/ImportHook.h"
#include "sim/programs/bench/Measure.h"

#include <cstdio>
#include <string>

namespace tc::bench {
using sim::ImportHook;
namespace {

// One Win32 call seen during a recorded tick, with what is needed to make it
// again bare.
struct Call {
    enum Kind { RegGet, Find, GetText, Parent, TextLength, Other };
    explicit Call(Kind k) : kind(k) {}
    Kind kind;
    std::wstring text;     // key path or window class
    std::wstring value;    // value name
    HKEY root = nullptr;
    DWORD access = 0;      // RegGetValueW's flags, SendMessageTimeoutA's
    HWND window = nullptr;
    DWORD size = 0;        // bytes offered to the query, characters to the text read
    const char* name = ""; // for calls the bare tick does not make
};

std::vector<Call>* g_seen = nullptr;

using RegGetValueW_t = LSTATUS(WINAPI*)(HKEY, LPCWSTR, LPCWSTR, DWORD, LPDWORD, PVOID, LPDWORD);
using FindWindowW_t = HWND(WINAPI*)(LPCWSTR, LPCWSTR);
using GetWindowTextA_t = int(WINAPI*)(HWND, LPSTR, int);
using GetWindowTextLengthA_t = int(WINAPI*)(HWND);
using GetParent_t = HWND(WINAPI*)(HWND);
using SendMessageW_t = LRESULT(WINAPI*)(HWND, UINT, WPARAM, LPARAM);
using SendMessageTimeoutA_t = LRESULT(WINAPI*)(HWND, UINT, WPARAM, LPARAM, UINT, UINT, PDWORD_PTR);

void* realRegGetValueW;
void* realFindWindowW;
void* realGetWindowTextA;
void* realGetWindowTextLengthA;
void* realGetParent;
void* realSendMessageW;
void* realSendMessageTimeoutA;

template <class F>
F real(void* p) { return reinterpret_cast<F>(p); }

std::wstring textOf(LPCWSTR s) {
    if (!s) return L"";
    if (IS_INTRESOURCE(s)) return L"#" + std::to_wstring(reinterpret_cast<ULONG_PTR>(s));
    return s;
}

LSTATUS WINAPI seenRegGetValueW(HKEY root, LPCWSTR path, LPCWSTR name, DWORD flags, LPDWORD type,
                                PVOID data, LPDWORD size) {
    Call c(Call::RegGet);
    c.root = root;
    c.text = textOf(path);
    c.value = textOf(name);
    c.access = flags;
    c.size = size ? *size : 0;
    g_seen->push_back(c);
    return real<RegGetValueW_t>(realRegGetValueW)(root, path, name, flags, type, data, size);
}
HWND WINAPI seenFindWindowW(LPCWSTR cls, LPCWSTR title) {
    Call c(Call::Find);
    c.text = textOf(cls);
    g_seen->push_back(c);
    return real<FindWindowW_t>(realFindWindowW)(cls, title);
}
int WINAPI seenGetWindowTextA(HWND window, LPSTR buffer, int size) {
    Call c(Call::GetText);
    c.window = window;
    c.size = static_cast<DWORD>(size);
    g_seen->push_back(c);
    return real<GetWindowTextA_t>(realGetWindowTextA)(window, buffer, size);
}
int WINAPI seenGetWindowTextLengthA(HWND window) {
    Call c(Call::Other);
    c.name = "GetWindowTextLengthA";
    g_seen->push_back(c);
    return real<GetWindowTextLengthA_t>(realGetWindowTextLengthA)(window);
}
HWND WINAPI seenGetParent(HWND window) {
    Call c(Call::Parent);
    c.window = window;
    g_seen->push_back(c);
    return real<GetParent_t>(realGetParent)(window);
}
LRESULT WINAPI seenSendMessageW(HWND window, UINT msg, WPARAM w, LPARAM l) {
    Call c(Call::Other);
    c.name = "SendMessageW";
    g_seen->push_back(c);
    return real<SendMessageW_t>(realSendMessageW)(window, msg, w, l);
}

LRESULT WINAPI seenSendMessageTimeoutA(HWND window, UINT msg, WPARAM w, LPARAM l, UINT flags,
                                      UINT timeout, PDWORD_PTR result) {
    Call c(msg == WM_GETTEXTLENGTH ? Call::TextLength : Call::Other);
    c.name = "SendMessageTimeoutA (not WM_GETTEXTLENGTH)";
    c.window = window;
    c.access = flags;
    c.size = timeout;
    g_seen->push_back(c);
    return real<SendMessageTimeoutA_t>(realSendMessageTimeoutA)(window, msg, w, l, flags, timeout, result);
}

void tick() { background().tick(); }

// The calls one tick makes, in order, by watching the import table.
std::vector<Call> recordTick() {
    std::vector<Call> seen;
    g_seen = &seen;
    {
        ImportHook a("advapi32.dll", "RegGetValueW", reinterpret_cast<void*>(&seenRegGetValueW),
                     &realRegGetValueW);
        ImportHook d("user32.dll", "FindWindowW", reinterpret_cast<void*>(&seenFindWindowW),
                     &realFindWindowW);
        ImportHook e("user32.dll", "GetWindowTextA", reinterpret_cast<void*>(&seenGetWindowTextA),
                     &realGetWindowTextA);
        ImportHook f("user32.dll", "GetWindowTextLengthA",
                     reinterpret_cast<void*>(&seenGetWindowTextLengthA), &realGetWindowTextLengthA);
        ImportHook g("user32.dll", "GetParent", reinterpret_cast<void*>(&seenGetParent),
                     &realGetParent);
        ImportHook h("user32.dll", "SendMessageW", reinterpret_cast<void*>(&seenSendMessageW),
                     &realSendMessageW);
        ImportHook i("user32.dll", "SendMessageTimeoutA",
                     reinterpret_cast<void*>(&seenSendMessageTimeoutA), &realSendMessageTimeoutA);
        if (!a.active() || !d.active() || !e.active())
            std::printf("  (some imports could not be watched; the bare tick may miss calls)\n");
        tick();
    }
    g_seen = nullptr;
    return seen;
}

// The same Win32 calls with the same arguments, and nothing else.
void bareTick(const std::vector<Call>& calls) {
    static BYTE value[4096];
    static char text[4096];
    for (const Call& c : calls) {
        switch (c.kind) {
        case Call::RegGet: {
            DWORD size = c.size < sizeof value ? c.size : sizeof value;
            RegGetValueW(c.root, c.text.c_str(), c.value.c_str(), c.access, nullptr, value, &size);
            break;
        }
        case Call::Find:
            FindWindowW(c.text.c_str(), nullptr);
            break;
        case Call::GetText:
            GetWindowTextA(c.window, text, static_cast<int>(c.size < sizeof text ? c.size : sizeof text));
            break;
        case Call::Parent:
            GetParent(c.window);
            break;
        case Call::TextLength: {
            DWORD_PTR length = 0;
            SendMessageTimeoutA(c.window, WM_GETTEXTLENGTH, 0, 0, c.access, c.size, &length);
            break;
        }
        case Call::Other:
            break;
        }
    }
}

void describe(const std::vector<Call>& calls) {
    int get = 0, find = 0, text = 0, parent = 0, length = 0;
    std::wstring classes;
    for (const Call& c : calls) {
        switch (c.kind) {
        case Call::RegGet: ++get; break;
        case Call::Find:
            ++find;
            classes += (classes.empty() ? L"" : L", ") + (L"\"" + c.text + L"\"");
            break;
        case Call::GetText: ++text; break;
        case Call::Parent: ++parent; break;
        case Call::TextLength: ++length; break;
        case Call::Other: std::printf("  also calls %s\n", c.name); break;
        }
    }
    std::printf("  calls seen in one idle tick: RegGetValueW %d,\n"
                "    FindWindowW %d (%ls), GetWindowTextA %d\n",
                get, find, classes.c_str(), text);
    if (parent || length)
        std::printf("    GetParent %d, SendMessageTimeoutA(WM_GETTEXTLENGTH) %d\n", parent, length);
    for (const Call& c : calls)
        if (c.kind == Call::GetText) std::printf("    GetWindowTextA buffer: %lu bytes\n", c.size);
}

} // namespace

IdleTickResult measureIdleTick(const IdleTickOptions& o) {
    IdleTickResult r;
    const std::vector<Call> calls = recordTick();
    describe(calls);

    // Warm both paths before timing.
    for (int i = 0; i < o.perBlock; ++i) {
        tick();
        bareTick(calls);
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
                    for (int i = 0; i < o.perBlock; ++i) bareTick(calls);
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
