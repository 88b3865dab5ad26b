#pragma once
// The plug-in's own list of open conversation windows (not the messenger's
// interface of the same name, which is ::IMessenger), kept in the order they
// opened and keyed by "HWND" + the handle in signed decimal.
#include "platform/ComPtr.h"

#include <oaidl.h>
#include <string>
#include <vector>

namespace tc {

// colIMWindows: the entries in the order their windows opened.
struct WindowEntry {
    std::wstring key;
    ComPtr<IDispatch> window;
};
using WindowCollection = std::vector<WindowEntry>;

class IMessenger {
public:
    // Works on that collection, which outlives it.
    explicit IMessenger(WindowCollection& colIMWindows) : colIMWindows_(colIMWindows) {}

    // By 1-based position or by window key; fails when there is no such entry.
    HRESULT Item(const VARIANT& index, IDispatch** window) const;
    long Count() const;
    // A snapshot of the window objects in list order: the list may change
    // while the caller walks it.
    std::vector<ComPtr<IDispatch>> NewEnum() const;

    // Fails (and changes nothing) when the key cannot be built or is taken.
    HRESULT AddWindow(IDispatch* window);
    // Skip-on-error: a missing key leaves the list as it was.
    void RemoveWindow(const std::wstring& key);

private:
    HRESULT findEntry(const VARIANT& index, size_t& at) const;

    WindowCollection& colIMWindows_;
};

// "HWND" + the handle read by name ("hWnd", late bound) in signed decimal.
HRESULT windowKey(IDispatch* window, std::wstring& key);
std::wstring windowKeyOf(long handle);

} // namespace tc
