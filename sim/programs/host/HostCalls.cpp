#include "sim/programs/host/HostCalls.h"

#include "platform/Handles.h"
#include "sim/common/Activation.h"

#include <algorithm>

namespace tc::host {
namespace {

VARIANT byRefBstr(BSTR* b) { VARIANT v; VariantInit(&v); v.vt = VT_BSTR | VT_BYREF; v.pbstrVal = b; return v; }
VARIANT byRefLong(LONG* l) { VARIANT v; VariantInit(&v); v.vt = VT_I4 | VT_BYREF; v.plVal = l; return v; }
VARIANT byValLong(LONG l) { VARIANT v; VariantInit(&v); v.vt = VT_I4; v.lVal = l; return v; }
VARIANT byValBstr(BSTR b) { VARIANT v; VariantInit(&v); v.vt = VT_BSTR; v.bstrVal = b; return v; }
VARIANT byValDispatch(IDispatch* d) { VARIANT v; VariantInit(&v); v.vt = VT_DISPATCH; v.pdispVal = d; return v; }

bool isTrue(const VARIANT& v) { return v.vt == VT_BOOL && v.boolVal != VARIANT_FALSE; }

} // namespace

HRESULT HostedPlugin::call(const wchar_t* method, std::vector<VARIANT>& argsInOrder,
                           VARIANT* result) {
    DISPID id = DISPID_UNKNOWN;
    LPOLESTR name = const_cast<LPOLESTR>(method);
    HRESULT hr = plugin_->GetIDsOfNames(IID_NULL, &name, 1, LOCALE_USER_DEFAULT, &id);
    if (FAILED(hr)) return hr;
    std::vector<VARIANT> reversed(argsInOrder.rbegin(), argsInOrder.rend());
    DISPPARAMS params = {reversed.empty() ? nullptr : reversed.data(), nullptr,
                         static_cast<UINT>(reversed.size()), 0};
    EXCEPINFO excep = {};
    UINT argErr = 0;
    return plugin_->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, result,
                           &excep, &argErr);
}

HRESULT HostedPlugin::load(const wchar_t* progId, const std::wstring& userEmail) {
    HRESULT hr = sim::createFromRegistration(progId, IID_IDispatch, plugin_.putVoid());
    if (FAILED(hr)) return hr;

    Bstr email(userEmail);
    Variant ok;
    std::vector<VARIANT> init = {byValLong(2), byValBstr(email.get()), byValDispatch(nullptr)};
    hr = call(L"Initialize", init, ok.get());
    if (FAILED(hr)) return hr;
    if (!isTrue(*ok.get())) return E_FAIL;

    Bstr name;
    LONG commands = 0, tags = 0;
    std::vector<VARIANT> publish = {byRefBstr(name.put()), byRefLong(&commands), byRefLong(&tags)};
    hr = call(L"GetPublishInfo", publish, ok.put());
    if (FAILED(hr)) return hr;
    info_ = {name.str(), commands, tags, {}};

    for (LONG i = 1; i <= commands; ++i) {
        Bstr cmdName, cmdValue, help;
        std::vector<VARIANT> args = {byValLong(i), byRefBstr(cmdName.put()),
                                     byRefBstr(cmdValue.put()), byRefBstr(help.put())};
        Variant empty;
        hr = call(L"GetPublishCommandInfo", args, empty.get());
        if (FAILED(hr)) return hr;
        info_.commands.push_back({cmdName.str(), cmdValue.str()});
    }
    return S_OK;
}

HRESULT HostedPlugin::parseCommand(const std::wstring& text, bool& handled, std::wstring& result) {
    Bstr command(text), arg(L"");
    Bstr sResult(result);
    Variant ok;
    std::vector<VARIANT> args = {byValBstr(command.get()), byValBstr(arg.get()),
                                 byValDispatch(nullptr), byRefBstr(sResult.inOut())};
    HRESULT hr = call(L"ParseCommand", args, ok.get());
    handled = SUCCEEDED(hr) && isTrue(*ok.get());
    result = sResult.str();
    return hr;
}

HRESULT HostedPlugin::uninitialize() {
    Variant empty;
    std::vector<VARIANT> none;
    return call(L"Uninitialize", none, empty.get());
}

} // namespace tc::host
