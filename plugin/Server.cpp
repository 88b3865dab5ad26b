#include "plugin/Server.h"

#include "platform/Module.h"

namespace tc::server {
namespace {
volatile LONG g_locks = 0;
bool g_background = false;
} // namespace

void addRef() { InterlockedIncrement(&g_locks); }
void release() { InterlockedDecrement(&g_locks); }
long lockCount() { return g_locks; }

void markBackgroundStarted() {
    if (g_background) return;
    g_background = true;
    module::pin();
}
bool backgroundStarted() { return g_background; }

} // namespace tc::server
