#pragma once
// The simulators live on the thread that runs the plug-in: time passes for
// them, and for the plug-in's timer, only while that thread reads messages.
#include <windows.h>

#include <functional>

namespace tc::sim {

// Dispatches this thread's messages until `done` says so (asked after each
// batch) or `ms` have passed; true when done.
bool pumpUntil(const std::function<bool()>& done, DWORD ms);
inline void pumpFor(DWORD ms) { pumpUntil(nullptr, ms); }

} // namespace tc::sim
