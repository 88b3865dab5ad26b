#include "messenger/EventSink.h"

namespace tc {

HRESULT createMessengerEventSink(IDispatch** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    return E_NOTIMPL;
}

} // namespace tc
