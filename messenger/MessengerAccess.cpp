#include "messenger/MessengerAccess.h"

#include "platform/Automation.h"
#include "platform/Handles.h"

#include <ocidl.h>

namespace tc::messenger {

HRESULT create(ComPtr<::IMessenger>& out) {
    return CoCreateInstance(CLSID_Messenger, nullptr, CLSCTX_ALL, IID_IMessenger, out.putVoid());
}

HRESULT friendlyName(::IMessenger* m, std::wstring& out) {
    if (!m) return E_POINTER;
    Bstr name;
    HRESULT hr = m->get_MyFriendlyName(name.put());
    if (SUCCEEDED(hr)) out = name.str();
    return hr;
}

HRESULT signinName(::IMessenger* m, std::wstring& out) {
    if (!m) return E_POINTER;
    Bstr name;
    HRESULT hr = m->get_MySigninName(name.put());
    if (SUCCEEDED(hr)) out = name.str();
    return hr;
}

HRESULT instantMessage(::IMessenger* m, const std::wstring& contact,
                       ComPtr<IMessengerConversationWnd>& out) {
    if (!m) return E_POINTER;
    Variant who;
    who.get()->vt = VT_BSTR;
    who.get()->bstrVal = SysAllocString(contact.c_str());
    if (!who.get()->bstrVal) return E_OUTOFMEMORY;
    ComPtr<IDispatch> window;
    HRESULT hr = m->InstantMessage(*who.get(), window.put());
    if (FAILED(hr)) return hr;
    if (!window) return E_FAIL;
    return window.as(IID_IMessengerConversationWnd, out);
}

HRESULT windowHandle(IMessengerConversationWnd* w, LONG& out) {
    if (!w) return E_POINTER;
    return w->get_HWND(&out);
}

HRESULT firstContactSignin(IMessengerConversationWnd* w, std::wstring& out) {
    if (!w) return E_POINTER;
    ComPtr<IDispatch> contacts;
    HRESULT hr = w->get_Contacts(contacts.put());
    if (FAILED(hr)) return hr;
    if (!contacts) return E_FAIL;
    Variant first;
    hr = automation::callDefault(contacts.get(), 0, first.get());
    if (FAILED(hr)) return hr;
    if (first.get()->vt != VT_DISPATCH || !first.get()->pdispVal) return DISP_E_TYPEMISMATCH;
    Variant name;
    hr = automation::getByName(first.get()->pdispVal, L"SigninName", name.get());
    if (FAILED(hr)) return hr;
    Variant text;
    hr = VariantChangeType(text.get(), name.get(), 0, VT_BSTR);
    if (FAILED(hr)) return hr;
    out = Bstr::toString(text.get()->bstrVal);
    return S_OK;
}

HRESULT connectEvents(IUnknown* source, IUnknown* sink, DWORD& cookie) {
    if (!source || !sink) return E_POINTER;
    ComPtr<IConnectionPointContainer> container;
    HRESULT hr = source->QueryInterface(IID_IConnectionPointContainer, container.putVoid());
    if (FAILED(hr)) return hr;
    ComPtr<IConnectionPoint> point;
    hr = container->FindConnectionPoint(DIID_DMessengerEvents, point.put());
    if (FAILED(hr)) return hr;
    return point->Advise(sink, &cookie);
}

} // namespace tc::messenger
