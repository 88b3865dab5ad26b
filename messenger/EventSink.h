#pragma once
// Receives the messenger's DMessengerEvents and hands the two window events
// and a sign-in that succeeded to their handlers. Every other event is
// answered S_OK and ignored.
#include <oaidl.h>

namespace tc {

inline constexpr DISPID kOnSignin = 1024;
inline constexpr DISPID kOnIMWindowCreated = 1041;
inline constexpr DISPID kOnIMWindowDestroyed = 1042;

// What the sink hands the events to. The handlers report nothing; a window
// they cannot take is their own affair.
class MessengerEvents {
public:
    virtual void windowCreated(IDispatch* window) = 0;
    virtual void windowDestroyed(IDispatch* window) = 0;
    // The user is signed in (again): after a network drop, a wake, or as
    // another user.
    virtual void signedIn() = 0;

protected:
    ~MessengerEvents() = default;
};

// A new sink for those handlers, which outlive it (one reference, owned by
// the caller).
HRESULT createMessengerEventSink(MessengerEvents& handlers, IDispatch** out);

} // namespace tc
