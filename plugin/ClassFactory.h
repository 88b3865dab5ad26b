#pragma once
#include <windows.h>

namespace tc {

// The class object of PlayerPlugin. Its first successful creation of an
// object runs the start-up routine once per process, before the object is
// handed out, so the background work is up before the first method call.
HRESULT getPlayerPluginFactory(REFIID iid, void** out);
// DllGetClassObject: the class object for our one class; nothing unwinds
// into the caller.
HRESULT getClassObject(REFCLSID clsid, REFIID iid, void** out);

// Whether the DLL may be unloaded now.
bool canUnloadNow();

} // namespace tc
