// Long run of the real plug-in as a host loads it: the song changes every
// second, and the process's handles, USER and GDI objects and private bytes
// are compared between the end of a warm-up and the end of the run.
//
//   sim_soak.exe [--minutes M] [--warmup-seconds S] [--no-register]
//
// M may be a fraction (default 2). Unless --no-register, or it is registered
// already, the plug-in DLL beside this program is first registered for the
// current user, as its installer does, and unregistered at the end. Exit code 0 only when every change after the warm-up
// reached the messenger and nothing grew beyond the noise allowance below.

#include "platform/Handles.h"
#include "sim/common/PlainWindow.h"
#include "sim/common/Pump.h"
#include "platform/Product.h"
#include "sim/messenger/SimMessenger.h"
#include "sim/player/PlayerSim.h"
#include "sim/programs/host/HostCalls.h"

#include <objbase.h>
#include <psapi.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>

using namespace tc;

using tc::sim::pumpUntil;

namespace {

const wchar_t* kProgId = product::kProgId;
const std::wstring kSettings = std::wstring(product::kSettingsKey) + L"\\Data";

// Growth between the end of the warm-up and the end of the run that still
// counts as noise: the heap and COM keep small caches that settle late, the
// window system keeps a few objects per window it has seen.
constexpr long kHandleNoise = 16;
constexpr long kUserNoise = 16;
constexpr long kGdiNoise = 16;
constexpr long kWindowNoise = 4;
constexpr double kPrivateNoiseMiB = 2.0;

// How long a change may take to reach the messenger: one tick, a delivery,
// and a second tick's worth of slack for a loaded machine.
constexpr DWORD kDeliveryWaitMs = 3500;

struct Figures {
    long handles = 0;
    long user = 0;
    long gdi = 0;
    long windows = 0;  // top-level windows of this thread, seen or hidden
    double privateMiB = 0;
};

BOOL CALLBACK countWindow(HWND, LPARAM count) {
    ++*reinterpret_cast<long*>(count);
    return TRUE;
}

// Where the system does not count a process's handles, count the handle
// values that name a live object. Handle values are small multiples of
// four, handed out lowest first.
long probeHandles() {
    long live = 0, misses = 0;
    for (ULONG_PTR v = 4; misses < 4096; v += 4) {
        DWORD flags = 0;
        if (GetHandleInformation(reinterpret_cast<HANDLE>(v), &flags)) {
            ++live;
            misses = 0;
        } else {
            ++misses;
        }
    }
    return live;
}

// Committed private memory, region by region, where the system does not
// report PrivateUsage.
double committedPrivateMiB() {
    double bytes = 0;
    MEMORY_BASIC_INFORMATION mbi;
    for (BYTE* p = nullptr; VirtualQuery(p, &mbi, sizeof mbi) == sizeof mbi;) {
        if (mbi.State == MEM_COMMIT && mbi.Type == MEM_PRIVATE) bytes += static_cast<double>(mbi.RegionSize);
        BYTE* next = static_cast<BYTE*>(mbi.BaseAddress) + mbi.RegionSize;
        if (next <= p) break;
        p = next;
    }
    return bytes / (1024.0 * 1024.0);
}

bool g_handlesProbed = false, g_privateWalked = false;

Figures snapshot() {
    Figures f;
    DWORD handles = 0;
    if (GetProcessHandleCount(GetCurrentProcess(), &handles)) f.handles = static_cast<long>(handles);
    if (f.handles == 0) {
        f.handles = probeHandles();
        g_handlesProbed = true;
    }
    f.user = static_cast<long>(GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS));
    f.gdi = static_cast<long>(GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS));
    EnumThreadWindows(GetCurrentThreadId(), countWindow, reinterpret_cast<LPARAM>(&f.windows));
    PROCESS_MEMORY_COUNTERS_EX mem = {};
    mem.cb = sizeof mem;
    if (GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&mem),
                             sizeof mem))
        f.privateMiB = static_cast<double>(mem.PrivateUsage) / (1024.0 * 1024.0);
    if (f.privateMiB == 0) {
        f.privateMiB = committedPrivateMiB();
        g_privateWalked = true;
    }
    return f;
}

void print(const char* when, const Figures& f) {
    std::printf("%-14s handles %5ld   USER %5ld   GDI %5ld   windows %3ld   private %8.2f MiB\n",
                when, f.handles, f.user, f.gdi, f.windows, f.privateMiB);
    std::fflush(stdout);
}

void writeSetting(const wchar_t* key, const std::wstring& value) {
    RegKey k;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, kSettings.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, k.put(),
                        nullptr) != ERROR_SUCCESS)
        return;
    RegSetValueExW(k.get(), key, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                   static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}

std::wstring besideThisProgram(const wchar_t* file) {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring p(path);
    return p.substr(0, p.find_last_of(L"\\/") + 1) + file;
}

using Install = HRESULT(WINAPI*)(BOOL, LPCWSTR);

Install installEntry() {
    HMODULE dll = LoadLibraryW(besideThisProgram(TC_WIDEN(TC_DLL_NAME) L".dll").c_str());
    if (!dll) return nullptr;  // the module stays loaded, as the host keeps it
    return reinterpret_cast<Install>(reinterpret_cast<void*>(GetProcAddress(dll, "DllInstall")));
}

bool registeredForThisUser() {
    RegKey k;
    return RegOpenKeyExW(HKEY_CURRENT_USER, (std::wstring(L"Software\\Classes\\") + kProgId).c_str(), 0,
                         KEY_READ, k.put()) == ERROR_SUCCESS;
}

// A plain window of this program in front, so that no conversation is.
HWND frontWindow() { return sim::plainWindow(L"TcSoakFront", L"soak"); }

double doubleArg(int argc, char** argv, const char* name, double fallback) {
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], name) == 0) return std::atof(argv[i + 1]);
    return fallback;
}

bool flagArg(int argc, char** argv, const char* name) {
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], name) == 0) return true;
    return false;
}

int run(int argc, char** argv) {
    const double minutes = doubleArg(argc, argv, "--minutes", 2.0);
    const double runMs = minutes * 60000.0;
    double warmupMs = doubleArg(argc, argv, "--warmup-seconds", 20.0) * 1000.0;
    if (warmupMs > runMs / 4) warmupMs = runMs / 4;

    print("process start", snapshot());

    sim::SimMessenger& m = sim::SimMessenger::instance();
    if (FAILED(m.registerClass())) {
        std::printf("cannot start the simulated messenger\n");
        return 2;
    }
    m.reset();
    // Custom-name mode with a tag that changes with every song, so that each
    // change has a display name of its own to look for.
    RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Venmoor");
    writeSetting(L"onOff", L"1");
    writeSetting(L"CurrentName", L"0");
    writeSetting(L"CustomName", L"1");
    writeSetting(L"CustomNamePl", L"Ann");
    writeSetting(L"CustomNameNotPl", L"Ann");
    writeSetting(L"CustomTagPl", L"#0");

    // A registration made here is taken back at the end; one found in place
    // (the user's own) stays.
    Install install = nullptr;
    if (!flagArg(argc, argv, "--no-register") && !registeredForThisUser()) {
        install = installEntry();
        HRESULT hr = install ? install(TRUE, L"user") : HRESULT_FROM_WIN32(GetLastError());
        if (FAILED(hr)) {
            std::printf("cannot register the plug-in beside this program: 0x%08lx\n", hr);
            return 2;
        }
    }
    struct Unregister {
        Install install;
        ~Unregister() {
            if (install) install(FALSE, L"user");
        }
    } unregister{install};
    host::HostedPlugin plugin;
    HRESULT hr = plugin.load(kProgId, m.signinName());
    if (FAILED(hr)) {
        std::printf("cannot load the plug-in from its registration: 0x%08lx\n", hr);
        return 2;
    }

    sim::PlayerSim player(2);
    player.open();
    SetForegroundWindow(frontWindow());

    std::printf("changing the title every second for %.2f min (warm-up %.0f s)\n", minutes,
                warmupMs / 1000.0);
    std::fflush(stdout);

    const DWORD start = GetTickCount();
    Figures afterWarmup;
    bool warmedUp = false;
    long made = 0, delivered = 0, warmupMade = 0, warmupDelivered = 0;
    HWND user = nullptr;
    for (long k = 1;; ++k) {
        const DWORD due = start + static_cast<DWORD>((k - 1) * 1000);
        pumpUntil([&] { return static_cast<LONG>(GetTickCount() - due) >= 0; }, 2000);
        const double elapsed = static_cast<double>(GetTickCount() - start);
        if (elapsed >= runMs) break;
        if (!warmedUp && elapsed >= warmupMs) {
            warmedUp = true;
            afterWarmup = snapshot();
            print("after warm-up", afterWarmup);
        }

        // Now and then the user has a conversation of their own in front for
        // a few songs, so that windows come and go in the window list too.
        if (k % 20 == 10) {
            user = m.openConversation(L"bob@example.com");
        } else if (k % 20 == 15 && user) {
            m.closeConversation(user);
            user = nullptr;
            SetForegroundWindow(frontWindow());
        }

        const std::wstring n = std::to_wstring(k);
        const std::wstring expected = L"/name Ann #" + n + L" (!WAT)";
        writeSetting(L"CustomTagPl", L"#" + n);
        player.setTitle(n + L". Soak Artist - Song " + n + L" - Winamp");
        const size_t seen = m.sendCount();
        const bool ok = pumpUntil(
            [&] {
                std::vector<sim::SentText> all = m.timeline();
                for (size_t i = seen; i < all.size(); ++i)
                    if (all[i].text == expected) return true;
                return false;
            },
            kDeliveryWaitMs);
        (warmedUp ? made : warmupMade)++;
        if (ok) (warmedUp ? delivered : warmupDelivered)++;
        else if (warmedUp) std::printf("  change %ld not delivered within %lu ms\n", k, kDeliveryWaitMs);
        if (m.timeline().size() > 256) m.clearTimeline();  // the simulator's record, not the product's
    }
    if (user) m.closeConversation(user);
    pumpUntil(nullptr, 200);
    const Figures end = snapshot();
    print("end", end);
    if (!warmedUp) {
        std::printf("the run was too short to pass its warm-up\n");
        return 1;
    }

    std::printf("changes: warm-up %ld made / %ld delivered (the first a tick later: its tick "
                "opens the hidden conversation); measured %ld made / %ld delivered\n",
                warmupMade, warmupDelivered, made, delivered);
    std::printf("growth since warm-up: handles %+ld (noise %ld), USER %+ld (%ld), GDI %+ld (%ld), "
                "windows %+ld (%ld), private %+.2f MiB (%.1f)\n",
                end.handles - afterWarmup.handles, kHandleNoise, end.user - afterWarmup.user,
                kUserNoise, end.gdi - afterWarmup.gdi, kGdiNoise, end.windows - afterWarmup.windows,
                kWindowNoise, end.privateMiB - afterWarmup.privateMiB, kPrivateNoiseMiB);
    if (g_handlesProbed)
        std::printf("(GetProcessHandleCount reads 0 on this host: handles counted by probing handle values)\n");
    if (g_privateWalked)
        std::printf("(PrivateUsage reads 0 on this host: private bytes summed from committed private regions)\n");
    if (end.user == 0 && end.gdi == 0)
        std::printf("(USER and GDI read 0: this host does not count them; the window count stands in)\n");

    bool pass = made > 0 && delivered == made;
    const struct {
        const char* what;
        bool over;
    } checks[] = {
        {"handles", end.handles - afterWarmup.handles > kHandleNoise},
        {"USER objects", end.user - afterWarmup.user > kUserNoise},
        {"GDI objects", end.gdi - afterWarmup.gdi > kGdiNoise},
        {"windows", end.windows - afterWarmup.windows > kWindowNoise},
        {"private bytes", end.privateMiB - afterWarmup.privateMiB > kPrivateNoiseMiB},
    };
    for (const auto& c : checks) {
        if (!c.over) continue;
        std::printf("GROWTH beyond noise: %s\n", c.what);
        pass = false;
    }
    if (delivered != made) std::printf("NOT DELIVERED: %ld of %ld changes\n", made - delivered, made);
    std::printf("soak %s\n", pass ? "PASSED" : "FAILED");
    return pass ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    if (FAILED(OleInitialize(nullptr))) return 2;
    const int rc = run(argc, argv);
    std::fflush(stdout);
    // The plug-in keeps its process-wide objects until the process ends.
    _exit(rc);
}
