#include "sim/programs/bench/TickCalls.h"

#include "sim/common/ImportHook.h"

#include <cstdio>

namespace tc::bench {
using sim::ImportHook;
namespace {

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

} // namespace

std::vector<Call> recordCalls(HMODULE module, const std::function<void()>& body) {
    std::vector<Call> seen;
    g_seen = &seen;
    {
        ImportHook a("advapi32.dll", "RegGetValueW", reinterpret_cast<void*>(&seenRegGetValueW),
                     &realRegGetValueW, module);
        ImportHook d("user32.dll", "FindWindowW", reinterpret_cast<void*>(&seenFindWindowW),
                     &realFindWindowW, module);
        ImportHook e("user32.dll", "GetWindowTextA", reinterpret_cast<void*>(&seenGetWindowTextA),
                     &realGetWindowTextA, module);
        ImportHook f("user32.dll", "GetWindowTextLengthA",
                     reinterpret_cast<void*>(&seenGetWindowTextLengthA), &realGetWindowTextLengthA,
                     module);
        ImportHook g("user32.dll", "GetParent", reinterpret_cast<void*>(&seenGetParent),
                     &realGetParent, module);
        ImportHook h("user32.dll", "SendMessageW", reinterpret_cast<void*>(&seenSendMessageW),
                     &realSendMessageW, module);
        ImportHook i("user32.dll", "SendMessageTimeoutA",
                     reinterpret_cast<void*>(&seenSendMessageTimeoutA), &realSendMessageTimeoutA,
                     module);
        if (!a.active() || !d.active() || !e.active())
            std::printf("  (some imports could not be watched; the bare tick may miss calls)\n");
        body();
    }
    g_seen = nullptr;
    return seen;
}

void makeCalls(const std::vector<Call>& calls) {
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

void describeCalls(const std::vector<Call>& calls) {
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

} // namespace tc::bench
