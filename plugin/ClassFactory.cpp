#include "plugin/ClassFactory.h"

#include "PlayerPlugin_h.h"

#include "platform/Boundary.h"
#include "platform/ComObject.h"
#include "plugin/Background.h"
#include "plugin/Server.h"
#include "plugin/PlayerPlugin.h"

namespace tc {
namespace {

class PlayerPluginFactory final : public ComObject<PlayerPluginFactory, IClassFactory> {
public:
    static constexpr InterfaceEntry<PlayerPluginFactory> kInterfaces[] = {
        {&IID_IClassFactory, interfaceOf<PlayerPluginFactory, IClassFactory>},
    };

    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
        return comBoundary([&] {
            if (!out) return E_POINTER;
            *out = nullptr;
            if (outer) return CLASS_E_NOAGGREGATION;
            // Handed out only once nothing can fail any more: a failure
            // reported with an object in *out would leak it.
            void* object = nullptr;
            HRESULT hr = PlayerPlugin::create(iid, &object);
            if (FAILED(hr)) return hr;
            ComPtr<IUnknown> hold = ComPtr<IUnknown>::attach(static_cast<IUnknown*>(object));
            // A step that fails leaves the background work as far as it got;
            // the object is still handed out and its commands still work.
            server::markBackgroundStarted();
            startUpOnce();
            *out = hold.detach();
            return S_OK;
        });
    }

    STDMETHODIMP LockServer(BOOL lock) override {
        if (lock) server::addRef();
        else server::release();
        return S_OK;
    }
};

// The class object lives as long as the module: it keeps a reference of its
// own that it never gives up. What keeps the module loaded meanwhile is
// LockServer.
PlayerPluginFactory& factory() {
    static PlayerPluginFactory* object = new PlayerPluginFactory();
    return *object;
}

} // namespace

HRESULT getPlayerPluginFactory(REFIID iid, void** out) { return factory().QueryInterface(iid, out); }

HRESULT getClassObject(REFCLSID clsid, REFIID iid, void** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (clsid != CLSID_PlayerPlugin) return CLASS_E_CLASSNOTAVAILABLE;
    // The first call makes the class object.
    return comBoundary([&] { return getPlayerPluginFactory(iid, out); });
}

bool canUnloadNow() { return !server::backgroundStarted() && server::lockCount() == 0; }

} // namespace tc
