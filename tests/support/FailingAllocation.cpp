#include "tests/support/FailingAllocation.h"

#include <cstdlib>
#include <new>

namespace {
long g_before = -1; // allocations left before the one that fails
bool g_failed = false;
} // namespace

namespace tc::test {

void failAllocation(long n) {
    g_before = n;
    g_failed = false;
}

bool allocationFailed() { return g_failed; }

} // namespace tc::test

void* operator new(std::size_t size) {
    if (g_before >= 0 && g_before-- == 0) {
        g_failed = true;
        throw std::bad_alloc();
    }
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
