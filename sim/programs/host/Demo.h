#pragma once
#include "sim/programs/host/HostCalls.h"

#include <string>

namespace tc::host {

void printPublished(const PluginInfo& info);
// A value of the plug-in's settings, read straight from the registry.
std::wstring currentSetting(const wchar_t* key);

// The README's scripted session; 0 when the display name followed the player.
int runDemo(const wchar_t* progId);
// For installation checks: 0 once a song change reached the messenger.
int expectSongChange(const wchar_t* progId);

} // namespace tc::host
