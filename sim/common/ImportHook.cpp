#include "sim/common/ImportHook.h"

#include <cstring>

namespace tc::sim {
namespace {

std::vector<void**> importSlots(HMODULE module, const char* dll, const char* function) {
    std::vector<void**> out;
    BYTE* base = reinterpret_cast<BYTE*>(module ? module : GetModuleHandleW(nullptr));
    auto* dos = reinterpret_cast<IMAGE_DOS_HEADER*>(base);
    auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (dir.VirtualAddress == 0) return out;
    for (auto* desc = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + dir.VirtualAddress);
         desc->Name != 0; ++desc) {
        if (_stricmp(reinterpret_cast<const char*>(base + desc->Name), dll) != 0) continue;
        DWORD namesRva = desc->OriginalFirstThunk ? desc->OriginalFirstThunk : desc->FirstThunk;
        auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + namesRva);
        auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + desc->FirstThunk);
        for (; names->u1.AddressOfData != 0; ++names, ++slots) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
            auto* byName = reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
            if (std::strcmp(reinterpret_cast<const char*>(byName->Name), function) == 0)
                out.push_back(reinterpret_cast<void**>(&slots->u1.Function));
        }
    }
    return out;
}

void writeSlot(void** slot, void* value) {
    DWORD old = 0;
    if (!VirtualProtect(slot, sizeof(void*), PAGE_READWRITE, &old)) return;
    *slot = value;
    VirtualProtect(slot, sizeof(void*), old, &old);
}

} // namespace

ImportHook::ImportHook(const char* dll, const char* function, void* replacement, void** original,
                       HMODULE module)
    : slots_(importSlots(module, dll, function)) {
    if (slots_.empty()) return;
    original_ = *slots_.front();
    *original = original_;
    for (void** slot : slots_) writeSlot(slot, replacement);
}

ImportHook::~ImportHook() {
    for (void** slot : slots_) writeSlot(slot, original_);
}

} // namespace tc::sim
