#include "addin/win/class_factory.h"

#include "addin/win/adopt.h"
#include "addin/win/com_object.h"
#include "addin/win/module_lock.h"
#include "common/win/unique_handle.h"

#include <new>

namespace kestova::addin::win {

namespace {

class ClassFactory final : public ComObject<ClassFactory, IClassFactory> {
public:
    explicit ClassFactory(CreateInstanceFunction create) noexcept : create_(create) {}

    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** object) override {
        if (!object)
            return E_POINTER;
        *object = nullptr;
        if (outer)
            return CLASS_E_NOAGGREGATION;
        return create_(iid, object);
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
        win::LockServer(lock != FALSE);
        return S_OK;
    }

private:
    friend ComObject;
    ~ClassFactory() = default;
    void* InterfaceFor(REFIID iid) noexcept {
        if (iid == IID_IUnknown || iid == IID_IClassFactory)
            return static_cast<IClassFactory*>(this);
        return nullptr;
    }

    CreateInstanceFunction create_;
};

} // namespace

HRESULT GetClassFactory(CreateInstanceFunction create, REFIID iid, void** object) noexcept {
    if (!object)
        return E_POINTER;
    *object = nullptr;
    auto factory = Adopt(new (std::nothrow) ClassFactory(create));
    if (!factory)
        return E_OUTOFMEMORY;
    return factory->QueryInterface(iid, object);
}

} // namespace kestova::addin::win
