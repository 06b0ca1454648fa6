#include "addin/win/host_class.h"

#include "addin/win/addin_module.h"
#include "addin/win/adopt.h"
#include "addin/win/com_boundary.h"

#include <ocidl.h>

#include <new>

namespace kestova::addin::win {

namespace {

// PowerPoint's Application events and the one of them the session service needs.
const IID DIID_EApplication = {
    0x914934C2, 0x5A91, 0x11CF, {0x87, 0x00, 0x00, 0xAA, 0x00, 0x60, 0x26, 0x3B}};
constexpr DISPID kSlideShowEnd = 2014;

} // namespace

// The sink the host calls. It is a separate object holding no reference back, so that the
// host's reference on it never keeps the Application alive through HostClass.
class ApplicationEvents final : public ComObject<ApplicationEvents, IDispatch> {
public:
    explicit ApplicationEvents(std::function<void()> onSlideShowEnd)
        : onSlideShowEnd_(std::move(onSlideShowEnd)) {}

    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        if (!count)
            return E_POINTER;
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** info) override {
        if (info)
            *info = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
        return E_NOTIMPL;
    }
    // Events come by DISPID: the source's own interface fixes them. Only SlideShowEnd is
    // handled, whichever presentation it names.
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*,
                                     EXCEPINFO*, UINT*) override {
        return Trapped([&] {
            if (id == kSlideShowEnd && onSlideShowEnd_)
                onSlideShowEnd_();
            return S_OK;
        });
    }

private:
    friend ComObject;
    ~ApplicationEvents() = default;
    void* InterfaceFor(REFIID iid) noexcept {
        if (iid == IID_IUnknown || iid == IID_IDispatch || iid == DIID_EApplication)
            return static_cast<IDispatch*>(this);
        return nullptr;
    }

    std::function<void()> onSlideShowEnd_;
};

HostClass::HostClass(std::function<void()> onSlideShowEnd) {
    events_ = Adopt(new ApplicationEvents(std::move(onSlideShowEnd)));
}

HostClass::~HostClass() {
    Disconnect();
    events_.Reset();
}

ComPtr<HostClass> HostClass::Create(std::function<void()> onSlideShowEnd) noexcept {
    ComPtr<HostClass> object;
    try {
        object = Adopt(new HostClass(std::move(onSlideShowEnd)));
    } catch (...) {
    }
    return object;
}

HRESULT HostClass::CreateInstance(REFIID iid, void** object) noexcept {
    ComPtr<HostClass> instance = Create([] { TheMainModule().HostApp_SlideShowEnd(); });
    if (!instance)
        return E_OUTOFMEMORY;
    return instance->QueryInterface(iid, object);
}

HRESULT HostClass::Connect(IDispatch* application) noexcept {
    Disconnect();
    if (!application)
        return S_OK;
    ComPtr<IConnectionPointContainer> container;
    HRESULT hr = application->QueryInterface(IID_PPV_ARGS(&container));
    if (FAILED(hr))
        return hr;
    ComPtr<IConnectionPoint> point;
    hr = container->FindConnectionPoint(DIID_EApplication, &point);
    if (FAILED(hr))
        return hr;
    DWORD cookie = 0;
    hr = point->Advise(events_.Get(), &cookie);
    if (FAILED(hr))
        return hr;
    point_ = std::move(point);
    cookie_ = cookie;
    hostApp_ = application;
    return S_OK;
}

void HostClass::Disconnect() noexcept {
    if (point_)
        point_->Unadvise(cookie_);
    point_.Reset();
    cookie_ = 0;
    hostApp_.Reset();
}

void* HostClass::InterfaceFor(REFIID iid) noexcept {
    if (iid == IID_IUnknown || iid == IID_IDispatch || iid == IID__HostClass)
        return static_cast<_HostClass*>(this);
    return nullptr;
}

HRESULT HostClass::get_HostApp(IDispatch** application) {
    return Trapped([&] {
        if (application)
            hostApp_.CopyTo(application);
        return S_OK;
    });
}

HRESULT HostClass::putref_HostApp(IDispatch* application) {
    return Trapped([&] {
        (void)Connect(application);
        return S_OK;
    });
}

} // namespace kestova::addin::win
