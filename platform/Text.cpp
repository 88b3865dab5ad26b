#include "platform/Text.h"

#include <windows.h>

namespace tc {

std::string toAnsi(const std::wstring& text) {
    if (text.empty()) return {};
    int n = WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()),
                                nullptr, 0, nullptr, nullptr);
    if (n <= 0) return {};
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_ACP, 0, text.data(), static_cast<int>(text.size()), &out[0], n,
                        nullptr, nullptr);
    return out;
}

std::wstring fromAnsi(const char* bytes, size_t length) {
    std::wstring out;
    fromAnsi(bytes, length, out);
    return out;
}

void fromAnsi(const char* bytes, size_t length, std::wstring& out) {
    out.clear();
    if (!bytes || length == 0) return;
    // The timer converts a whole title buffer every second: one pass, into
    // as many characters as there are bytes. No ANSI code page makes more
    // UTF-16 units than bytes (a double-byte character makes one of two, a
    // UTF-8 sequence one or two of two to four, a byte it cannot convert one
    // replacement); should a conversion want more all the same, it is asked
    // for its size.
    const int bytesIn = static_cast<int>(length);
    out.resize(length);
    int n = MultiByteToWideChar(CP_ACP, 0, bytes, bytesIn, &out[0], bytesIn);
    if (n <= 0) {
        out.clear();
        if (GetLastError() != ERROR_INSUFFICIENT_BUFFER) return;
        n = MultiByteToWideChar(CP_ACP, 0, bytes, bytesIn, nullptr, 0);
        if (n <= 0) return;
        out.resize(static_cast<size_t>(n));
        n = MultiByteToWideChar(CP_ACP, 0, bytes, bytesIn, &out[0], n);
        if (n <= 0) {
            out.clear();
            return;
        }
    }
    out.resize(static_cast<size_t>(n));
}

std::wstring lowerCase(const std::wstring& text) {
    std::wstring out = text;
    if (!out.empty()) CharLowerBuffW(&out[0], static_cast<DWORD>(out.size()));
    return out;
}

} // namespace tc
