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

    // What the display name should show from now on: the song playing, the
    // plain name, or the plain name if a now-playing name of ours was left
    // with no player playing. Each hands its wish to the delivery, which
    // composes the command when it goes out. Skip-on-error: they always
    // succeed towards their caller.
    void changeName();
    void changeNameBack();
    void putBackNameLeftPlaying();
    // The end of a tick: the wish that waits goes out if it can now.
    void sendWaiting();
    // Switched off: the wish that waits goes nowhere. True when one did.
    bool dropWaiting();
    // Whether the name may have been left showing a song since the last
    // call: the messenger signed in, or a wish was dropped for another user.
    bool takeReasonToLookAgain();
    // The user came back to the session: a road that failed may work now.
    void userIsBack() { delivery.roadMayWorkAgain(); }

    // What the form shows of its state, which only it changes.

    // The name command composed last, at the moment it went out; empty
    // before the first.
    const std::wstring& stagedCommand() const { return Text2; }
    // The class name of the window found in front at the last look of any
    // delivery; empty before the first.
    const std::wstring& foregroundClass() const { return Text3; }
    // Whether a wish waits for a later tick.
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
    void remember(Look look);

    // What the delivery needs of the messenger.
    HRESULT signinName(std::wstring& out) override;
    HRESULT friendlyName(std::wstring& out) override;
    std::vector<ComPtr<IDispatch>> conversations() override;
    HRESULT instantMessage(const std::wstring& contact,
                           ComPtr<IMessengerConversationWnd>& out) override;

    // The messenger's window events (skip-on-error: failures are ignored).
    void oMessengerAPI_OnIMWindowCreated(IDispatch* pIMWindow) override;
    void oMessengerAPI_OnIMWindowDestroyed(IDispatch* pIMWindow) override;
    void oMessengerAPI_OnSignin() override;

    std::wstring Text2;  // the staged name command; starts empty
    std::wstring Text3;  // class name of the foreground window at the last look
    WindowCollection colIMWindows; // the open conversations, in opening order
    ComPtr<::IMessenger> oMessengerAPI;
    std::unique_ptr<IMessenger> oWindowList;
    // The slot, the keys, the front, and the command that waits for it.
    QuickTextDelivery delivery;
    ComPtr<::IMessenger> query_;
    bool signedInSinceLastLook_ = false;
};

} // namespace tc
