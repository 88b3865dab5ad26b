#pragma once
// Every call a module makes through its import table, with the moment it
// was made: each entry of the table points, for the tracer's lifetime, at a
// small stub that notes the call and jumps on to the real function. Only
// entries are seen, not returns: the time from one call to the next is that
// call plus the caller's own code after it. Several modules may be traced
// at once; they share one record.
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace tc::bench {

// The processor's time-stamp counter, the cheapest clock there is, and its
// rate measured against the performance counter.
std::uint64_t cycles();
double cyclesPerMicrosecond();

class ImportTrace {
public:
    struct Entry {
        unsigned function; // for nameOf
        std::uint64_t at;  // cycles()
    };

    explicit ImportTrace(HMODULE module);
    ~ImportTrace();
    ImportTrace(const ImportTrace&) = delete;
    ImportTrace& operator=(const ImportTrace&) = delete;

    bool active() const { return !slots_.empty(); }

    // Calls are noted only between start and stop; start forgets earlier
    // ones.
    static void start();
    static void stop();
    static std::vector<Entry> entries();
    static const std::string& nameOf(unsigned function);

private:
    std::vector<void**> slots_;
    std::vector<void*> originals_;
    BYTE* stubs_ = nullptr;
};

} // namespace tc::bench
