#include "messenger/EventSink.h"

#include "MessengerApi_h.h"
#include "platform/Boundary.h"
#include "platform/ComObject.h"
#include "platform/Handles.h"

#include <new>

namespace tc {
namespace {

class MessengerEventSink final : public ComObject<MessengerEventSink, IDispatch> {
public:
    static constexpr InterfaceEntry<MessengerEventSink> kInterfaces[] = {
        {&IID_IDispatch, interfaceOf<MessengerEventSink, IDispatch>},
        {&DIID_DMessengerEvents, interfaceOf<MessengerEventSink, IDispatch>},
    };

    explicit MessengerEventSink(MessengerEvents& handlers) : handlers_(handlers) {}

    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        if (!count) return E_POINTER;
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** info) override {
        if (info) *info = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT count, LCID,
                                            DISPID* ids) override {
        if (ids)
            for (UINT i = 0; i < count; ++i) ids[i] = DISPID_UNKNOWN;
        return DISP_E_UNKNOWNNAME;
    }
    // The messenger does not care what a sink does with its events: ignored
    // ones, and window events the list could not take, all answer S_OK.
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*,
                                     EXCEPINFO*, UINT*) override {
        return comBoundary([&] {
            if (id != kOnIMWindowCreated && id != kOnIMWindowDestroyed && id != kOnSignin)
                return S_OK;
            if (!params || params->cArgs < 1 || !params->rgvarg) return S_OK;
            if (id == kOnSignin) {
                // Its one argument is the sign-in's result: a failed one
                // changes nothing.
                Variant result;
                if (SUCCEEDED(VariantChangeType(result.get(), &params->rgvarg[params->cArgs - 1],
                                                0, VT_I4)) &&
                    SUCCEEDED(result.get()->lVal))
                    handlers_.signedIn();
                return S_OK;
            }
            // The window is the only argument; it may come by reference.
            Variant window;
            VARIANT* arg = &params->rgvarg[params->cArgs - 1];
            if (FAILED(VariantChangeType(window.get(), arg, 0, VT_DISPATCH))) return S_OK;
            IDispatch* conversation = window.get()->pdispVal;
            if (!conversation) return S_OK;
            if (id == kOnIMWindowCreated) handlers_.windowCreated(conversation);
            else handlers_.windowDestroyed(conversation);
            return S_OK;
        });
    }

private:
    MessengerEvents& handlers_;
};

} // namespace

HRESULT createMessengerEventSink(MessengerEvents& handlers, IDispatch** out) {
    if (!out) return E_POINTER;
    *out = new (std::nothrow) MessengerEventSink(handlers);
    return *out ? S_OK : E_OUTOFMEMORY;
}

} // namespace tc
