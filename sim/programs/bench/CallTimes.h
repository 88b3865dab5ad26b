#pragma once
// Where a delivery spends its time: the Win32 calls it makes that may wait,
// timed one by one while a piece of code runs.
#include <functional>

namespace tc::bench {

// Runs `body` with the watched calls timed, then prints, per call, how often
// it ran and how long it took in all.
void printCallTimes(const char* label, const std::function<void()>& body);

// Runs `body` with synthesised input refused, as the system does while the
// desktop is locked or a window of higher integrity is in front.
void withInputBlocked(const std::function<void()>& body);

// Runs `body` and returns how long the ShowWindow calls made inside took.
double showWindowMs(const std::function<void()>& body);

} // namespace tc::bench
