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
constexpr size_t kCellOffset = 28;
constexpr size_t kMostEntries = 1 << 16;
constexpr size_t kDeepest = 256;

struct Pending {
    void* returnTo;
    size_t entry;
};

ImportTrace::Entry g_entries[kMostEntries];
size_t g_count = 0;
bool g_recording = false;
DWORD g_thread = 0;
Pending g_pending[kDeepest];
size_t g_depth = 0;
std::vector<std::string> g_names;
BYTE* g_returnStub = nullptr;

// The running thread's id, read from its information block: the stubs must
// not call anything that may itself be traced.
DWORD currentThread() {
    DWORD id;
    asm volatile("movl %%fs:0x24, %0" : "=r"(id));
    return id;
}

// Called by every stub with all registers saved, with the place on the
// stack where the call's return address lies. They call nothing, so the
// traced function sees its arguments, registers and last error untouched.
extern "C" void __cdecl noteCall(unsigned function, void** returnAddress) {
    if (!g_recording || currentThread() != g_thread || g_count == kMostEntries ||
        g_depth == kDeepest)
        return;
    g_entries[g_count] = {function, static_cast<unsigned>(g_depth), __rdtsc(), 0};
    g_pending[g_depth++] = {*returnAddress, g_count++};
    *returnAddress = g_returnStub;
}

// Called by the return stub, with the call's results saved: notes the
// return and gives back where the call was to return to.
extern "C" void* __cdecl noteReturn() {
    const Pending p = g_pending[--g_depth];
    g_entries[p.entry].out = __rdtsc();
    return p.returnTo;
}

// Functions that do not simply return to their caller: their return
// address is left alone, and only their entry is seen.
bool entryOnly(const char* name) {
    for (const char* n : {"setjmp", "_setjmp", "_setjmp3", "longjmp", "_longjmp", "RaiseException",
                          "RtlUnwind", "ExitProcess", "ExitThread", "exit", "_exit", "abort",
                          "_endthreadex", "TerminateProcess"})
        if (std::strcmp(name, n) == 0) return true;
    return false;
}

extern "C" void __cdecl noteEntry(unsigned function) {
    if (!g_recording || currentThread() != g_thread || g_count == kMostEntries) return;
    g_entries[g_count++] = {function, static_cast<unsigned>(g_depth), __rdtsc(), 0};
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

BYTE* put(BYTE* p, std::initializer_list<BYTE> bytes) {
    for (BYTE b : bytes) *p++ = b;
    return p;
}

BYTE* put32(BYTE* p, const void* value) {
    std::memcpy(p, value, 4);
    return p + 4;
}

BYTE* putCall(BYTE* p, const void* target) {
    *p++ = 0xE8;
    const auto rel = static_cast<std::int32_t>(reinterpret_cast<std::intptr_t>(target) -
                                               reinterpret_cast<std::intptr_t>(p + 4));
    return put32(p, &rel);
}

// pushad; lea eax, [esp+32]; push eax; push function; call noteCall;
// add esp, 8; popad; jmp [original]
// or, entry only: pushad; push function; call noteEntry; add esp, 4; popad;
// jmp [original]
void writeStub(BYTE* stub, unsigned function, void* original, bool onlyEntry) {
    std::memset(stub, 0xCC, kStubBytes);
    BYTE* p = put(stub, {0x60});
    if (onlyEntry) {
        p = put(p, {0x68});
        p = put32(p, &function);
        p = putCall(p, reinterpret_cast<const void*>(&noteEntry));
        p = put(p, {0x83, 0xC4, 0x04});
    } else {
        p = put(p, {0x8D, 0x44, 0x24, 0x20, 0x50, 0x68});
        p = put32(p, &function);
        p = putCall(p, reinterpret_cast<const void*>(&noteCall));
        p = put(p, {0x83, 0xC4, 0x08});
    }
    p = put(p, {0x61, 0xFF, 0x25});
    void** cell = reinterpret_cast<void**>(stub + kCellOffset);
    *cell = original;
    put32(p, &cell);
}

// push eax; push edx; call noteReturn; mov ecx, eax; pop edx; pop eax;
// jmp ecx (the caller keeps nothing in ecx across a call)
void writeReturnStub(BYTE* stub) {
    std::memset(stub, 0xCC, kStubBytes);
    BYTE* p = put(stub, {0x50, 0x52});
    p = putCall(p, reinterpret_cast<const void*>(&noteReturn));
    put(p, {0x89, 0xC1, 0x5A, 0x58, 0xFF, 0xE1});
}

BYTE* executable(size_t bytes) {
    return static_cast<BYTE*>(
        VirtualAlloc(nullptr, bytes, MEM_COMMIT | MEM_RESERVE, PAGE_EXECUTE_READWRITE));
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
    if (!g_returnStub) {
        g_returnStub = executable(kStubBytes);
        if (!g_returnStub) return;
        writeReturnStub(g_returnStub);
    }
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
    stubs_ = executable(slots_.size() * kStubBytes);
    if (!stubs_) {
        slots_.clear();
        return;
    }
    for (size_t i = 0; i < slots_.size(); ++i) {
        const unsigned function = static_cast<unsigned>(g_names.size());
        g_names.push_back(names[i]);
        originals_.push_back(*slots_[i]);
        writeStub(stubs_ + i * kStubBytes, function, *slots_[i], entryOnly(names[i].c_str()));
    }
    FlushInstructionCache(GetCurrentProcess(), stubs_, slots_.size() * kStubBytes);
    for (size_t i = 0; i < slots_.size(); ++i) writeSlot(slots_[i], stubs_ + i * kStubBytes);
}

ImportTrace::~ImportTrace() {
    for (size_t i = 0; i < slots_.size(); ++i) writeSlot(slots_[i], originals_[i]);
    // The stubs stay: a call under way may still return through them.
}

void ImportTrace::start() {
    g_count = 0;
    g_thread = currentThread();
    g_recording = true;
}

void ImportTrace::stop() { g_recording = false; }

std::vector<ImportTrace::Entry> ImportTrace::entries() {
    return std::vector<Entry>(g_entries, g_entries + g_count);
}

const std::string& ImportTrace::nameOf(unsigned function) { return g_names.at(function); }

} // namespace tc::bench
