#pragma once
// Receives the messenger's DMessengerEvents and hands the two window events
// to frmSendText's handlers. Every other event is answered S_OK and ignored.
#include <oaidl.h>

namespace tc {

class frmSendText;

inline constexpr DISPID kOnIMWindowCreated = 1041;
inline constexpr DISPID kOnIMWindowDestroyed = 1042;

// A new sink for that form, which outlives it (one reference, owned by the
// caller).
HRESULT createMessengerEventSink(frmSendText& form, IDispatch** out);

} // namespace tc
