#pragma once
// The hidden form that changes the display name: it composes the "/name"
// command (Text2), delivers it through the add-on's quick-text slot 09 and
// Alt+0, and keeps the list of open conversation windows from the
// messenger's events.
#include "MessengerApi_h.h"
#include "messenger/IMessenger.h"
#include "platform/Clock.h"
#include "platform/ComPtr.h"

#include "messenger/NameComposer.h"

#include <memory>
#include <optional>
#include <string>

namespace tc {

class frmSendText {
public:
    // The process has one, made by the start-up routine; its waits on the
    // window system are measured with `clock`.
    explicit frmSendText(Clock& clock) : clock_(clock) {}
    frmSendText(const frmSendText&) = delete;
    frmSendText& operator=(const frmSendText&) = delete;

    // Load handler: creates the event messenger object (connected to the
    // window events), then the window list. Stops at a failure and returns it.
    // Run again by a delivery that needs the event object when the first run
    // could not create it (the messenger was not running yet).
    HRESULT load();

    // Skip-on-error: each step that fails has no effect, the next step runs,
    // and both always succeed towards their caller.
    void changeName();
    void changeNameBack();
    void deliverQuickText();

    // A delivery that could only open the hidden conversation pressed no
    // key. Its command stays pending until a later delivery replaces it or
    // the next tick that runs no delivery of its own sends it, once: whatever
    // that try does, the command is not kept any longer.
    void deliverPendingCommand();
    void dropPendingCommand() { pending_.reset(); }
    // Deliveries started so far, for a tick to tell whether it ran one.
    unsigned deliveries() const { return deliveries_; }

    // The messenger's window events (skip-on-error: failures are ignored).
    void oMessengerAPI_OnIMWindowCreated(IDispatch* pIMWindow);
    void oMessengerAPI_OnIMWindowDestroyed(IDispatch* pIMWindow);

    // The query Messenger object: created on first use and kept; after a
    // failed creation the next use tries again.
    HRESULT queryMessenger(ComPtr<::IMessenger>& out);

    std::wstring Text2;  // the staged name command; starts empty
    std::wstring Text3;  // class name of the foreground window at the last delivery
    WindowCollection colIMWindows; // the open conversations, in opening order
    ComPtr<::IMessenger> oMessengerAPI;
    std::unique_ptr<IMessenger> oWindowList;

private:
    // How a delivery ended: only one that opened the hidden conversation has
    // a command left to send.
    enum class Delivered { Finished, OnlyOpened };
    Delivered deliver(const std::wstring& command);
    HRESULT signin(std::wstring& out);
    std::optional<std::wstring> currentSlot();
    std::optional<std::wstring> writableSlot();
    composer::Sources composerSources();
    bool bringToFront(IMessengerConversationWnd* w);
    void sendKeysAndWait(DWORD start);

    Clock& clock_;
    ComPtr<::IMessenger> query_;
    std::optional<std::wstring> pending_;
    unsigned deliveries_ = 0;
};

inline constexpr const wchar_t* kConversationClass = L"IMWindowClass";
inline constexpr int kClassNameLimit = 250;
// How long a delivery keeps asking for its window to come to the front.
inline constexpr DWORD kBringToFrontMilliseconds = 300;
// The sleeps between two attempts to bring a window to the front: the first,
// and the longest they grow to. A window that does not come at once is
// mostly one the system refuses for a while; asking often costs processor
// time and gains nothing.
inline constexpr DWORD kBringToFrontFirstPause = 5;
inline constexpr DWORD kBringToFrontLongestPause = 100;
// The most a delivery holds the host's thread waiting on the window system:
// bringing its window to the front and then letting its keystroke be read
// share this one budget.
inline constexpr DWORD kDeliveryWaitMilliseconds = 450;

} // namespace tc
