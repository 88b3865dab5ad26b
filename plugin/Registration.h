#pragma once
// Writes and removes the registration of PlayerPlugin: the class with its
// in-process server, the ProgID and the type library. The same routine
// serves the machine-wide (HKEY_LOCAL_MACHINE\Software\Classes) and the
// per-user (HKEY_CURRENT_USER\Software\Classes) registration.
#include <windows.h>

namespace tc {

enum class Scope { Machine, User };

HRESULT registerServer(Scope scope);
HRESULT unregisterServer(Scope scope);

} // namespace tc
