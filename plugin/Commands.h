#pragma once
// What the plug-in publishes to the host and how it answers a command.
#include <windows.h>

#include <string>

namespace tc {

struct CommandInfo {
    const wchar_t* name;  // published name
    const wchar_t* value; // command word without its slash
};

inline constexpr CommandInfo kCommands[] = {
    {L"Options", L"xwinampoptions"},
    {L"About", L"xwinampabout"},
    {L"On", L"xwinampon"},
    {L"Off", L"xwinampoff"},
};
inline constexpr long kCommandCount = sizeof kCommands / sizeof kCommands[0];
inline constexpr long kTagCount = 0;

// 1-based, as the host counts; null outside 1..kCommandCount.
const CommandInfo* commandAt(long index);

enum class Command { None, Options, About, On, Off };

// The whole text, case-insensitive; nothing trimmed, no prefix counts.
Command recognise(const std::wstring& text);

struct CommandOutcome {
    HRESULT hr = S_OK;
    bool handled = false;      // the result the host sees (after success)
    bool clearResult = false;  // "/xwinampoptions" empties sResult
};

// Carries the command out; returns after a dialog it opens has closed.
CommandOutcome runCommand(const std::wstring& text);

} // namespace tc
