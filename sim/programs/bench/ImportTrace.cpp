#include "sim/programs/bench/ImportTrace.h"

#include "sim/programs/bench/Measure.h"

#include <x86intrin.h>

#include <cstring>

#if !defined(__i386__)
#error "the import stubs are 32-bit x86 code"
#endif

namespace tc::bench {
namespace {

constexpr size_t kStubBytes = 32;
constexpr size_t kMostEntries = 1 << 16;

ImportTrace::Entry g_entries[kMostEntries];
size_t g_count = 0;
bool g_recording = false;
std::vector<std::string> g_names;

// Called by every stub with all registers saved; it calls nothing, so the
// traced function sees its arguments, registers and last error untouched.
extern "C" void __cdecl noteCall(unsigned function) {
    if (!g_recording || g_count == kMostEntries) return;
    g_entries[g_count++] = {function, __rdtsc()};
}

// Data a module imports (a runtime library's variables) is reached through
// the same table; only entries that lead to code get a stub.
bool isCode(void* p) {
    MEMORY_BASIC_INFORMATION mbi;
    if (VirtualQuery(p, &mbi, sizeof mbi) != sizeof mbi) return false;
    const DWORD code = PAGE_EXECUTE | PAGE_EXECUTE_READ | PAGE_EXECUTE_READWRITE | PAGE_EXECUTE_WRITECOPY;
    return mbi.State == MEM_COMMIT && (mbi.Protect & code) != 0;
}

void writeSlot(void** slot, void* value) {
    DWORD old = 0;
    if (!VirtualProtect(slot, sizeof(void*), PAGE_READWRITE, &old)) return;
    *slot = value;
    VirtualProtect(slot, sizeof(void*), old, &old);
}

// pushad; push function; call noteCall; add esp, 4; popad; jmp [original]
void writeStub(BYTE* stub, unsigned function, void* original) {
    std::memset(stub, 0xCC, kStubBytes);
    BYTE* p = stub;
    *p++ = 0x60;
    *p++ = 0x68;
    std::memcpy(p, &function, 4);
    p += 4;
    *p++ = 0xE8;
    const auto target = reinterpret_cast<std::intptr_t>(&noteCall);
    const auto rel = static_cast<std::int32_t>(target - reinterpret_cast<std::intptr_t>(p + 4));
    std::memcpy(p, &rel, 4);
    p += 4;
    *p++ = 0x83;
    *p++ = 0xC4;
    *p++ = 0x04;
    *p++ = 0x61;
    *p++ = 0xFF;
    *p++ = 0x25;
    void** cell = reinterpret_cast<void**>(stub + 24);
    *cell = original;
    std::memcpy(p, &cell, 4);
}

} // namespace

std::uint64_t cycles() { return __rdtsc(); }

double cyclesPerMicrosecond() {
    static const double rate = [] {
        const double t0 = nowMs();
        const std::uint64_t c0 = __rdtsc();
        Sleep(100);
        const double t1 = nowMs();
        const std::uint64_t c1 = __rdtsc();
        return static_cast<double>(c1 - c0) / ((t1 - t0) * 1000.0);
    }();
    return rate;
}

ImportTrace::ImportTrace(HMODULE module) {
    BYTE* base = reinterpret_cast<BYTE*>(module ? module : GetModuleHandleW(nullptr));
    auto* dos = reinterpret_cast<IMAGE_DOS_HEADER*>(base);
    auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (dir.VirtualAddress == 0) return;
    std::vector<std::string> names;
    for (auto* desc = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + dir.VirtualAddress);
         desc->Name != 0; ++desc) {
        DWORD namesRva = desc->OriginalFirstThunk ? desc->OriginalFirstThunk : desc->FirstThunk;
        auto* byName = reinterpret_cast<IMAGE_THUNK_DATA*>(base + namesRva);
        auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + desc->FirstThunk);
        for (; byName->u1.AddressOfData != 0; ++byName, ++slots) {
            void** slot = reinterpret_cast<void**>(&slots->u1.Function);
            if (!isCode(*slot)) continue;
            if (IMAGE_SNAP_BY_ORDINAL(byName->u1.Ordinal)) {
                names.push_back(std::string(reinterpret_cast<const char*>(base + desc->Name)) + "#" +
                                std::to_string(IMAGE_ORDINAL(byName->u1.Ordinal)));
            } else {
                auto* import = reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + byName->u1.AddressOfData);
                names.push_back(reinterpret_cast<const char*>(import->Name));
            }
            slots_.push_back(slot);
        }
    }
    if (slots_.empty()) return;
    stubs_ = static_cast<BYTE*>(VirtualAlloc(nullptr, slots_.size() * kStubBytes,
                                             MEM_COMMIT | MEM_RESERVE, PAGE_EXECUTE_READWRITE));
    if (!stubs_) {
        slots_.clear();
        return;
    }
    for (size_t i = 0; i < slots_.size(); ++i) {
        const unsigned function = static_cast<unsigned>(g_names.size());
        g_names.push_back(names[i]);
        originals_.push_back(*slots_[i]);
        writeStub(stubs_ + i * kStubBytes, function, *slots_[i]);
    }
    FlushInstructionCache(GetCurrentProcess(), stubs_, slots_.size() * kStubBytes);
    for (size_t i = 0; i < slots_.size(); ++i) writeSlot(slots_[i], stubs_ + i * kStubBytes);
}

ImportTrace::~ImportTrace() {
    for (size_t i = 0; i < slots_.size(); ++i) writeSlot(slots_[i], originals_[i]);
    // The stubs stay: a call under way may still be inside one.
}

void ImportTrace::start() {
    g_count = 0;
    g_recording = true;
}

void ImportTrace::stop() { g_recording = false; }

std::vector<ImportTrace::Entry> ImportTrace::entries() {
    return std::vector<Entry>(g_entries, g_entries + g_count);
}

const std::string& ImportTrace::nameOf(unsigned function) { return g_names.at(function); }

} // namespace tc::bench
