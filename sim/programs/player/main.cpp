// A scriptable media player stand-in: opens the player windows of one
// generation and walks through the steps given on the command line, one step
// every --step-ms milliseconds, printing each step with a timestamp.
//
//   sim_player.exe [--gen 2|3] [--step-ms N] [--step-on NAME] [--show] [--stay] [--scroll]
//                  step...
//
// With --scroll, the title of a song that plays scrolls as in the taskbar:
// turned by a few characters several times a second.
//
// With --step-on, each step waits instead for one release of the named
// semaphore (which the caller creates), so a caller decides when the script
// moves on.
//
// Steps: "play N" (song N of the playlist), pause, resume, stop,
// "title TEXT" (any window text), "wait N" (N more milliseconds), close
// (windows go away, the program keeps running), open, exit.
// Without exit the program ends after the last step, unless --stay is given.
#include "sim/common/Pump.h"
#include "sim/player/PlayerSim.h"

#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

std::wstring widen(const char* s) {
    int n = MultiByteToWideChar(CP_ACP, 0, s, -1, nullptr, 0);
    if (n <= 1) return {};
    std::wstring w(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_ACP, 0, s, -1, &w[0], n);
    w.resize(static_cast<size_t>(n) - 1);
    return w;
}

std::string narrow(const std::wstring& w) {
    if (w.empty()) return {};
    int n = WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), nullptr, 0,
                                nullptr, nullptr);
    std::string s(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), &s[0], n, nullptr,
                        nullptr);
    return s;
}

void say(const std::string& what, const std::wstring& title) {
    SYSTEMTIME t;
    GetSystemTime(&t);
    std::printf("%02u:%02u:%02u.%03u player %-12s | %s\n", t.wHour, t.wMinute, t.wSecond,
                t.wMilliseconds, what.c_str(), narrow(title).c_str());
    std::fflush(stdout);
}

// Keeps the windows answering while time passes.
using tc::sim::pumpFor;

int usage() {
    std::fprintf(stderr,
                 "usage: sim_player [--gen 2|3] [--step-ms N] [--step-on NAME] [--show] [--stay] "
                 "[--scroll] step...\n"
                 "steps: \"play N\" pause resume stop \"title TEXT\" \"wait N\" close open exit\n");
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    _setmode(_fileno(stdout), _O_BINARY);
    int gen = 2;
    DWORD stepMs = 2000;
    std::wstring stepOn;
    bool show = false, stay = false, scroll = false;
    std::vector<std::string> steps;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--gen" && i + 1 < argc) gen = std::atoi(argv[++i]);
        else if (a == "--step-ms" && i + 1 < argc) stepMs = static_cast<DWORD>(std::atol(argv[++i]));
        else if (a == "--step-on" && i + 1 < argc) stepOn = widen(argv[++i]);
        else if (a == "--show") show = true;
        else if (a == "--stay") stay = true;
        else if (a == "--scroll") scroll = true;
        else if (a == "--help" || a == "-h") return usage();
        else steps.push_back(a);
    }
    if (gen != 2 && gen != 3) return usage();

    HANDLE go = nullptr;
    if (!stepOn.empty() && !(go = OpenSemaphoreW(SYNCHRONIZE, FALSE, stepOn.c_str()))) {
        std::fprintf(stderr, "sim_player: no semaphore to step on\n");
        return 1;
    }

    tc::sim::PlayerSim player(gen);
    player.setScrolling(scroll);
    if (!player.open(show)) {
        std::fprintf(stderr, "sim_player: cannot create the player windows\n");
        return 1;
    }
    say(gen == 3 ? "open (gen 3)" : "open (gen 2)", player.title());

    for (const std::string& step : steps) {
        if (go) tc::sim::pumpUntil([go] { return WaitForSingleObject(go, 0) == WAIT_OBJECT_0; },
                                   INFINITE);
        else pumpFor(stepMs);
        const std::string verb = step.substr(0, step.find(' '));
        const std::string arg = step.size() > verb.size() ? step.substr(verb.size() + 1) : "";
        if (verb == "play") player.play(arg.empty() ? player.song() : std::atoi(arg.c_str()));
        else if (verb == "pause") player.pause();
        else if (verb == "resume") player.resume();
        else if (verb == "stop") player.stop();
        else if (verb == "title") player.setTitle(widen(arg.c_str()));
        else if (verb == "wait") pumpFor(static_cast<DWORD>(std::atol(arg.c_str())));
        else if (verb == "close") player.close();
        else if (verb == "open") player.open(show);
        else if (verb == "exit") {
            player.close();
            say("exit", L"");
            return 0;
        } else {
            std::fprintf(stderr, "sim_player: unknown step '%s'\n", step.c_str());
            return usage();
        }
        say(step.substr(0, 12), player.title());
    }
    while (stay) pumpFor(1000);
    player.close();
    return 0;
}
