#include "messenger/frmSendText.h"

#include "messenger/MessengerAccess.h"
#include "platform/Boundary.h"

#include <new>
#include <utility>

namespace tc {

HRESULT frmSendText::queryMessenger(ComPtr<::IMessenger>& out) {
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

HRESULT frmSendText::signinName(std::wstring& out) {
    ComPtr<::IMessenger> m;
    HRESULT hr = queryMessenger(m);
    if (FAILED(hr)) return hr;
    return messenger::signinName(m.get(), out);
}

// The hidden conversation is found, or opened, only through the event
// object; when the messenger was not running at load, try again now.
std::vector<ComPtr<IDispatch>> frmSendText::conversations() {
    if (!oMessengerAPI || !oWindowList) step([&] { load(); });
    if (!oWindowList) return {};
    return oWindowList->NewEnum();
}

HRESULT frmSendText::instantMessage(const std::wstring& contact,
                                    ComPtr<IMessengerConversationWnd>& out) {
    if (!oMessengerAPI) return E_FAIL;
    return messenger::instantMessage(oMessengerAPI.get(), contact, out);
}

HRESULT frmSendText::friendlyName(std::wstring& out) {
    ComPtr<::IMessenger> m;
    HRESULT hr = queryMessenger(m);
    if (FAILED(hr)) return hr;
    return messenger::friendlyName(m.get(), out);
}

HRESULT frmSendText::load() {
    if (!oMessengerAPI) {
        ComPtr<::IMessenger> m;
        HRESULT hr = messenger::create(m);
        if (FAILED(hr)) return hr;
        ComPtr<IDispatch> sink;
        hr = createMessengerEventSink(*this, sink.put());
        if (FAILED(hr)) return hr;
        DWORD cookie = 0;  // never disconnected
        hr = messenger::connectEvents(m.get(), sink.get(), cookie);
        if (FAILED(hr)) return hr;
        oMessengerAPI = m;
    }
    if (!oWindowList) {
        oWindowList.reset(new (std::nothrow) IMessenger(colIMWindows));
        if (!oWindowList) return E_OUTOFMEMORY;
    }
    return S_OK;
}

void frmSendText::changeName() {
    step([&] { remember(delivery.want(composer::Wanted::NowPlaying)); });
}

void frmSendText::changeNameBack() {
    step([&] { remember(delivery.want(composer::Wanted::Plain)); });
}

void frmSendText::putBackNameLeftPlaying() {
    step([&] { remember(delivery.want(composer::Wanted::PlainIfLeftByUs)); });
}

void frmSendText::sendWaiting() { remember(delivery.sendWaiting()); }

bool frmSendText::dropWaiting() { return delivery.dropWaiting(); }

bool frmSendText::takeReasonToLookAgain() {
    const bool dropped = delivery.takeDropped();
    return std::exchange(signedInSinceLastLook_, false) || dropped;
}

// Text3 keeps the class seen at the last look of any delivery, and Text2 the
// command composed last; a try that did not get so far leaves them as they
// were.
void frmSendText::remember(Look look) {
    if (look.foregroundClass) Text3 = std::move(*look.foregroundClass);
    if (look.command) Text2 = std::move(*look.command);
}

void frmSendText::oMessengerAPI_OnIMWindowCreated(IDispatch* pIMWindow) {
    if (!oWindowList) return;
    step([&] { oWindowList->AddWindow(pIMWindow); });
}

// A sign-in after a drop may find the name as the service kept it, not as
// the last command set it; and a road that failed may work again.
void frmSendText::oMessengerAPI_OnSignin() {
    signedInSinceLastLook_ = true;
    delivery.roadMayWorkAgain();
}

void frmSendText::oMessengerAPI_OnIMWindowDestroyed(IDispatch* pIMWindow) {
    if (!oWindowList) return;
    step([&] {
        std::wstring key;
        if (SUCCEEDED(windowKey(pIMWindow, key))) oWindowList->RemoveWindow(key);
    });
}

} // namespace tc
