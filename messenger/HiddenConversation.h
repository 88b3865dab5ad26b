#pragma once
// The plug-in's own conversation with the pseudo-contact "Debug.Window": the
// window that takes the hot key when none of the user's conversations is in
// front. It is opened once, kept hidden, and found again in the window list.
#include "MessengerApi_h.h"
#include "platform/ComPtr.h"

#include <windows.h>

#include <string>
#include <vector>

namespace tc {

// What the delivery needs of the messenger. The form that owns the delivery
// supplies it from its query object, its event object and its window list.
class MessengerSide {
public:
    virtual HRESULT signinName(std::wstring& out) = 0;
    virtual HRESULT friendlyName(std::wstring& out) = 0;
    // The open conversations in the order they opened. Connects to the
    // messenger's window events first when that could not be done before.
    virtual std::vector<ComPtr<IDispatch>> conversations() = 0;
    // Opens a conversation with that contact.
    virtual HRESULT instantMessage(const std::wstring& contact,
                                   ComPtr<IMessengerConversationWnd>& out) = 0;

protected:
    ~MessengerSide() = default;
};

namespace hiddenConversation {

// The first conversation in list order whose first contact reads as
// "Debug.Window"; one whose contacts cannot be read is passed over, and a
// later match is never touched. Null when there is none.
ComPtr<IMessengerConversationWnd> find(MessengerSide& messenger);

// A new one; null when the messenger could not open it.
ComPtr<IMessengerConversationWnd> open(MessengerSide& messenger);

// The conversation's window as it reports it now; null when that cannot be
// read. Never kept: the messenger may close the window at any time.
HWND window(IMessengerConversationWnd* conversation);

void hide(IMessengerConversationWnd* conversation);

} // namespace hiddenConversation
} // namespace tc
