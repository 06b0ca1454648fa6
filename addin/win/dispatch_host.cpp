#include "addin/win/dispatch_host.h"

#include "addin/win/dispatch_object.h"
#include "addin/win/host_class.h"

#include "common/win/com_error.h"

namespace kestova::addin::win {

namespace {

using kestova::win::UniqueBstr;
using kestova::win::UniqueVariant;

VARIANT Long(int32_t value) {
    VARIANT v;
    ::VariantInit(&v);
    V_VT(&v) = VT_I4;
    V_I4(&v) = value;
    return v;
}

VARIANT Single(float value) {
    VARIANT v;
    ::VariantInit(&v);
    V_VT(&v) = VT_R4;
    V_R4(&v) = value;
    return v;
}

// A string argument; the BSTR stays owned by the caller's UniqueBstr.
VARIANT String(const UniqueBstr& text) {
    VARIANT v;
    ::VariantInit(&v);
    V_VT(&v) = VT_BSTR;
    V_BSTR(&v) = text.get();
    return v;
}

std::optional<std::wstring> StringProperty(IDispatch* object, const wchar_t* member) {
    UniqueVariant result;
    if (FAILED(Call(object, member, DISPATCH_PROPERTYGET, result.get())))
        return std::nullopt;
    UniqueVariant text;
    if (FAILED(::VariantChangeTypeEx(text.get(), result.get(), LOCALE_INVARIANT, 0, VT_BSTR)))
        return std::nullopt;
    BSTR value = V_BSTR(text.get());
    return std::wstring(value ? value : L"", ::SysStringLen(value));
}

std::optional<int32_t> IntProperty(IDispatch* object, const wchar_t* member) {
    UniqueVariant result;
    if (FAILED(Call(object, member, DISPATCH_PROPERTYGET, result.get())))
        return std::nullopt;
    UniqueVariant value;
    if (FAILED(::VariantChangeType(value.get(), result.get(), 0, VT_I4)))
        return std::nullopt;
    return V_I4(value.get());
}

ComPtr<IDispatch> Presentations(const HostObject& application) {
    return ObjectMember(DispatchOf(application), L"Presentations");
}

HostRef Wrap(ComPtr<IDispatch> object) {
    return object ? std::make_shared<DispatchObject>(std::move(object)) : nullptr;
}

// The event receiver as the session service sees it: a HostClass object of this library.
class HostClassSink : public EventSink {
public:
    explicit HostClassSink(ComPtr<HostClass> hostClass) : hostClass_(std::move(hostClass)) {}
    bool SetHostApp(const HostRef& application) override {
        return SUCCEEDED(hostClass_->Connect(DispatchOf(application)));
    }

private:
    ComPtr<HostClass> hostClass_;
};

} // namespace

std::optional<std::wstring> DispatchHost::Version(const HostObject& application) {
    return StringProperty(DispatchOf(application), L"Version");
}

std::optional<int32_t> DispatchHost::PresentationCount(const HostObject& application) {
    ComPtr<IDispatch> presentations = Presentations(application);
    return IntProperty(presentations.Get(), L"Count");
}

HostRef DispatchHost::PresentationItem(const HostObject& application, int32_t index) {
    ComPtr<IDispatch> presentations = Presentations(application);
    return Wrap(ObjectMember(presentations.Get(), L"Item", {Long(index)},
                             DISPATCH_METHOD | DISPATCH_PROPERTYGET));
}

std::optional<std::wstring> DispatchHost::FullName(const HostObject& presentation) {
    return StringProperty(DispatchOf(presentation), L"FullName");
}

HostRef DispatchHost::OpenPresentation(const HostObject& application, const std::wstring& fileName,
                                       std::wstring& failure) {
    ComPtr<IDispatch> presentations = Presentations(application);
    UniqueBstr name(fileName.c_str(), static_cast<UINT>(fileName.size()));
    if (!presentations || !name.get())
        return nullptr;
    constexpr int32_t msoFalse = 0;
    // Opened for editing, under its own name, without a document window.
    VARIANT arguments[] = {String(name), Long(msoFalse), Long(msoFalse), Long(msoFalse)};
    UniqueVariant result;
    kestova::win::DispatchFailure failed;
    const HRESULT hr = kestova::win::InvokeByName(presentations.Get(), L"Open", DISPATCH_METHOD,
                                                  arguments, result.get(), &failed);
    if (FAILED(hr)) {
        // The host's own words, else the system's for the code.
        failure = !failed.description.empty() ? failed.description
                                              : kestova::win::SystemMessage(failed.code);
        return nullptr;
    }
    return Wrap(ObjectFromVariant(*result.get()));
}

std::optional<bool> DispatchHost::Saved(const HostObject& presentation) {
    // An MsoTriState: msoTrue (-1) when nothing is left unsaved.
    const std::optional<int32_t> saved = IntProperty(DispatchOf(presentation), L"Saved");
    if (!saved)
        return std::nullopt;
    return *saved != 0;
}

std::optional<int32_t> DispatchHost::WindowCount(const HostObject& presentation) {
    ComPtr<IDispatch> windows = ObjectMember(DispatchOf(presentation), L"Windows");
    return IntProperty(windows.Get(), L"Count");
}

bool DispatchHost::ClosePresentation(const HostObject& presentation) {
    return SUCCEEDED(Call(DispatchOf(presentation), L"Close", DISPATCH_METHOD, nullptr));
}

bool DispatchHost::SameObject(const HostObject& a, const HostObject& b) {
    // COM identity: the IUnknown of one object is always the same pointer, proxies included.
    ComPtr<IUnknown> first, second;
    IDispatch* x = DispatchOf(a);
    IDispatch* y = DispatchOf(b);
    if (!x || !y || FAILED(x->QueryInterface(IID_PPV_ARGS(&first))) ||
        FAILED(y->QueryInterface(IID_PPV_ARGS(&second))))
        return false;
    return first.Get() == second.Get();
}

HostRef DispatchHost::RunSlideShow(const HostObject& presentation) {
    ComPtr<IDispatch> settings = ObjectMember(DispatchOf(presentation), L"SlideShowSettings");
    return Wrap(ObjectMember(settings.Get(), L"Run", {}, DISPATCH_METHOD));
}

bool DispatchHost::SetWindowPlacement(const HostObject& window, WindowEdge edge, float points) {
    static const wchar_t* const names[] = {L"Left", L"Top", L"Width", L"Height"};
    return SUCCEEDED(Call(DispatchOf(window), names[static_cast<int>(edge)], DISPATCH_PROPERTYPUT,
                          nullptr, {Single(points)}));
}

bool DispatchHost::ExitSlideShow(const HostObject& window) {
    ComPtr<IDispatch> view = ObjectMember(DispatchOf(window), L"View");
    return SUCCEEDED(Call(view.Get(), L"Exit", DISPATCH_METHOD, nullptr));
}

std::unique_ptr<EventSink> DispatchHost::NewEventSink(std::function<void()> onSlideShowEnd) {
    ComPtr<HostClass> hostClass = HostClass::Create(std::move(onSlideShowEnd));
    if (!hostClass)
        return nullptr;
    return std::make_unique<HostClassSink>(std::move(hostClass));
}

} // namespace kestova::addin::win
