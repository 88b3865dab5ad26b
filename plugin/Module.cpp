#include "plugin/Module.h"

namespace tc::module {
namespace {
HINSTANCE g_instance = nullptr;
volatile LONG g_locks = 0;
bool g_background = false;
} // namespace

HINSTANCE instance() { return g_instance ? g_instance : GetModuleHandleW(nullptr); }
void setInstance(HINSTANCE h) { g_instance = h; }
void addRef() { InterlockedIncrement(&g_locks); }
void release() { InterlockedDecrement(&g_locks); }
long lockCount() { return g_locks; }
void markBackgroundStarted() { g_background = true; }
bool backgroundStarted() { return g_background; }

} // namespace tc::module
