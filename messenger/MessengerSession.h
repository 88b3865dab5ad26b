#pragma once
// The plug-in's link to the messenger: the query object that answers who is
// signed in and under what name, the event object whose window and sign-in
// events keep the conversation list, and the connection to those events,
// made again later when the messenger was not running yet.
#include "MessengerApi_h.h"
#include "messenger/ConversationList.h"
#include "messenger/EventSink.h"
#include "platform/ComPtr.h"

#include <string>
#include <utility>

namespace tc {

class MessengerSession {
public:
    MessengerSession() = default;
    MessengerSession(const MessengerSession&) = delete;
    MessengerSession& operator=(const MessengerSession&) = delete;

    // Creates the event object and connects to its events, once; stops at a
    // failure and returns it. Called again by a caller that needs the
    // connection when the first call could not make it.
    HRESULT connect();

    // From the query object: created on first use and kept; after a failed
    // creation the next use tries again.
    HRESULT signinName(std::wstring& out);
    HRESULT friendlyName(std::wstring& out);

    // The open conversations, in the order they opened. Connects first when
    // that could not be done before.
    const ConversationList& conversations();
    // Opens a conversation with that contact, through the event object.
    HRESULT instantMessage(const std::wstring& contact, ComPtr<IMessengerConversationWnd>& out);

    // Whether the messenger said that the user signed in since the last call.
    bool takeSignedIn() { return std::exchange(events_.signedInSince, false); }

private:
    // What the event sink hands the events to: the list and the news of a
    // sign-in, both read by the session's users through it. Skip-on-error:
    // a window the list cannot take is left out.
    struct Events final : MessengerEvents {
        void windowCreated(IDispatch* window) override;
        void windowDestroyed(IDispatch* window) override;
        void signedIn() override { signedInSince = true; }
        ConversationList list;
        bool signedInSince = false;
    };

    HRESULT queryObject(ComPtr<::IMessenger>& out);

    ComPtr<::IMessenger> query_;
    ComPtr<::IMessenger> eventObject_;
    Events events_;
};

} // namespace tc
