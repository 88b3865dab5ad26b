#pragma once
// Swaps entries of a module's import table for a while, to see or change
// what the Win32 calls that module makes do: the program's own (where the
// product code is linked in, its calls go through these entries too) or a
// DLL's.
#include <windows.h>

#include <vector>

namespace tc::sim {

class ImportHook {
public:
    // Points every import of `function` from `dll` (case-insensitive name)
    // by `module` (the program when null) at `replacement`; `original`
    // receives what the entry held before, which comes back at the end.
    ImportHook(const char* dll, const char* function, void* replacement, void** original,
               HMODULE module = nullptr);
    ~ImportHook();
    ImportHook(const ImportHook&) = delete;
    ImportHook& operator=(const ImportHook&) = delete;

    bool active() const { return !slots_.empty(); }

private:
    std::vector<void**> slots_;
    void* original_ = nullptr;
};

} // namespace tc::sim
