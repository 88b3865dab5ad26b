#include "messenger/MessengerSession.h"

#include "messenger/MessengerAccess.h"
#include "platform/Boundary.h"

namespace tc {

HRESULT MessengerSession::queryObject(ComPtr<::IMessenger>& out) {
    if (!query_) {
        HRESULT hr = messenger::create(query_);
        if (FAILED(hr)) {
            query_.reset();
            return hr;
        }
    }
    out = query_;
    return S_OK;
}

HRESULT MessengerSession::signinName(std::wstring& out) {
    ComPtr<::IMessenger> m;
    HRESULT hr = queryObject(m);
    if (FAILED(hr)) return hr;
    return messenger::signinName(m.get(), out);
}

HRESULT MessengerSession::friendlyName(std::wstring& out) {
    ComPtr<::IMessenger> m;
    HRESULT hr = queryObject(m);
    if (FAILED(hr)) return hr;
    return messenger::friendlyName(m.get(), out);
}

HRESULT MessengerSession::connect() {
    if (eventObject_) return S_OK;
    ComPtr<::IMessenger> m;
    HRESULT hr = messenger::create(m);
    if (FAILED(hr)) return hr;
    ComPtr<IDispatch> sink;
    hr = createMessengerEventSink(events_, sink.put());
    if (FAILED(hr)) return hr;
    DWORD cookie = 0; // never disconnected
    hr = messenger::connectEvents(m.get(), sink.get(), cookie);
    if (FAILED(hr)) return hr;
    eventObject_ = m;
    return S_OK;
}

// The hidden conversation is found, or opened, only through the event
// object; when the messenger was not running at start-up, try again now.
const ConversationList& MessengerSession::conversations() {
    if (!eventObject_) step([&] { connect(); });
    return events_.list;
}

HRESULT MessengerSession::instantMessage(const std::wstring& contact,
                                         ComPtr<IMessengerConversationWnd>& out) {
    if (!eventObject_) return E_FAIL;
    return messenger::instantMessage(eventObject_.get(), contact, out);
}

void MessengerSession::Events::windowCreated(IDispatch* window) {
    step([&] { list.add(window); });
}

void MessengerSession::Events::windowDestroyed(IDispatch* window) {
    step([&] {
        std::wstring key;
        if (SUCCEEDED(windowKey(window, key))) list.remove(key);
    });
}

} // namespace tc
