// The DLL's entry points: the exports of a self-registering in-process COM
// server, plus DllInstall for registration without administrator rights.
#include <windows.h>
#include <olectl.h>

#include "PlayerPlugin_h.h"
#include "platform/Boundary.h"
#include "plugin/ClassFactory.h"
#include "platform/Module.h"
#include "plugin/Registration.h"
#include "delivery/QuickTextSlot.h"

#include <cwchar>

extern "C" {

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        tc::module::setInstance(instance);
        DisableThreadLibraryCalls(instance);
    }
    return TRUE;
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, void** out) {
    return tc::getClassObject(clsid, iid, out);
}

STDAPI DllCanUnloadNow() { return tc::canUnloadNow() ? S_OK : S_FALSE; }

STDAPI DllRegisterServer() { return tc::registerServer(tc::Scope::Machine); }

STDAPI DllUnregisterServer() { return tc::unregisterServer(tc::Scope::Machine); }

// regsvr32 /n /i:user registers for the current user only (no administrator
// rights needed); /u /n /i:user removes that. Without "user" it acts
// machine-wide, like DllRegisterServer.
// regsvr32 /u /n /i:quicktexts gives the current user's quick-text slots
// back as they were before the plug-in took them over; the uninstaller runs
// it. There is nothing to install under that name.
STDAPI DllInstall(BOOL install, LPCWSTR cmdLine) {
    return tc::comBoundary([&]() -> HRESULT {
        if (cmdLine && _wcsicmp(cmdLine, L"quicktexts") == 0)
            return install ? E_INVALIDARG : tc::quickText::giveBackAll();
        tc::Scope scope = tc::Scope::Machine;
        if (cmdLine && *cmdLine) {
            if (_wcsicmp(cmdLine, L"user") == 0) scope = tc::Scope::User;
            else if (_wcsicmp(cmdLine, L"machine") != 0) return E_INVALIDARG;
        }
        return install ? tc::registerServer(scope) : tc::unregisterServer(scope);
    });
}

} // extern "C"
