#pragma once
// The hidden form that changes the display name: it composes the "/name"
// command (Text2), hands it to the quick-text delivery, and keeps the list
// of open conversation windows from the messenger's events.
#include "MessengerApi_h.h"
#include "messenger/EventSink.h"
#include "messenger/HiddenConversation.h"
#include "messenger/IMessenger.h"
#include "messenger/NameComposer.h"
#include "messenger/QuickTextDelivery.h"
#include "platform/Clock.h"
#include "platform/ComPtr.h"

#include <memory>
#include <optional>
#include <string>

namespace tc {

class frmSendText final : private MessengerSide, private MessengerWindowEvents {
public:
    // The process has one, made by the start-up routine; its delivery's
    // waits on the window system are measured with `clock`.
    explicit frmSendText(Clock& clock) : delivery(clock, *this) {}
    frmSendText(const frmSendText&) = delete;
    frmSendText& operator=(const frmSendText&) = delete;

    // Load handler: creates the event messenger object (connected to the
    // window events), then the window list. Stops at a failure and returns it.
    // Run again by a delivery that needs the event object when the first run
    // could not create it (the messenger was not running yet).
    HRESULT load();

    // Skip-on-error: each step that fails has no effect, the next step runs,
    // and all three always succeed towards their caller.
    void changeName();
    void changeNameBack();
    // Whether the display name is the one changeName would set now; nothing
    // when the friendly name cannot be read.
    std::optional<bool> nameShowsNowPlaying();
    // Hands the staged command to the delivery.
    void deliverQuickText();
    // The end of a tick: the command that waits goes out if it can now.
    void sendWaiting();
    // Switched off: the command that waits goes nowhere.
    void dropWaiting();

    // What the form shows of its state, which only it changes.

    // The name command composed last; empty before the first.
    const std::wstring& stagedCommand() const { return Text2; }
    // The class name of the window found in front at the last look of any
    // delivery; empty before the first.
    const std::wstring& foregroundClass() const { return Text3; }
    // Whether a command waits for a later tick.
    bool commandWaits() const { return delivery.hasWaiting(); }
    // Whether load has made the event messenger object, connected to the
    // window events.
    bool connected() const { return static_cast<bool>(oMessengerAPI); }
    // The conversation list; null until load has made it.
    const IMessenger* windowList() const { return oWindowList.get(); }
    // Its entries, in list order, with the keys they are filed under.
    const WindowCollection& windowEntries() const { return colIMWindows; }

    // Whether the user has left the keyboard and the mouse alone long enough
    // for keys to be pressed; what they did so far is seen first.
    bool keyboardFree() { return delivery.keyboardFree(); }

private:
    // The query Messenger object: created on first use and kept; after a
    // failed creation the next use tries again.
    HRESULT queryMessenger(ComPtr<::IMessenger>& out);
    composer::Sources composerSources();
    void remember(Look look);

    // What the delivery needs of the messenger.
    HRESULT signinName(std::wstring& out) override;
    std::vector<ComPtr<IDispatch>> conversations() override;
    HRESULT instantMessage(const std::wstring& contact,
                           ComPtr<IMessengerConversationWnd>& out) override;

    // The messenger's window events (skip-on-error: failures are ignored).
    void oMessengerAPI_OnIMWindowCreated(IDispatch* pIMWindow) override;
    void oMessengerAPI_OnIMWindowDestroyed(IDispatch* pIMWindow) override;

    std::wstring Text2;  // the staged name command; starts empty
    std::wstring Text3;  // class name of the foreground window at the last look
    WindowCollection colIMWindows; // the open conversations, in opening order
    ComPtr<::IMessenger> oMessengerAPI;
    std::unique_ptr<IMessenger> oWindowList;
    // The slot, the keys, the front, and the command that waits for it.
    QuickTextDelivery delivery;
    ComPtr<::IMessenger> query_;
};

} // namespace tc
