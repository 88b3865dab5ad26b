#pragma once
// The idle tick as a host sees it: the real DLL, created through its
// registration, its own one-second timer dispatched by a message loop of
// this program, beside a timer of this program whose callback makes only the
// bare Win32 calls of an idle tick.
#include <string>

namespace tc::bench {

struct HostTickOptions {
    int ticks = 40;         // timed dispatches of each timer
    std::wstring dll;       // the DLL to load; the one beside this program when empty
    bool breakdown = false; // also trace where each tick's time goes
    double phaseMs = 500;   // this program's timer after the plug-in's
};

// Runs the measurement in a child process of this program and returns what
// it printed. Call it before this process brings up anything of its own:
// the child's plug-in looks for players and windows across the desktop.
std::string hostTickReport(const HostTickOptions& options);

// The child's side; argv holds kHostTickChild.
inline constexpr const char* kHostTickChild = "--host-tick-child";
int hostTickChild(const HostTickOptions& options);

} // namespace tc::bench
