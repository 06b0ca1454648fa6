#pragma once

// IUnknown for the library's COM objects: one interlocked reference count, and the object's place
// in the live-object count behind DllCanUnloadNow for exactly as long as the object exists. The
// object says which interface pointer answers an IID through `void* InterfaceFor(REFIID)`.
#include "addin/win/module_lock.h"

#include <windows.h>
#include <unknwn.h>

#include <atomic>

namespace kestova::addin::win {

// `Object` derives from this and names each COM interface it implements in `Interfaces`; their
// IUnknown methods are all answered here. It befriends ComObject when its destructor is private.
template <typename Object, typename... Interfaces> class ComObject : public Interfaces... {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (!object)
            return E_POINTER;
        *object = static_cast<Object*>(this)->InterfaceFor(iid);
        if (!*object)
            return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
    ULONG STDMETHODCALLTYPE Release() override {
        ULONG left = --refs_;
        if (left == 0)
            delete static_cast<Object*>(this);
        return left;
    }

protected:
    // Starts with the one reference its maker takes over (see Adopt).
    ComObject() noexcept { ObjectCreated(); }
    // Runs after the object's own destructor and its members': whatever the object held is gone
    // before the library may count itself idle.
    ~ComObject() { ObjectDestroyed(); }
    ComObject(const ComObject&) = delete;
    ComObject& operator=(const ComObject&) = delete;

private:
    std::atomic<ULONG> refs_{1};
};

} // namespace kestova::addin::win
