#pragma once
// The object the host creates. It holds no state of its own: everything it
// acts on is process-wide.
#include "PlayerPlugin_h.h"
#include "platform/ComObject.h"
#include "platform/ComPtr.h"
#include "plugin/Server.h"

namespace tc {

class PlayerPlugin final : public ComObject<PlayerPlugin, _PlayerPlugin> {
public:
    static constexpr InterfaceEntry<PlayerPlugin> kInterfaces[] = {
        {&IID__PlayerPlugin, interfaceOf<PlayerPlugin, _PlayerPlugin>},
        {&IID_IDispatch, interfaceOf<PlayerPlugin, _PlayerPlugin>},
    };

    static HRESULT create(REFIID iid, void** out);

    // IDispatch, served from the embedded type library
    STDMETHODIMP GetTypeInfoCount(UINT* count) override;
    STDMETHODIMP GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) override;
    STDMETHODIMP GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID lcid,
                               DISPID* ids) override;
    STDMETHODIMP Invoke(DISPID id, REFIID iid, LCID lcid, WORD flags, DISPPARAMS* params,
                        VARIANT* result, EXCEPINFO* excep, UINT* argErr) override;

    // _PlayerPlugin
    STDMETHODIMP Initialize(LONG nVersion, BSTR sUserEmail, IDispatch* oMessenger,
                            VARIANT_BOOL* result) override;
    STDMETHODIMP Uninitialize(VARIANT* result) override;
    STDMETHODIMP GetPublishInfo(BSTR* sPluginName, LONG* nCommandCount, LONG* nTagCount,
                                VARIANT_BOOL* result) override;
    STDMETHODIMP GetPublishCommandInfo(LONG nCommandIdx, BSTR* sName, BSTR* sValue, BSTR* sHelp,
                                       VARIANT* result) override;
    STDMETHODIMP ParseCommand(BSTR sCommand, BSTR sCommandArg, IDispatch* oConversationWnd,
                              BSTR* sResult, VARIANT_BOOL* result) override;
    STDMETHODIMP ParseTag(BSTR sTag, IDispatch* oConversationWnd, BSTR* sResult,
                          VARIANT_BOOL* result) override;
    STDMETHODIMP ReceiveNotify(BSTR sNotifyCode, BSTR sText, IDispatch* oConversationWnd,
                               BSTR* sTextToSend, VARIANT_BOOL* result) override;

private:
    PlayerPlugin() = default;

    server::Ref serverRef_;
};

} // namespace tc
