#pragma once
// The real DLL as a host has it: loaded, registered for the current user,
// and its plug-in object created from that registration alone.
#include "PlayerPlugin_h.h"
#include "platform/ComPtr.h"

#include <windows.h>

#include <string>

namespace tc::test {

// Full Windows path of tunecaster.dll (built beside the test programs).
std::wstring pluginDllPath();

class HostedDll {
public:
    // Loads the DLL and registers it for the current user; ok() says
    // whether both worked.
    HostedDll();
    // Takes the registration back. The DLL stays loaded: the background
    // work of any object created keeps it so.
    ~HostedDll();
    HostedDll(const HostedDll&) = delete;
    HostedDll& operator=(const HostedDll&) = delete;

    bool ok() const { return registered_; }
    HMODULE module() const { return module_; }

    // A typed export of the DLL.
    template <class F>
    F exportOf(const char* name) const {
        return reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(module_, name)));
    }

    // A new plug-in object, from the per-user registration as a host finds it.
    HRESULT createPlugin(ComPtr<_PlayerPlugin>& out) const;

private:
    HMODULE module_ = nullptr;
    bool registered_ = false;
};

} // namespace tc::test
