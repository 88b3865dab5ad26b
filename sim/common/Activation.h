#pragma once
// How a host on Windows creates a plug-in from its registration alone.
#include <windows.h>

namespace tc::sim {

// By ProgID (or "{CLSID}"): CoCreateInstance first. Windows merges the
// per-user classes (HKEY_CURRENT_USER\Software\Classes) into the classes
// root, so a per-user registration is found there; Wine's COM reads only the
// machine-wide classes. When COM reports the class unregistered, this does
// the per-user lookup itself: ProgID to CLSID, then the InprocServer32 path,
// the user's entries before the machine's, as Windows does, and creates the
// object through the DLL's class object.
HRESULT createFromRegistration(const wchar_t* progIdOrClsid, REFIID iid, void** out);

} // namespace tc::sim
