#pragma once
// Late-bound automation calls: by name, as a script would make them.
#include <oaidl.h>

namespace tc::automation {

// Reads a property by name (GetIDsOfNames, then a property get).
HRESULT getByName(IDispatch* object, const wchar_t* name, VARIANT* result);
// Calls the default member (DISPID_VALUE) with one long argument.
HRESULT callDefault(IDispatch* object, long argument, VARIANT* result);

} // namespace tc::automation
