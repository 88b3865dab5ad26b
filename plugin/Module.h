#pragma once
// Process-wide facts about the loaded component: its module handle and what
// keeps it from being unloaded.
#include <windows.h>

#include <string>

namespace tc::module {

// The module that holds our resources: the DLL when loaded as one, the
// program itself when the product code is linked into a test program.
HINSTANCE instance();
void setInstance(HINSTANCE h);
// Full path of that module; empty when it cannot be read.
std::wstring path();

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

// RAII share of the module count, for objects that count as live.
struct Ref {
    Ref() { addRef(); }
    ~Ref() { release(); }
    Ref(const Ref&) = delete;
    Ref& operator=(const Ref&) = delete;
};

} // namespace tc::module
