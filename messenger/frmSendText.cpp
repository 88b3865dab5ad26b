#include "messenger/frmSendText.h"

#include "messenger/EventSink.h"
#include "messenger/MessengerAccess.h"
#include "messenger/NameComposer.h"
#include "platform/Win32.h"
#include "settings/QuickTextSlot.h"
#include "settings/SettingsStore.h"
#include "settings/modReg.h"

#include <algorithm>
#include <new>

namespace tc {
namespace {

// One unit of a skip-on-error method: whatever goes wrong inside ends only
// this step.
template <class F>
void step(F&& body) {
    try {
        body();
    } catch (...) {
    }
}

HWND asWindow(LONG handle) { return reinterpret_cast<HWND>(static_cast<LONG_PTR>(handle)); }

void hide(IMessengerConversationWnd* w) {
    LONG handle = 0;
    if (SUCCEEDED(messenger::windowHandle(w, handle))) ShowWindow(asWindow(handle), SW_HIDE);
}

// Bringing the debug conversation to the front made it the active window,
// and hiding it does not change that when it was hidden already: the user's
// next keys would go into an invisible conversation. The window that was in
// front before the delivery gets the front back; when there was none (or it
// has gone), the front goes to the desktop.
void handBackTheFront(HWND before, IMessengerConversationWnd* w) {
    LONG handle = 0;
    const HWND debug = SUCCEEDED(messenger::windowHandle(w, handle)) ? asWindow(handle) : nullptr;
    if (before && before != debug && IsWindow(before)) {
        SetForegroundWindow(before);
        return;
    }
    if (debug && GetForegroundWindow() == debug) {
        HWND desktop = GetShellWindow();
        SetForegroundWindow(desktop ? desktop : GetDesktopWindow());
    }
}

} // namespace

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

HRESULT frmSendText::signin(std::wstring& out) {
    ComPtr<::IMessenger> m;
    HRESULT hr = queryMessenger(m);
    if (FAILED(hr)) return hr;
    return messenger::signinName(m.get(), out);
}

// The slot of the user signed in now; nothing when the sign-in name cannot
// be read or cannot name a slot.
std::optional<std::wstring> frmSendText::currentSlot() {
    std::wstring name;
    if (FAILED(signin(name))) return std::nullopt;
    return quickText::slotPath(name);
}

// The same, for writing: the user's own content of the slot is saved first,
// the first time, and a slot whose content could not be saved is not written.
std::optional<std::wstring> frmSendText::writableSlot() {
    std::wstring name;
    if (FAILED(signin(name)) || !quickText::keepOriginal(name)) return std::nullopt;
    return quickText::slotPath(name);
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

// Asks for the window to come to the front until it is there or the bound
// has passed. Another application may hold the foreground for as long as it
// likes, so the loop cannot wait for it forever, and it sleeps between
// attempts, ever longer, so that waiting costs next to no processor time.
// It dispatches no messages. True only when the window was seen in front; a
// window whose handle cannot be read is never.
bool frmSendText::bringToFront(IMessengerConversationWnd* w) {
    const DWORD start = clock_.now();
    DWORD pause = kBringToFrontFirstPause;
    for (;;) {
        LONG handle = 0;
        if (SUCCEEDED(messenger::windowHandle(w, handle))) SetForegroundWindow(asWindow(handle));
        HWND front = GetForegroundWindow();
        if (FAILED(messenger::windowHandle(w, handle))) return false;
        if (front == asWindow(handle)) return true;
        const DWORD spent = clock_.now() - start;
        if (spent >= kBringToFrontMilliseconds) return false;
        clock_.sleep(std::min(pause, kBringToFrontMilliseconds - spent));
        pause = std::min<DWORD>(pause * 2, kBringToFrontLongestPause);
    }
}

// Presses Alt+0 and lets this thread read the keys, within what is left of
// the delivery's budget since `start`. Keys the system refused are not
// waited for.
void frmSendText::sendKeysAndWait(DWORD start) {
    if (!win::sendAltZero()) return;
    const DWORD spent = clock_.now() - start;
    if (spent < kDeliveryWaitMilliseconds)
        win::drainKeyboardInput(clock_, kDeliveryWaitMilliseconds - spent);
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

void frmSendText::deliverQuickText() {
    ++deliveries_;
    pending_.reset();
    if (deliver(Text2) == Delivered::OnlyOpened) pending_ = Text2;
}

void frmSendText::deliverPendingCommand() {
    if (!pending_) return;
    const std::wstring command = std::move(*pending_);
    pending_.reset();
    deliver(command);
}

frmSendText::Delivered frmSendText::deliver(const std::wstring& command) {
    // Nothing composed yet in this process: there is no command to send, and
    // pressing the hot key would send whatever the slot held before.
    if (command.empty()) return Delivered::Finished;

    bool readAutoSend = false;
    LONG autoSend = 0;
    step([&] {
        const std::optional<std::wstring> slot = currentSlot();
        if (!slot) return;
        autoSend = modReg::ReadRegDword(HKEY_CURRENT_USER, *slot, L"AutoSend");
        readAutoSend = true;
    });
    if (readAutoSend && autoSend == 0) {
        step([&] {
            if (const std::optional<std::wstring> slot = writableSlot())
                modReg::WriteRegDword(HKEY_CURRENT_USER, *slot, L"AutoSend", 1);
        });
    }
    bool slotWritten = false;
    step([&] {
        if (const std::optional<std::wstring> slot = writableSlot())
            slotWritten = modReg::WriteRegString(HKEY_CURRENT_USER, *slot, L"Message", command);
    });
    // The hot key sends whatever the slot holds: unless this delivery put
    // its command there, that is an old text, maybe the user's own.
    if (!slotWritten) return Delivered::Finished;

    HWND before = nullptr;
    step([&] {
        before = GetForegroundWindow();
        Text3 = win::className(before, kClassNameLimit);
    });
    if (Text3 == kConversationClass) {
        // The user's own conversation stays in front and reads the keys itself,
        // but now: the add-on takes the slot's text when it handles them, and
        // a second delivery in the same tick would rewrite the slot first.
        sendKeysAndWait(clock_.now());
        return Delivered::Finished;
    }

    // The debug conversation is found, or opened, only through the event
    // object; when the messenger was not running at load, try again now.
    if (!oMessengerAPI || !oWindowList) step([&] { load(); });

    std::vector<ComPtr<IDispatch>> windows;
    if (oWindowList) step([&] { windows = oWindowList->NewEnum(); });
    for (const ComPtr<IDispatch>& entry : windows) {
        ComPtr<IMessengerConversationWnd> w;
        std::wstring contact;
        if (FAILED(entry.as(IID_IMessengerConversationWnd, w)) ||
            FAILED(messenger::firstContactSignin(w.get(), contact)) ||
            contact != messenger::kDebugContact)
            continue;
        // The keys reach the window only when this thread reads them;
        // hiding it first would hand them to whichever window gets the focus
        // next.
        const DWORD start = clock_.now();
        if (bringToFront(w.get())) sendKeysAndWait(start);
        hide(w.get());
        handBackTheFront(before, w.get());
        return Delivered::Finished;
    }

    ComPtr<IMessengerConversationWnd> opened;
    if (!oMessengerAPI ||
        FAILED(messenger::instantMessage(oMessengerAPI.get(), messenger::kDebugContact, opened)))
        return Delivered::Finished;
    // A conversation that has only just opened gets no keys from this call;
    // the command waits for the next tick (deliverPendingCommand).
    bringToFront(opened.get());
    hide(opened.get());
    handBackTheFront(before, opened.get());
    return Delivered::OnlyOpened;
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
