#pragma once
// The calls a chat add-on makes on a plug-in, all late bound through
// IDispatch::Invoke by name, as a scripting host would.
#include "platform/ComPtr.h"

#include <oaidl.h>
#include <string>
#include <vector>

namespace tc::host {

struct PublishedCommand {
    std::wstring name;
    std::wstring value;
};

struct PluginInfo {
    std::wstring name;
    long commandCount = 0;
    long tagCount = 0;
    std::vector<PublishedCommand> commands;
};

class HostedPlugin {
public:
    // Creates the plug-in from its registration (ProgID) and calls
    // Initialize, GetPublishInfo and GetPublishCommandInfo 1..count.
    HRESULT load(const wchar_t* progId, const std::wstring& userEmail);
    const PluginInfo& info() const { return info_; }
    // ParseCommand with the typed text; `handled` is the plug-in's answer.
    HRESULT parseCommand(const std::wstring& text, bool& handled, std::wstring& result);
    HRESULT uninitialize();

private:
    HRESULT call(const wchar_t* method, std::vector<VARIANT>& argsInOrder, VARIANT* result);
    ComPtr<IDispatch> plugin_;
    PluginInfo info_;
};

} // namespace tc::host
