#pragma once
// The Win32 calls an idle tick cannot do without, as the product makes them:
// recorded through a module's import table while a tick runs, then made
// again bare, with the same arguments and nothing else.
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace tc::bench {

// One Win32 call seen during a recorded tick, with what is needed to make it
// again bare.
struct Call {
    enum Kind { RegGet, Find, GetText, Parent, TextLength, Other };
    explicit Call(Kind k) : kind(k) {}
    Kind kind;
    std::wstring text;     // key path or window class
    std::wstring value;    // value name
    HKEY root = nullptr;
    DWORD access = 0;      // RegGetValueW's flags, SendMessageTimeoutA's
    HWND window = nullptr;
    DWORD size = 0;        // bytes offered to the query, characters to the text read
    const char* name = ""; // for calls the bare tick does not make
};

// The watched calls `module` (the program when null) makes while `body`
// runs, in order.
std::vector<Call> recordCalls(HMODULE module, const std::function<void()>& body);

// The same Win32 calls with the same arguments, and nothing else.
void makeCalls(const std::vector<Call>& calls);

// Prints how many of each there were.
void describeCalls(const std::vector<Call>& calls);

} // namespace tc::bench
