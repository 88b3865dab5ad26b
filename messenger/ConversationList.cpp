#include "messenger/ConversationList.h"

#include "platform/Automation.h"
#include "platform/Handles.h"

#include <new>
#include <string>

namespace tc {

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

HRESULT ConversationList::findEntry(const VARIANT& index, size_t& at) const {
    Variant v;
    if ((index.vt & VT_TYPEMASK) == VT_BSTR) {
        if (FAILED(VariantChangeType(v.put(), const_cast<VARIANT*>(&index), 0, VT_BSTR)))
            return DISP_E_TYPEMISMATCH;
        const std::wstring key = Bstr::toString(v.get()->bstrVal);
        for (size_t i = 0; i < entries_.size(); ++i)
            if (entries_[i].key == key) {
                at = i;
                return S_OK;
            }
        return E_INVALIDARG;
    }
    if (FAILED(VariantChangeType(v.put(), const_cast<VARIANT*>(&index), 0, VT_I4)))
        return DISP_E_TYPEMISMATCH;
    const long position = v.get()->lVal;
    if (position < 1 || static_cast<size_t>(position) > entries_.size()) return DISP_E_BADINDEX;
    at = static_cast<size_t>(position - 1);
    return S_OK;
}

HRESULT ConversationList::item(const VARIANT& index, IDispatch** window) const {
    if (!window) return E_POINTER;
    *window = nullptr;
    size_t at = 0;
    HRESULT hr = findEntry(index, at);
    if (FAILED(hr)) return hr;
    *window = ComPtr<IDispatch>(entries_[at].window).detach();
    return S_OK;
}

std::vector<ComPtr<IDispatch>> ConversationList::windows() const {
    std::vector<ComPtr<IDispatch>> out;
    for (const Entry& e : entries_) out.push_back(e.window);
    return out;
}

HRESULT ConversationList::add(IDispatch* window) {
    if (!window) return E_POINTER;
    std::wstring key;
    HRESULT hr = windowKey(window, key);
    if (FAILED(hr)) return hr;
    for (const Entry& e : entries_)
        if (e.key == key) return HRESULT_FROM_WIN32(ERROR_ALREADY_EXISTS);
    entries_.push_back({key, ComPtr<IDispatch>(window)});
    return S_OK;
}

void ConversationList::remove(const std::wstring& key) {
    for (auto it = entries_.begin(); it != entries_.end(); ++it)
        if (it->key == key) {
            entries_.erase(it);
            return;
        }
}

} // namespace tc
