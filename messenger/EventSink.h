#pragma once
// Receives the messenger's DMessengerEvents and hands the two window events
// to the handlers that keep the conversation list, and a sign-in that
// succeeded to the one that looks at the name again. Every other event is
// answered S_OK and ignored.
#include <oaidl.h>

namespace tc {

inline constexpr DISPID kOnSignin = 1024;
inline constexpr DISPID kOnIMWindowCreated = 1041;
inline constexpr DISPID kOnIMWindowDestroyed = 1042;

// What the sink needs of the hidden form: its event handlers.
// They report nothing; a window they cannot take is their own affair.
class MessengerWindowEvents {
public:
    virtual void oMessengerAPI_OnIMWindowCreated(IDispatch* pIMWindow) = 0;
    virtual void oMessengerAPI_OnIMWindowDestroyed(IDispatch* pIMWindow) = 0;
    // The user is signed in (again): after a network drop, a wake, or as
    // another user.
    virtual void oMessengerAPI_OnSignin() = 0;

protected:
    ~MessengerWindowEvents() = default;
};

// A new sink for those handlers, which outlive it (one reference, owned by
// the caller).
HRESULT createMessengerEventSink(MessengerWindowEvents& handlers, IDispatch** out);

} // namespace tc
