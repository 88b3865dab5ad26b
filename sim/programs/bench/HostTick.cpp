#include "sim/programs/bench/HostTick.h"

#include "platform/Handles.h"
#include "settings/SettingsStore.h"
#include "sim/common/PlainWindow.h"
#include "sim/messenger/SimMessenger.h"
#include "sim/player/PlayerSim.h"
#include "sim/programs/bench/ImportTrace.h"
#include "sim/programs/bench/Measure.h"
#include "sim/programs/bench/TickCalls.h"
#include "sim/programs/host/HostCalls.h"

#include "PlayerPlugin_h.h"
#include "ProductIdentity.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <memory>

namespace tc::bench {
namespace {

std::wstring thisProgram() {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    return path;
}

std::wstring besideThisProgram(const wchar_t* file) {
    const std::wstring p = thisProgram();
    return p.substr(0, p.find_last_of(L"\\/") + 1) + file;
}

std::wstring readDefault(const std::wstring& path) {
    wchar_t value[1024] = {};
    DWORD size = sizeof value;
    if (RegGetValueW(HKEY_CURRENT_USER, path.c_str(), nullptr, RRF_RT_REG_SZ, nullptr, value, &size) !=
        ERROR_SUCCESS)
        return {};
    return value;
}

using Install = HRESULT(WINAPI*)(BOOL, LPCWSTR);

HRESULT installFrom(const std::wstring& dll, BOOL install) {
    HMODULE module = LoadLibraryW(dll.c_str()); // stays loaded, as COM keeps it
    if (!module) return HRESULT_FROM_WIN32(GetLastError());
    auto entry =
        reinterpret_cast<Install>(reinterpret_cast<void*>(GetProcAddress(module, "DllInstall")));
    return entry ? entry(install, L"user") : E_NOINTERFACE;
}

// The DLL registered for the current user, as its installer does; the
// registration found before (another build's, say) comes back at the end.
class UserRegistration {
public:
    explicit UserRegistration(const std::wstring& dll) : dll_(dll) {
        wchar_t clsid[64] = {};
        StringFromGUID2(CLSID_PlayerPlugin, clsid, 64);
        before_ = readDefault(std::wstring(L"Software\\Classes\\CLSID\\") + clsid + L"\\InprocServer32");
        result_ = installFrom(dll_, TRUE);
    }
    ~UserRegistration() {
        if (FAILED(result_)) return;
        if (before_.empty()) installFrom(dll_, FALSE);
        else if (_wcsicmp(before_.c_str(), dll_.c_str()) != 0) installFrom(before_, TRUE);
    }
    UserRegistration(const UserRegistration&) = delete;
    UserRegistration& operator=(const UserRegistration&) = delete;
    HRESULT result() const { return result_; }

private:
    std::wstring dll_, before_;
    HRESULT result_ = E_FAIL;
};

HWND frontWindow() { return sim::plainWindow(L"TcBenchHostFront", L"bench host"); }

// The calls the bare timer makes.
const std::vector<Call>* g_bareCalls = nullptr;
void CALLBACK bareTimer(HWND, UINT, UINT_PTR, DWORD) { makeCalls(*g_bareCalls); }

// This program's message loop, as a host's: every message is dispatched;
// a thread timer's dispatch is timed from DispatchMessageW in to out, and
// handed to `timed` with which timer it was.
class HostLoop {
public:
    UINT_PTR bare = 0;    // this program's timer
    UINT_PTR plugin = 0;  // the plug-in's, known from its first dispatch
    std::function<void(UINT_PTR timer, double ms)> timed;
    std::function<void()> beforeTimer, afterTimer;

    // Runs until `done` holds (asked after every message) or `ms` pass.
    bool runUntil(const std::function<bool()>& done, double ms) {
        return pumpUntil(done, ms, [this](MSG& msg) {
            if (msg.message == WM_TIMER && !msg.hwnd) {
                if (!plugin && msg.wParam != bare) plugin = msg.wParam;
                const double in = nowMs();
                if (beforeTimer) beforeTimer();
                DispatchMessageW(&msg);
                if (afterTimer) afterTimer();
                const double out = nowMs();
                if (timed) timed(msg.wParam, out - in);
            } else {
                TranslateMessage(&msg);
                DispatchMessageW(&msg);
            }
        });
    }
};

void printUs(const char* label, const Summary& s) {
    std::printf("  %-34s n=%-3zu min %7.1f  median %7.1f  max %7.1f us\n", label, s.count,
                s.min * 1000, s.median * 1000, s.max * 1000);
}

// The Win32 calls an idle tick cannot do without (TickCalls), by name.
bool requiredCall(const std::string& name) {
    for (const char* n : {"RegGetValueW", "FindWindowW", "GetWindowTextA", "GetParent",
                          "SendMessageTimeoutA"})
        if (name == n) return true;
    return false;
}

// Where the time of one kind of tick went, call by call: the time in each
// call the callback made, and in its own code after it. The record starts
// with this program's DispatchMessageW; the callback's calls are those made
// one level inside it, and calls made further in (a window procedure's,
// say) belong to the call they were made in.
struct Breakdown {
    enum { Dispatch, Required, OtherCalls, OwnCode, Parts };
    struct Tick {
        std::vector<std::string> calls;
        std::vector<double> inCall, after; // per call, microseconds
        double parts[Parts] = {};
    };
    std::vector<Tick> ticks;

    void add(const std::vector<ImportTrace::Entry>& entries) {
        if (entries.empty() || entries[0].depth != 0 || entries[0].out == 0) return;
        const ImportTrace::Entry& dispatch = entries[0];
        const double rate = cyclesPerMicrosecond();
        auto us = [&](std::uint64_t from, std::uint64_t to) {
            return to > from ? static_cast<double>(to - from) / rate : 0.0;
        };
        std::vector<const ImportTrace::Entry*> calls;
        for (const ImportTrace::Entry& e : entries)
            if (e.depth == 1) calls.push_back(&e);
        Tick t;
        t.parts[Dispatch] = us(dispatch.in, calls.empty() ? dispatch.out : calls[0]->in);
        for (size_t i = 0; i < calls.size(); ++i) {
            const ImportTrace::Entry& c = *calls[i];
            const std::uint64_t next = i + 1 < calls.size() ? calls[i + 1]->in : dispatch.out;
            const std::uint64_t back = c.out ? c.out : c.in;
            const std::string& name = ImportTrace::nameOf(c.function);
            t.calls.push_back(name);
            t.inCall.push_back(us(c.in, back));
            t.after.push_back(us(back, next));
            t.parts[requiredCall(name) ? Required : OtherCalls] += t.inCall.back();
            t.parts[OwnCode] += t.after.back();
        }
        ticks.push_back(std::move(t));
    }

    double medianPart(int part) const {
        std::vector<double> v;
        for (const Tick& t : ticks) v.push_back(t.parts[part]);
        return summarise(v).median;
    }

    // Call by call, the medians over the ticks that made the calls most
    // ticks made.
    void print(const char* what) const {
        std::map<std::vector<std::string>, int> kinds;
        for (const Tick& t : ticks) ++kinds[t.calls];
        const std::vector<std::string>* usual = nullptr;
        int n = 0;
        for (const auto& [calls, count] : kinds)
            if (count > n) usual = &calls, n = count;
        if (!usual) return;
        std::printf("  %s, call by call (%d of %zu ticks made these calls), median us:\n", what, n,
                    ticks.size());
        std::printf("        %-22s %8s %8s\n", "call", "in it", "after it");
        for (size_t i = 0; i < usual->size(); ++i) {
            std::vector<double> in, after;
            for (const Tick& t : ticks) {
                if (t.calls != *usual) continue;
                in.push_back(t.inCall[i]);
                after.push_back(t.after[i]);
            }
            std::printf("    %2zu  %-22s %8.1f %8.1f\n", i + 1, (*usual)[i].c_str(),
                        summarise(in).median, summarise(after).median);
        }
    }
};

void printWhereTheTimeGoes(const Breakdown& plugin, const Breakdown& bare) {
    std::printf("  where the time of a tick goes, median us per tick over %zu and %zu ticks:\n",
                plugin.ticks.size(), bare.ticks.size());
    std::printf("    %-52s %8s %8s\n", "", "plug-in", "bare");
    const char* labels[Breakdown::Parts] = {
        "DispatchMessageW into the callback (with the guard)",
        "in the Win32 calls an idle tick must make",
        "in other calls (C runtime, code page conversion)",
        "the callback's own code between calls, and back",
    };
    double totalPlugin = 0, totalBare = 0;
    for (int part = 0; part < Breakdown::Parts; ++part) {
        const double p = plugin.medianPart(part), b = bare.medianPart(part);
        totalPlugin += p;
        totalBare += b;
        std::printf("    %-52s %8.1f %8.1f\n", labels[part], p, b);
    }
    std::printf("    %-52s %8.1f %8.1f\n", "sum of the medians", totalPlugin, totalBare);
}

} // namespace

int hostTickChild(const HostTickOptions& o) {
    const std::wstring dll = o.dll.empty() ? besideThisProgram(TC_WIDEN(TC_DLL_NAME) L".dll") : o.dll;
    sim::SimMessenger& m = sim::SimMessenger::instance();
    if (FAILED(m.registerClass())) {
        std::printf("  cannot start the simulated messenger\n");
        return 2;
    }
    m.reset();
    writeSetting(keys::onOff, L"1");
    writeSetting(keys::CurrentName, L"1");
    writeSetting(keys::CustomName, L"0");
    writeSetting(keys::CurrentTag, L"listening:");

    UserRegistration registration(dll);
    if (FAILED(registration.result())) {
        std::printf("  cannot register %ls for the current user: 0x%08lx\n", dll.c_str(),
                    registration.result());
        return 2;
    }
    host::HostedPlugin plugin;
    HRESULT hr = plugin.load(TC_WIDEN(TC_PROGID), m.signinName());
    HMODULE module = GetModuleHandleW(dll.c_str());
    if (FAILED(hr) || !module) {
        std::printf("  cannot load %ls from its registration: 0x%08lx\n", dll.c_str(), hr);
        return 2;
    }
    wchar_t loaded[MAX_PATH] = {};
    GetModuleFileNameW(module, loaded, MAX_PATH);
    std::printf("  DLL: %ls\n", loaded);

    // The song plays from before the first tick, with no conversation in
    // front: the first ticks set the now-playing name, the later ones are
    // idle.
    sim::PlayerSim player(2);
    player.open();
    player.setTitle(L"1. Bench Artist - Song 1 - Winamp");
    SetForegroundWindow(frontWindow());
    HostLoop loop;
    if (!loop.runUntil([&] { return m.sendCount() > 0; }, 5000)) {
        std::printf("  the plug-in did not set the now-playing name\n");
        return 2;
    }
    loop.runUntil(nullptr, 1500);
    if (!loop.plugin) {
        std::printf("  the plug-in's timer was not seen\n");
        return 2;
    }
    const size_t sentBefore = m.sendCount();

    // The calls of one idle tick of the plug-in, through its import table.
    bool ticked = false;
    loop.timed = [&](UINT_PTR timer, double) { ticked = ticked || timer == loop.plugin; };
    const std::vector<Call> calls =
        recordCalls(module, [&] { loop.runUntil([&] { return ticked; }, 3000); });
    describeCalls(calls);
    g_bareCalls = &calls;

    // This program's timer phaseMs after the plug-in's: by default half a
    // second, so that each runs after the same idle time.
    const double pluginTicked = nowMs();
    loop.timed = nullptr;
    loop.runUntil(nullptr, o.phaseMs - (nowMs() - pluginTicked));
    loop.bare = SetTimer(nullptr, 0, 1000, bareTimer);

    // Each plug-in tick is also paired with the bare tick after it: the
    // pair sees the machine in much the same state.
    std::vector<double> pluginMs, bareMs, pairs;
    const int warm = 2;
    int seenPlugin = 0, seenBare = 0;
    double lastPlugin = 0;
    loop.timed = [&](UINT_PTR timer, double ms) {
        if (timer == loop.plugin && seenPlugin++ >= warm) {
            pluginMs.push_back(ms);
            lastPlugin = ms;
        }
        if (timer == loop.bare && seenBare++ >= warm) {
            bareMs.push_back(ms);
            if (lastPlugin > 0) pairs.push_back(lastPlugin / ms);
            lastPlugin = 0;
        }
    };
    const auto enough = [&] {
        return pluginMs.size() >= static_cast<size_t>(o.ticks) &&
               bareMs.size() >= static_cast<size_t>(o.ticks);
    };
    loop.runUntil(enough, (o.ticks + warm + 3) * 1000.0);

    const Summary p = summarise(pluginMs), b = summarise(bareMs);
    std::printf("  %d idle ticks of each, interleaved %.0f ms apart; time from "
                "DispatchMessageW in to out\n",
                o.ticks, o.phaseMs);
    printUs("plug-in tick (its own timer)", p);
    printUs("bare Win32 calls (this program's)", b);
    std::sort(pairs.begin(), pairs.end());
    const Summary r = summarise(pairs);
    const double lowQuarter = pairs.empty() ? 0 : pairs[pairs.size() / 4];
    const double highQuarter = pairs.empty() ? 0 : pairs[pairs.size() * 3 / 4];
    std::printf("  HOST RATIO tick/bare  median of %zu pairs %.3f (middle half %.3f .. %.3f); "
                "of the medians %.3f  goal <= 1.2: %s\n",
                r.count, r.median, lowQuarter, highQuarter, p.median / b.median,
                r.median <= 1.2 ? "within goal" : "OVER GOAL");
    if (m.sendCount() != sentBefore)
        std::printf("  (the plug-in sent %zu texts meanwhile: not idle)\n", m.sendCount() - sentBefore);

    if (o.breakdown) {
        // The same ticks again, every call of the DLL and of this program
        // traced: a stub's cost per call, on both sides alike.
        Breakdown tracedPlugin, tracedBare;
        ImportTrace traceDll(module), traceProgram(nullptr);
        loop.beforeTimer = [] { ImportTrace::start(); };
        loop.afterTimer = [] { ImportTrace::stop(); };
        seenPlugin = seenBare = 0;
        loop.timed = [&](UINT_PTR timer, double) {
            if (timer == loop.plugin && seenPlugin++ >= warm) tracedPlugin.add(ImportTrace::entries());
            if (timer == loop.bare && seenBare++ >= warm) tracedBare.add(ImportTrace::entries());
        };
        const size_t n = static_cast<size_t>(o.ticks);
        loop.runUntil([&] { return tracedPlugin.ticks.size() >= n && tracedBare.ticks.size() >= n; },
                      (o.ticks + warm + 3) * 1000.0);
        loop.timed = nullptr;
        loop.beforeTimer = loop.afterTimer = nullptr;
        printWhereTheTimeGoes(tracedPlugin, tracedBare);
        tracedPlugin.print("the plug-in's tick");
        tracedBare.print("the bare tick");
    }
    KillTimer(nullptr, loop.bare);
    std::fflush(stdout);
    return 0;
}

std::string hostTickReport(const HostTickOptions& o) {
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0)) return "  cannot make a pipe\n";
    KernelHandle reader(readEnd), writer(writeEnd);
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);

    const std::wstring exe = thisProgram();
    const std::string child = kHostTickChild;
    std::wstring line = L"\"" + exe + L"\" " + std::wstring(child.begin(), child.end()) +
                        L" --host-ticks " + std::to_wstring(o.ticks);
    if (!o.dll.empty()) line += L" --dll \"" + o.dll + L"\"";
    if (o.breakdown) line += L" --host-breakdown";
    line += L" --host-phase " + std::to_wstring(static_cast<int>(o.phaseMs));
    STARTUPINFOW si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    si.hStdOutput = writeEnd;
    si.hStdError = writeEnd;
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(exe.c_str(), &line[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi))
        return "  cannot start the measuring process\n";
    KernelHandle process(pi.hProcess), thread(pi.hThread);
    writer.reset();
    std::string out;
    char chunk[4096];
    DWORD got = 0;
    while (ReadFile(readEnd, chunk, sizeof chunk, &got, nullptr) && got > 0) out.append(chunk, got);
    WaitForSingleObject(pi.hProcess, INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(pi.hProcess, &code);
    if (code != 0) out += "  (the measuring process ended with " + std::to_string(code) + ")\n";
    return out;
}

} // namespace tc::bench
