#pragma once
// Swaps entries of this program's import table for a while, to see which
// Win32 calls a piece of code makes (the product code is linked into this
// program, so its calls go through these entries too).
#include <windows.h>

#include <vector>

namespace tc::bench {

class ImportHook {
public:
    // Points every import of `function` from `dll` (case-insensitive name)
    // at `replacement`; `original` receives what the entry held before.
    ImportHook(const char* dll, const char* function, void* replacement, void** original);
    ~ImportHook();
    ImportHook(const ImportHook&) = delete;
    ImportHook& operator=(const ImportHook&) = delete;

    bool active() const { return !slots_.empty(); }

private:
    std::vector<void**> slots_;
    void* original_ = nullptr;
};

} // namespace tc::bench
