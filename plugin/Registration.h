#pragma once
// Writes and removes the registration of PlayerPlugin: the class with its
// in-process server, the ProgID and the type library. The same routine
// serves the machine-wide (HKEY_LOCAL_MACHINE\Software\Classes) and the
// per-user (HKEY_CURRENT_USER\Software\Classes) registration.
//
// Registering is all or nothing: when any write fails, every key and value
// it touched is put back as it was, so that a failed re-registration leaves
// the earlier one working. Neither routine throws; running out of memory
// gives E_OUTOFMEMORY.
#include <windows.h>

namespace tc {

enum class Scope { Machine, User };

HRESULT registerServer(Scope scope) noexcept;
HRESULT unregisterServer(Scope scope) noexcept;

} // namespace tc
