#pragma once
// The four commands the plug-in publishes to the host, and how it carries
// one out.
#include <windows.h>

#include <string>

namespace tc {

inline constexpr long kTagCount = 0;
// How many commands the table below publishes.
inline constexpr long kCommandCount = 4;

struct CommandOutcome {
    HRESULT hr = S_OK;
    bool handled = false;      // the result the host sees (after success)
    bool clearResult = false;  // "/xwinampoptions" empties sResult
};

struct CommandInfo {
    const wchar_t* name;  // published name
    const wchar_t* value; // command word without its slash
    // Carries it out; returns after a dialog it opens has closed.
    CommandOutcome (*run)();
};

long commandCount();
// 1-based, as the host counts; null outside 1..commandCount().
const CommandInfo* commandAt(long index);

// The command the whole text names, compared without regard to case; nothing
// trimmed, no prefix counts. Null when it names none.
const CommandInfo* recognise(const std::wstring& text);

// Carries out the command the text names; not handled when it names none.
CommandOutcome runCommand(const std::wstring& text);

} // namespace tc
