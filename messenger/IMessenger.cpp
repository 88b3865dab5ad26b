#include "messenger/IMessenger.h"

#include "platform/Automation.h"
#include "platform/Handles.h"

#include <new>
#include <string>

namespace tc {
namespace {
// Never released: it lives as long as the process, like the objects it holds.
WindowCollection* g_windows = nullptr;

HRESULT findEntry(const VARIANT& index, size_t& at) {
    WindowCollection* list = colIMWindows();
    if (!list) return E_UNEXPECTED;
    Variant v;
    if ((index.vt & VT_TYPEMASK) == VT_BSTR) {
        if (FAILED(VariantChangeType(v.put(), const_cast<VARIANT*>(&index), 0, VT_BSTR))) return DISP_E_TYPEMISMATCH;
        std::wstring key = Bstr::toString(v.get()->bstrVal);
        for (size_t i = 0; i < list->size(); ++i)
            if ((*list)[i].key == key) { at = i; return S_OK; }
        return E_INVALIDARG;
    }
    if (FAILED(VariantChangeType(v.put(), const_cast<VARIANT*>(&index), 0, VT_I4))) return DISP_E_TYPEMISMATCH;
    long position = v.get()->lVal;
    if (position < 1 || static_cast<size_t>(position) > list->size()) return DISP_E_BADINDEX;
    at = static_cast<size_t>(position - 1);
    return S_OK;
}
} // namespace

HRESULT createWindowCollection() {
    if (!g_windows) g_windows = new (std::nothrow) WindowCollection();
    return g_windows ? S_OK : E_OUTOFMEMORY;
}

WindowCollection* colIMWindows() { return g_windows; }

std::wstring windowKeyOf(long handle) { return L"HWND" + std::to_wstring(handle); }

HRESULT windowKey(IDispatch* window, std::wstring& key) {
    Variant handle;
    HRESULT hr = automation::getByName(window, L"hWnd", handle.get());
    if (FAILED(hr)) return hr;
    Variant asLong;
    hr = VariantChangeType(asLong.get(), handle.get(), 0, VT_I4);
    if (FAILED(hr)) return hr;
    key = windowKeyOf(asLong.get()->lVal);
    return S_OK;
}

HRESULT IMessenger::Item(const VARIANT& index, IDispatch** window) const {
    if (!window) return E_POINTER;
    *window = nullptr;
    size_t at = 0;
    HRESULT hr = findEntry(index, at);
    if (FAILED(hr)) return hr;
    *window = ComPtr<IDispatch>((*colIMWindows())[at].window).detach();
    return S_OK;
}

long IMessenger::Count() const {
    WindowCollection* list = colIMWindows();
    return list ? static_cast<long>(list->size()) : 0;
}

std::vector<ComPtr<IDispatch>> IMessenger::NewEnum() const {
    std::vector<ComPtr<IDispatch>> out;
    if (WindowCollection* list = colIMWindows())
        for (const WindowEntry& e : *list) out.push_back(e.window);
    return out;
}

HRESULT IMessenger::AddWindow(IDispatch* window) {
    WindowCollection* list = colIMWindows();
    if (!list) return E_UNEXPECTED;
    if (!window) return E_POINTER;
    std::wstring key;
    HRESULT hr = windowKey(window, key);
    if (FAILED(hr)) return hr;
    for (const WindowEntry& e : *list)
        if (e.key == key) return HRESULT_FROM_WIN32(ERROR_ALREADY_EXISTS);
    list->push_back({key, ComPtr<IDispatch>(window)});
    return S_OK;
}

void IMessenger::RemoveWindow(const std::wstring& key) {
    WindowCollection* list = colIMWindows();
    if (!list) return;
    for (auto it = list->begin(); it != list->end(); ++it)
        if (it->key == key) { list->erase(it); return; }
}

} // namespace tc
