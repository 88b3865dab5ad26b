#pragma once
// Receives the messenger's DMessengerEvents and hands the two window events
// to frmSendText's window list.
#include <oaidl.h>

namespace tc {

// A new sink (one reference, owned by the caller).
HRESULT createMessengerEventSink(IDispatch** out);

} // namespace tc
