#pragma once
// The plug-in's own list of the messenger's open conversation windows, kept
// in the order they opened from the messenger's window events and keyed by
// "HWND" + the handle in signed decimal. Windows that were open before the
// plug-in connected are never in it.
#include "platform/ComPtr.h"

#include <oaidl.h>
#include <string>
#include <vector>

namespace tc {

class ConversationList {
public:
    struct Entry {
        std::wstring key;
        ComPtr<IDispatch> window;
    };

    // By 1-based position or by window key; fails when there is no such entry.
    HRESULT item(const VARIANT& index, IDispatch** window) const;
    long count() const { return static_cast<long>(entries_.size()); }
    const std::vector<Entry>& entries() const { return entries_; }
    // A snapshot of the window objects in list order: the list may change
    // while the caller walks it.
    std::vector<ComPtr<IDispatch>> windows() const;

    // Fails (and changes nothing) when the key cannot be built or is taken.
    HRESULT add(IDispatch* window);
    // A missing key leaves the list as it was.
    void remove(const std::wstring& key);

private:
    HRESULT findEntry(const VARIANT& index, size_t& at) const;

    std::vector<Entry> entries_;
};

// "HWND" + the handle read by name ("hWnd", late bound) in signed decimal.
HRESULT windowKey(IDispatch* window, std::wstring& key);
std::wstring windowKeyOf(long handle);

} // namespace tc
