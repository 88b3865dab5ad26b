#pragma once
// Receives the messenger's DMessengerEvents and hands the two window events
// to the handlers that keep the conversation list. Every other event is
// answered S_OK and ignored.
#include <oaidl.h>

namespace tc {

inline constexpr DISPID kOnIMWindowCreated = 1041;
inline constexpr DISPID kOnIMWindowDestroyed = 1042;

// What the sink needs of the hidden form: its two window event handlers.
// They report nothing; a window they cannot take is their own affair.
class MessengerWindowEvents {
public:
    virtual void oMessengerAPI_OnIMWindowCreated(IDispatch* pIMWindow) = 0;
    virtual void oMessengerAPI_OnIMWindowDestroyed(IDispatch* pIMWindow) = 0;

protected:
    ~MessengerWindowEvents() = default;
};

// A new sink for those handlers, which outlive it (one reference, owned by
// the caller).
HRESULT createMessengerEventSink(MessengerWindowEvents& handlers, IDispatch** out);

} // namespace tc
