#include "sim/programs/host/Console.h"

#include <fcntl.h>
#include <io.h>

#include <cstdio>

namespace tc::host {
namespace {
DWORD g_start = 0;
}

void initConsole() {
    _setmode(_fileno(stdout), _O_BINARY);
    g_start = GetTickCount();
}

std::string utf8(const std::wstring& text) {
    if (text.empty()) return {};
    int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                nullptr, nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &out[0], n, nullptr,
                        nullptr);
    return out;
}

void line(const char* who, const std::wstring& text) {
    double t = (GetTickCount() - g_start) / 1000.0;
    std::printf("  %+7.2fs  %-8s| %s\n", t, who, utf8(text).c_str());
    std::fflush(stdout);
}

void plain(const std::wstring& text) {
    std::printf("%s\n", utf8(text).c_str());
    std::fflush(stdout);
}

} // namespace tc::host
