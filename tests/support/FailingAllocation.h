#pragma once
// This program's allocator, with a fault on demand: after failAllocation(n)
// the n-th allocation from then on (counted from 0) throws std::bad_alloc,
// once. A program linked with it replaces operator new for all its code,
// the product's included.
#include <gtest/gtest.h>

namespace tc::test {

// -1: no allocation fails.
void failAllocation(long n);
// Whether the allocation chosen by the last failAllocation has come.
bool allocationFailed();

// Runs `call` again and again, each time with the next of its allocations
// failing, until a run makes fewer allocations than that; `setup` runs
// before each, with allocations working. Nothing may escape `call`.
template <class Call, class Setup>
void failEachAllocation(const char* what, Call call, Setup setup) {
    for (long n = 0; n < 5000; ++n) {
        setup();
        failAllocation(n);
        EXPECT_NO_THROW(call()) << what << ", allocation " << n;
        const bool failed = allocationFailed();
        failAllocation(-1);
        if (!failed) return;
    }
    ADD_FAILURE() << what << " never ran to its end";
}
template <class Call>
void failEachAllocation(const char* what, Call call) {
    failEachAllocation(what, call, [] {});
}

} // namespace tc::test
