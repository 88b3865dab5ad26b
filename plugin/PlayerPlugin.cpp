#include "plugin/PlayerPlugin.h"

#include "platform/Boundary.h"
#include "platform/Handles.h"
#include "platform/Module.h"
#include "platform/Product.h"
#include "plugin/Commands.h"
#include "plugin/Background.h"

#include <new>

namespace tc {
namespace {

// Replaces an in/out BSTR: the caller's string is freed, a new one stored.
HRESULT assignBstr(BSTR* slot, const std::wstring& text) {
    BSTR fresh = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    if (!fresh) return E_OUTOFMEMORY;
    SysFreeString(*slot);
    *slot = fresh;
    return S_OK;
}

// The type information of _PlayerPlugin, loaded from the module's TYPELIB
// resource at the first need and kept until the process ends: released in
// a static destructor, it would go after OLE.
HRESULT playerPluginTypeInfo(ITypeInfo** out) {
    static ComPtr<ITypeInfo>& cached = *new ComPtr<ITypeInfo>();
    if (!out) return E_POINTER;
    *out = nullptr;
    if (!cached) {
        const std::wstring path = module::path();
        if (path.empty()) return E_FAIL;
        ComPtr<ITypeLib> lib;
        HRESULT hr = LoadTypeLibEx(path.c_str(), REGKIND_NONE, lib.put());
        if (FAILED(hr)) return hr;
        hr = lib->GetTypeInfoOfGuid(IID__PlayerPlugin, cached.put());
        if (FAILED(hr)) return hr;
    }
    *out = ComPtr<ITypeInfo>(cached).detach();
    return S_OK;
}

} // namespace

HRESULT PlayerPlugin::create(REFIID iid, void** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    auto* obj = new (std::nothrow) PlayerPlugin();
    if (!obj) return E_OUTOFMEMORY;
    HRESULT hr = obj->QueryInterface(iid, out);
    obj->Release();
    return hr;
}

STDMETHODIMP PlayerPlugin::GetTypeInfoCount(UINT* count) {
    if (!count) return E_POINTER;
    *count = 1;
    return S_OK;
}

STDMETHODIMP PlayerPlugin::GetTypeInfo(UINT index, LCID, ITypeInfo** info) {
    return comBoundary([&] {
        if (!info) return E_POINTER;
        *info = nullptr;
        if (index != 0) return DISP_E_BADINDEX;
        return playerPluginTypeInfo(info);
    });
}

STDMETHODIMP PlayerPlugin::GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID,
                                         DISPID* ids) {
    return comBoundary([&] {
        if (iid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
        if (!names || !ids) return E_POINTER;
        ComPtr<ITypeInfo> info;
        HRESULT hr = playerPluginTypeInfo(info.put());
        if (FAILED(hr)) return hr;
        return info->GetIDsOfNames(names, count, ids);
    });
}

STDMETHODIMP PlayerPlugin::Invoke(DISPID id, REFIID iid, LCID, WORD flags, DISPPARAMS* params,
                                  VARIANT* result, EXCEPINFO* excep, UINT* argErr) {
    return comBoundary([&] {
        if (iid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
        // The type library's invoker dereferences the parameter block; a host
        // that passes none gets the answer COM defines rather than a crash.
        DISPPARAMS none = {nullptr, nullptr, 0, 0};
        if (!params) params = &none;
        if ((params->cArgs && !params->rgvarg) || (params->cNamedArgs && !params->rgdispidNamedArgs) ||
            params->cNamedArgs > params->cArgs)
            return E_INVALIDARG;
        ComPtr<ITypeInfo> info;
        HRESULT hr = playerPluginTypeInfo(info.put());
        if (FAILED(hr)) return hr;
        return info->Invoke(static_cast<_PlayerPlugin*>(this), id, flags, params, result, excep,
                            argErr);
    });
}

STDMETHODIMP PlayerPlugin::Initialize(LONG, BSTR, IDispatch*, VARIANT_BOOL* result) {
    return comBoundary([&] {
        if (!result) return E_POINTER;
        *result = VARIANT_TRUE;
        return S_OK;
    });
}

STDMETHODIMP PlayerPlugin::Uninitialize(VARIANT* result) {
    return comBoundary([&] {
        if (!result) return E_POINTER;
        VariantInit(result);
        return S_OK;
    });
}

STDMETHODIMP PlayerPlugin::GetPublishInfo(BSTR* sPluginName, LONG* nCommandCount,
                                          LONG* nTagCount, VARIANT_BOOL* result) {
    return comBoundary([&] {
        if (!sPluginName || !nCommandCount || !nTagCount || !result) return E_POINTER;
        HRESULT hr = assignBstr(sPluginName, product::kName);
        if (FAILED(hr)) return hr;
        *nCommandCount = commandCount();
        *nTagCount = kTagCount;
        *result = VARIANT_TRUE;
        return S_OK;
    });
}

STDMETHODIMP PlayerPlugin::GetPublishCommandInfo(LONG nCommandIdx, BSTR* sName, BSTR* sValue,
                                                 BSTR* sHelp, VARIANT* result) {
    return comBoundary([&] {
        if (!sName || !sValue || !sHelp || !result) return E_POINTER;
        // Allocate both texts before touching either slot, so a failure leaves
        // the caller's strings as they were.
        if (const CommandInfo* cmd = commandAt(nCommandIdx)) {
            Bstr name(cmd->name), value(cmd->value);
            if (!name.get() || !value.get()) return E_OUTOFMEMORY;
            SysFreeString(*sName);
            *sName = name.detach();
            SysFreeString(*sValue);
            *sValue = value.detach();
        }
        VariantInit(result);
        return S_OK;
    });
}

STDMETHODIMP PlayerPlugin::ParseCommand(BSTR sCommand, BSTR, IDispatch*, BSTR* sResult,
                                        VARIANT_BOOL* result) {
    return comBoundary([&] {
        if (!sResult || !result) return E_POINTER;
        *result = VARIANT_FALSE;
        CommandOutcome outcome = runCommand(Bstr::toString(sCommand));
        if (FAILED(outcome.hr)) return outcome.hr;
        if (outcome.clearResult) {
            HRESULT hr = assignBstr(sResult, L"");
            if (FAILED(hr)) return hr;
        }
        *result = outcome.handled ? VARIANT_TRUE : VARIANT_FALSE;
        return S_OK;
    });
}

STDMETHODIMP PlayerPlugin::ParseTag(BSTR, IDispatch*, BSTR* sResult, VARIANT_BOOL* result) {
    return comBoundary([&] {
        if (!sResult || !result) return E_POINTER;
        *result = VARIANT_FALSE;
        return S_OK;
    });
}

STDMETHODIMP PlayerPlugin::ReceiveNotify(BSTR, BSTR, IDispatch*, BSTR* sTextToSend,
                                         VARIANT_BOOL* result) {
    return comBoundary([&] {
        if (!sTextToSend || !result) return E_POINTER;
        *result = VARIANT_FALSE;
        return S_OK;
    });
}

} // namespace tc
