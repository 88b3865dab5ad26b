#include "plugin/ClassFactory.h"

#include "platform/Boundary.h"
#include "plugin/StartUp.h"
#include "plugin/Server.h"
#include "plugin/PlayerPlugin.h"

namespace tc {
namespace {

class PlayerPluginFactory final : public IClassFactory {
public:
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        if (iid == IID_IUnknown || iid == IID_IClassFactory) {
            *out = static_cast<IClassFactory*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    // A static object: its life is the module's, tracked through LockServer.
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }

    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
        return comBoundary([&] {
            if (!out) return E_POINTER;
            *out = nullptr;
            if (outer) return CLASS_E_NOAGGREGATION;
            HRESULT hr = PlayerPlugin::create(iid, out);
            if (FAILED(hr)) return hr;
            // A step that fails leaves the background work as far as it got;
            // the object is still handed out and its commands still work.
            server::markBackgroundStarted();
            startUp();
            return S_OK;
        });
    }

    STDMETHODIMP LockServer(BOOL lock) override {
        if (lock) server::addRef();
        else server::release();
        return S_OK;
    }
};

PlayerPluginFactory g_factory;

} // namespace

HRESULT getPlayerPluginFactory(REFIID iid, void** out) { return g_factory.QueryInterface(iid, out); }

bool canUnloadNow() { return !server::backgroundStarted() && server::lockCount() == 0; }

} // namespace tc
