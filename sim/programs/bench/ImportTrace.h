#pragma once
// Every call a module makes through its import table, with the moments it
// went in and came back: each entry of the table points, for the tracer's
// lifetime, at a small stub that notes the call, has its return come back
// through a second stub, and jumps on to the real function. Several modules
// may be traced at once; they share one record. Only the thread that starts
// a recording is recorded.
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
        unsigned function;  // for nameOf
        unsigned depth;     // 0 for a call made outside any traced call
        std::uint64_t in;   // cycles()
        std::uint64_t out;  // 0 when its return was not seen
    };

    explicit ImportTrace(HMODULE module);
    ~ImportTrace();
    ImportTrace(const ImportTrace&) = delete;
    ImportTrace& operator=(const ImportTrace&) = delete;

    bool active() const { return !slots_.empty(); }

    // Calls are noted only between start and stop, on the thread that
    // started; start forgets earlier ones.
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
