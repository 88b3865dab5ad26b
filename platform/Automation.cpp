#include "platform/Automation.h"

namespace tc::automation {

HRESULT getByName(IDispatch* object, const wchar_t* name, VARIANT* result) {
    if (!object || !result) return E_POINTER;
    DISPID id = DISPID_UNKNOWN;
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    HRESULT hr = object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
    if (FAILED(hr)) return hr;
    DISPPARAMS none = {nullptr, nullptr, 0, 0};
    VariantInit(result);
    return object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none, result,
                          nullptr, nullptr);
}

HRESULT callDefault(IDispatch* object, long argument, VARIANT* result) {
    if (!object || !result) return E_POINTER;
    VARIANT arg;
    VariantInit(&arg);
    arg.vt = VT_I4;
    arg.lVal = argument;
    DISPPARAMS params = {&arg, nullptr, 1, 0};
    VariantInit(result);
    return object->Invoke(DISPID_VALUE, IID_NULL, LOCALE_USER_DEFAULT,
                          DISPATCH_METHOD | DISPATCH_PROPERTYGET, &params, result, nullptr,
                          nullptr);
}

} // namespace tc::automation
