#pragma once
// What keeps the in-process server loaded: live objects, class-factory locks,
// and the background work, which nothing ever tears down.
#include <windows.h>

namespace tc::server {

// Live objects and class-factory locks.
void addRef();
void release();
long lockCount();

// Set once the background work (timer, hidden forms, messenger events) was
// brought up: nothing ever tears it down, so the DLL must stay loaded. It
// also pins the module, since a host may free the library or end COM
// without asking DllCanUnloadNow, while the timer and the event sink still
// point into our code.
void markBackgroundStarted();
bool backgroundStarted();

// RAII share of the count, for objects that count as live.
struct Ref {
    Ref() { addRef(); }
    ~Ref() { release(); }
    Ref(const Ref&) = delete;
    Ref& operator=(const Ref&) = delete;
};

} // namespace tc::server
