#pragma once
// The hidden form that changes the display name: it composes the "/name"
// command (Text2), delivers it through the add-on's quick-text slot 09 and
// Alt+0, and keeps the list of open conversation windows from the
// messenger's events.
#include "MessengerApi_h.h"
#include "messenger/IMessenger.h"
#include "platform/ComPtr.h"

#include <memory>
#include <string>

namespace tc {

class frmSendText {
public:
    // The one instance; created and loaded (load handler run) on first use.
    // Lives until the process ends.
    static frmSendText& get();
    // The instance if it exists, without creating it.
    static frmSendText* existing();

    // Load handler: creates the event messenger object (connected to the
    // window events), then the window list. Stops at a failure and returns it.
    HRESULT load();
    // What the first load returned.
    HRESULT loadResult() const { return loadHr_; }

    // Skip-on-error: each step that fails has no effect, the next step runs,
    // and both always succeed towards their caller.
    void changeName();
    void changeNameBack();
    void deliverQuickText();

    std::wstring Text2;  // the staged name command; starts empty
    std::wstring Text3;  // class name of the foreground window at the last delivery
    ComPtr<::IMessenger> oMessengerAPI;
    std::unique_ptr<IMessenger> oWindowList;

private:
    frmSendText() = default;
    HRESULT loadHr_ = S_OK;
};

} // namespace tc
