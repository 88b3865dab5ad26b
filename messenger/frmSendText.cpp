#include "messenger/frmSendText.h"

#include "messenger/MessengerAccess.h"
#include "platform/Boundary.h"
#include "settings/SettingsStore.h"

#include <new>

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

composer::Sources frmSendText::composerSources() {
    composer::Sources in;
    in.setting = [](const wchar_t* key) { return readSetting(key); };
    in.friendlyName = [this](std::wstring& name) {
        ComPtr<::IMessenger> m;
        return SUCCEEDED(queryMessenger(m)) && SUCCEEDED(messenger::friendlyName(m.get(), name));
    };
    return in;
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

// A call that composed nothing sends nothing: the slot and the keys would
// only repeat the previous command, whatever the player did since.
void frmSendText::changeName() {
    const composer::Sources in = composerSources();
    bool composed = false;
    step([&] { composed = composer::composeNowPlaying(in, Text2); });
    if (composed) step([&] { deliverQuickText(); });
}

void frmSendText::changeNameBack() {
    const composer::Sources in = composerSources();
    bool composed = false;
    step([&] { composed = composer::composePlain(in, Text2); });
    if (composed) step([&] { deliverQuickText(); });
}

std::optional<bool> frmSendText::nameShowsNowPlaying() {
    const composer::Sources in = composerSources();
    std::wstring name;
    if (!in.friendlyName(name)) return std::nullopt;
    return composer::isNowPlayingName(in, name);
}

void frmSendText::deliverQuickText() { remember(delivery.send(Text2)); }

void frmSendText::sendWaiting() { remember(delivery.sendWaiting()); }

void frmSendText::dropWaiting() { delivery.dropWaiting(); }

// Text3 keeps the class seen at the last look of any delivery; one that did
// not look leaves it as it was.
void frmSendText::remember(Look look) {
    if (look.foregroundClass) Text3 = std::move(*look.foregroundClass);
}

void frmSendText::oMessengerAPI_OnIMWindowCreated(IDispatch* pIMWindow) {
    if (!oWindowList) return;
    step([&] { oWindowList->AddWindow(pIMWindow); });
}

void frmSendText::oMessengerAPI_OnIMWindowDestroyed(IDispatch* pIMWindow) {
    if (!oWindowList) return;
    step([&] {
        std::wstring key;
        if (SUCCEEDED(windowKey(pIMWindow, key))) oWindowList->RemoveWindow(key);
    });
}

} // namespace tc
