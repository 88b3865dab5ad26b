#include "platform/Module.h"

namespace tc::module {
namespace {
HINSTANCE g_instance = nullptr;
} // namespace

HINSTANCE instance() { return g_instance ? g_instance : GetModuleHandleW(nullptr); }
void setInstance(HINSTANCE h) { g_instance = h; }

std::wstring path() {
    std::wstring out(MAX_PATH, L'\0');
    for (;;) {
        DWORD n = GetModuleFileNameW(instance(), &out[0], static_cast<DWORD>(out.size()));
        if (n == 0) return {};
        if (n < out.size()) {
            out.resize(n);
            return out;
        }
        out.resize(out.size() * 2);
    }
}

void pin() {
    HMODULE pinned = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_PIN | GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                       reinterpret_cast<LPCWSTR>(&pin), &pinned);
}

} // namespace tc::module
