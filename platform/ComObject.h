#pragma once
// IUnknown, written once for every COM object of ours: QueryInterface from
// the object's table of interfaces, and an atomic reference count; the
// object deletes itself when the count drops to zero.
//
//   class Sink final : public ComObject<Sink, IDispatch> {
//   public:
//       static constexpr InterfaceEntry<Sink> kInterfaces[] = {
//           {&IID_IDispatch, interfaceOf<Sink, IDispatch>},
//           {&DIID_DMessengerEvents, interfaceOf<Sink, IDispatch>},
//       };
//       ...
//   };
//
// IUnknown itself answers with the table's first interface, the object's
// identity.
#include <unknwn.h>

namespace tc {

template <class Object>
struct InterfaceEntry {
    const IID* iid;
    void* (*cast)(Object*);
};

template <class Object, class Interface>
void* interfaceOf(Object* object) {
    return static_cast<Interface*>(object);
}

template <class Object, class... Interfaces>
class ComObject : public Interfaces... {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        Object* self = static_cast<Object*>(this);
        if (iid == IID_IUnknown) *out = Object::kInterfaces[0].cast(self);
        for (const InterfaceEntry<Object>& entry : Object::kInterfaces)
            if (!*out && *entry.iid == iid) *out = entry.cast(self);
        if (!*out) return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override {
        return static_cast<ULONG>(InterlockedIncrement(&refs_));
    }
    ULONG STDMETHODCALLTYPE Release() override {
        const LONG left = InterlockedDecrement(&refs_);
        if (left == 0) delete this;
        return static_cast<ULONG>(left);
    }

protected:
    // Made with one reference, which the creator owns.
    ComObject() = default;
    virtual ~ComObject() = default;

private:
    volatile LONG refs_ = 1;
};

} // namespace tc
