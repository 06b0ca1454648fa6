// The add-in object as automation clients and the host call it, in-process: names and DISPIDs
// from the embedded type library, arguments by value, by reference and as script variants,
// connection handlers, the version notice and the event receiver.
#include "addin/win/addin_module.h"
#include "addin/win/dispatch_object.h"
#include "addin/win/host_class.h"
#include "addin/win/powerpoint_addin.h"
#include "addin_test_support.h"

#include <gtest/gtest.h>

#include <olectl.h>

#include <thread>

using namespace kestova::addin;
using namespace kestova::addin::testing;
using kestova::win::UniqueBstr;
using kestova::win::UniqueVariant;

namespace {

ComPtr<IDispatch> NewAddin() {
    ComPtr<IDispatch> addin;
    win::PowerPointAddin::CreateInstance(IID_IDispatch,
                                         reinterpret_cast<void**>(addin.GetAddressOf()));
    return addin;
}

DISPID IdOf(IDispatch* object, const wchar_t* name) {
    DISPID id = DISPID_UNKNOWN;
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
    return id;
}

// Invokes `name` with arguments in natural order (copied shallowly: the caller owns them).
HRESULT InvokeNamed(IDispatch* object, const wchar_t* name, std::vector<VARIANT> args,
                    VARIANT* result = nullptr, WORD flags = DISPATCH_METHOD) {
    std::reverse(args.begin(), args.end());
    DISPPARAMS params{args.empty() ? nullptr : args.data(), nullptr, static_cast<UINT>(args.size()),
                      0};
    return object->Invoke(IdOf(object, name), IID_NULL, LOCALE_USER_DEFAULT, flags, &params, result,
                          nullptr, nullptr);
}

VARIANT ByRef(LONG* value) {
    VARIANT v{};
    V_VT(&v) = VT_I4 | VT_BYREF;
    V_I4REF(&v) = value;
    return v;
}
VARIANT ByRef(BSTR* value) {
    VARIANT v{};
    V_VT(&v) = VT_BSTR | VT_BYREF;
    V_BSTRREF(&v) = value;
    return v;
}
VARIANT ByRef(VARIANT* value) {
    VARIANT v{};
    V_VT(&v) = VT_VARIANT | VT_BYREF;
    V_VARIANTREF(&v) = value;
    return v;
}
VARIANT Long(LONG value) {
    VARIANT v{};
    V_VT(&v) = VT_I4;
    V_I4(&v) = value;
    return v;
}

const MainModule& Module() {
    return win::TheMainModule();
}

// Closes the next message box titled `caption` (pressing its OK) and reports its text.
class MessageBoxCloser {
public:
    explicit MessageBoxCloser(const wchar_t* caption)
        : thread_([this, caption] {
              for (int i = 0; i < 200 && !found_; ++i) {
                  if (HWND box = FindWindowW(L"#32770", caption)) {
                      wchar_t text[512] = {};
                      GetDlgItemTextW(box, 0xFFFF, text, 512);
                      text_ = text;
                      hasIcon_ = GetDlgItem(box, 0x0440) != nullptr; // the box's icon control
                      found_ = true;
                      PostMessageW(box, WM_COMMAND, IDOK, 0);
                      return;
                  }
                  Sleep(50);
              }
          }) {}
    ~MessageBoxCloser() {
        if (thread_.joinable())
            thread_.join();
    }
    std::wstring Text() {
        thread_.join();
        return text_;
    }
    bool HasIcon() const { return hasIcon_; }

private:
    std::wstring text_;
    bool hasIcon_ = false;
    std::atomic<bool> found_{false};
    std::thread thread_;
};

// A host Application: Version, plus a connection point for its events.
class FakeApplication : public FakeDispatch,
                        public IConnectionPointContainer,
                        public IConnectionPoint {
public:
    explicit FakeApplication(const wchar_t* version) {
        members[L"Version"] = [version](WORD, std::vector<VARIANT>&, VARIANT* result) {
            return ReturnString(result, version);
        };
        container = this;
    }
    ComPtr<IDispatch> sink;
    int advised = 0;
    int unadvised = 0;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (iid == IID_IConnectionPointContainer) {
            *object = static_cast<IConnectionPointContainer*>(this);
            FakeDispatch::AddRef();
            return S_OK;
        }
        if (iid == IID_IConnectionPoint) {
            *object = static_cast<IConnectionPoint*>(this);
            FakeDispatch::AddRef();
            return S_OK;
        }
        return FakeDispatch::QueryInterface(iid, object);
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return FakeDispatch::AddRef(); }
    ULONG STDMETHODCALLTYPE Release() override { return FakeDispatch::Release(); }
    HRESULT STDMETHODCALLTYPE EnumConnectionPoints(IEnumConnectionPoints**) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE FindConnectionPoint(REFIID iid, IConnectionPoint** point) override {
        const IID eapplication = {
            0x914934C2, 0x5A91, 0x11CF, {0x87, 0x00, 0x00, 0xAA, 0x00, 0x60, 0x26, 0x3B}};
        if (iid != eapplication)
            return CONNECT_E_NOCONNECTION;
        *point = this;
        AddRef();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetConnectionInterface(IID*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetConnectionPointContainer(IConnectionPointContainer**) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Advise(IUnknown* unknown, DWORD* cookie) override {
        ++advised;
        unknown->QueryInterface(IID_PPV_ARGS(&sink));
        *cookie = 7;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Unadvise(DWORD cookie) override {
        if (cookie != 7)
            return CONNECT_E_NOCONNECTION;
        ++unadvised;
        sink.Reset();
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE EnumConnections(IEnumConnections**) override { return E_NOTIMPL; }

    // The host raising SlideShowEnd (DISPID 2014) or another event.
    void Raise(DISPID id) {
        if (!sink)
            return;
        VARIANT pres{};
        V_VT(&pres) = VT_DISPATCH;
        V_DISPATCH(&pres) = static_cast<FakeDispatch*>(this);
        DISPPARAMS params{&pres, nullptr, 1, 0};
        sink->Invoke(id, IID_NULL, 0, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr);
    }
};

// The host's entry for the add-in: records what is assigned to its Object.
class FakeAddInEntry : public FakeDispatch {
public:
    FakeAddInEntry() {
        members[L"Object"] = [this](WORD flags, std::vector<VARIANT>& args, VARIANT*) {
            if (!(flags & DISPATCH_PROPERTYPUT) || args.size() != 1)
                return DISP_E_MEMBERNOTFOUND;
            object = ObjectFromVariant(args[0]);
            return S_OK;
        };
    }
    ComPtr<IDispatch> object;

private:
    static ComPtr<IDispatch> ObjectFromVariant(const VARIANT& v) {
        return win::ObjectFromVariant(v);
    }
};

} // namespace

TEST(AddinDispatch, NamesGiveTheInterfacesDispids) {
    ComPtr<IDispatch> addin = NewAddin();
    ASSERT_TRUE(addin);
    const std::pair<const wchar_t*, DISPID> members[] = {
        {L"PPTApp", 0x40030000},
        {L"IsCOMAddInInitialized", 0x60030004},
        {L"InitializeScreenSaverSession", 0x60030005},
        {L"AddScreenSaver", 0x60030006},
        {L"PrepareScreenSaver", 0x60030007},
        {L"BeginScreenSaver", 0x60030008},
        {L"EndScreenSaver", 0x60030009},
        {L"ExitScreenSaverSession", 0x6003000a},
        {L"ShouldEndScreenSaver", 0x6003000b},
        {L"GetProcessId", 0x6003000c},
        {L"GetMonitorReport", 0x6003000d},
        {L"WatchScreenSaverCaller", 0x6003000e},
        {L"isCOMaddinINITIALIZED", 0x60030004}, // automation names ignore case
    };
    for (const auto& [name, id] : members)
        EXPECT_EQ(IdOf(addin.Get(), name), id) << std::string(name, name + wcslen(name));
    EXPECT_EQ(IdOf(addin.Get(), L"Quit"), DISPID_UNKNOWN);

    ComPtr<ITypeInfo> info;
    ASSERT_EQ(addin->GetTypeInfo(0, 0, &info), S_OK);
    TYPEATTR* attr = nullptr;
    ASSERT_EQ(info->GetTypeAttr(&attr), S_OK);
    EXPECT_TRUE(attr->wTypeFlags & TYPEFLAG_FDUAL);
    EXPECT_TRUE(attr->wTypeFlags & TYPEFLAG_FHIDDEN);
    EXPECT_TRUE(attr->wTypeFlags & TYPEFLAG_FNONEXTENSIBLE);
    info->ReleaseTypeAttr(attr);
    // The vtable half of the dual interface is what the automation marshaller works from.
    HREFTYPE ref = 0;
    ComPtr<ITypeInfo> vtable;
    ASSERT_EQ(info->GetRefTypeOfImplType(static_cast<UINT>(-1), &ref), S_OK);
    ASSERT_EQ(info->GetRefTypeInfo(ref, &vtable), S_OK);
    ASSERT_EQ(vtable->GetTypeAttr(&attr), S_OK);
    EXPECT_EQ(attr->typekind, TKIND_INTERFACE);
    EXPECT_TRUE(attr->wTypeFlags & TYPEFLAG_FOLEAUTOMATION);
    vtable->ReleaseTypeAttr(attr);
}

TEST(AddinDispatch, ArgumentsByValueByReferenceAndAsScriptVariants) {
    ComPtr<IDispatch> addin = NewAddin();
    LONG count = 2;
    ASSERT_EQ(InvokeNamed(addin.Get(), L"InitializeScreenSaverSession", {ByRef(&count)}), S_OK);
    EXPECT_EQ(Module().CurrentSession().Count, 2);

    // Corvane's form: every argument by reference.
    LONG index = 1, monitor = 2;
    UniqueBstr path(L"C:\\Shows\\One.pptx");
    BSTR raw = path.get();
    ASSERT_EQ(
        InvokeNamed(addin.Get(), L"AddScreenSaver", {ByRef(&index), ByRef(&raw), ByRef(&monitor)}),
        S_OK);
    // A script's form: its variables as VT_BYREF|VT_VARIANT, here holding a short and a string.
    UniqueVariant scriptIndex, scriptPath, scriptMonitor;
    V_VT(scriptIndex.get()) = VT_I2;
    V_I2(scriptIndex.get()) = 2;
    V_VT(scriptPath.get()) = VT_BSTR;
    V_BSTR(scriptPath.get()) = SysAllocString(L"C:\\Shows\\Two.pptx");
    V_VT(scriptMonitor.get()) = VT_I4;
    V_I4(scriptMonitor.get()) = 1;
    ASSERT_EQ(InvokeNamed(
                  addin.Get(), L"AddScreenSaver",
                  {ByRef(scriptIndex.get()), ByRef(scriptPath.get()), ByRef(scriptMonitor.get())}),
              S_OK);
    ASSERT_EQ(Module().CurrentSession().Entries.size(), 2u);
    EXPECT_EQ(Module().CurrentSession().Entry(1)->PresName, L"C:\\Shows\\One.pptx");
    EXPECT_EQ(Module().CurrentSession().Entry(1)->MonitorNum, 2);
    EXPECT_EQ(Module().CurrentSession().Entry(2)->PresName, L"C:\\Shows\\Two.pptx");
    EXPECT_EQ(Module().CurrentSession().Entry(2)->MonitorNum, 1);
    EXPECT_EQ(V_VT(scriptIndex.get()), VT_I2); // by-value parameters leave the variable alone

    // The process id lands in the caller's variable whatever form it takes.
    const LONG pid = static_cast<LONG>(GetCurrentProcessId());
    LONG direct = 0;
    ASSERT_EQ(InvokeNamed(addin.Get(), L"GetProcessId", {ByRef(&direct)}), S_OK);
    EXPECT_EQ(direct, pid);
    UniqueVariant empty; // a script's fresh variable
    ASSERT_EQ(InvokeNamed(addin.Get(), L"GetProcessId", {ByRef(empty.get())}), S_OK);
    EXPECT_EQ(V_VT(empty.get()), VT_I4);
    EXPECT_EQ(V_I4(empty.get()), pid);
    UniqueVariant holdsLong;
    V_VT(holdsLong.get()) = VT_I4;
    ASSERT_EQ(InvokeNamed(addin.Get(), L"GetProcessId", {ByRef(holdsLong.get())}), S_OK);
    EXPECT_EQ(V_I4(holdsLong.get()), pid);

    // Results come as automation types; no host here, so the first path is reported.
    UniqueVariant initialised, prepared, shouldEnd;
    ASSERT_EQ(InvokeNamed(addin.Get(), L"IsCOMAddInInitialized", {}, initialised.get(),
                          DISPATCH_METHOD | DISPATCH_PROPERTYGET),
              S_OK);
    EXPECT_EQ(V_VT(initialised.get()), VT_BOOL);
    EXPECT_EQ(V_BOOL(initialised.get()), VARIANT_FALSE);
    ASSERT_EQ(InvokeNamed(addin.Get(), L"PrepareScreenSaver", {}, prepared.get()), S_OK);
    ASSERT_EQ(V_VT(prepared.get()), VT_BSTR);
    EXPECT_STREQ(V_BSTR(prepared.get()), L"C:\\Shows\\One.pptx");
    ASSERT_EQ(InvokeNamed(addin.Get(), L"ShouldEndScreenSaver", {}, shouldEnd.get()), S_OK);
    EXPECT_EQ(V_VT(shouldEnd.get()), VT_BOOL);

    EXPECT_EQ(InvokeNamed(addin.Get(), L"BeginScreenSaver", {}), S_OK);
    // Corvane's form of the monitor report: the number and both strings by reference; what the
    // strings held is replaced.
    LONG monitorNum = 2;
    UniqueBstr reason(L"old"), detail(L"old");
    BSTR rawReason = reason.release(), rawDetail = detail.release();
    UniqueVariant placed;
    ASSERT_EQ(InvokeNamed(addin.Get(), L"GetMonitorReport",
                          {ByRef(&monitorNum), ByRef(&rawReason), ByRef(&rawDetail)}, placed.get()),
              S_OK);
    reason.reset(rawReason);
    detail.reset(rawDetail);
    EXPECT_EQ(V_VT(placed.get()), VT_BOOL);
    EXPECT_EQ(V_BOOL(placed.get()), VARIANT_FALSE);
    EXPECT_STREQ(reason.get(), L"Presentation could not be opened: One.pptx");
    EXPECT_STREQ(detail.get(), L"");
    EXPECT_EQ(InvokeNamed(addin.Get(), L"EndScreenSaver", {}), S_OK);
    EXPECT_EQ(InvokeNamed(addin.Get(), L"ExitScreenSaverSession", {}), S_OK);
    EXPECT_EQ(Module().CurrentSession().Count, 0);
}

TEST(AddinConnection, SwitchedOnInARunningHostChecksTheVersionAtOnce) {
    FakeApplication app(L"12.0");
    FakeAddInEntry entry;
    {
        ComPtr<IDispatch> addin = NewAddin();
        ComPtr<IDTExtensibility2> connection;
        ASSERT_EQ(addin.As(&connection), S_OK);
        ASSERT_EQ(connection->OnConnection(static_cast<FakeDispatch*>(&app), ext_cm_AfterStartup,
                                           &entry, nullptr),
                  S_OK);
        // The host now hands this object out as the add-in's Object.
        ComPtr<IUnknown> assigned, self;
        ASSERT_TRUE(entry.object);
        entry.object.As(&assigned);
        addin.As(&self);
        EXPECT_EQ(assigned.Get(), self.Get());

        UniqueVariant initialised, host;
        InvokeNamed(addin.Get(), L"IsCOMAddInInitialized", {}, initialised.get());
        EXPECT_EQ(V_BOOL(initialised.get()), VARIANT_TRUE);
        InvokeNamed(addin.Get(), L"PPTApp", {}, host.get(), DISPATCH_PROPERTYGET);
        EXPECT_EQ(V_VT(host.get()), VT_DISPATCH);
        EXPECT_EQ(V_DISPATCH(host.get()),
                  static_cast<IDispatch*>(static_cast<FakeDispatch*>(&app)));
        (void)host.put();

        EXPECT_EQ(connection->OnDisconnection(ext_dm_UserClosed, nullptr), S_OK);
        InvokeNamed(addin.Get(), L"PPTApp", {}, host.get(), DISPATCH_PROPERTYGET);
        EXPECT_EQ(V_DISPATCH(host.get()), nullptr);
        entry.object.Reset(); // as the host does when it disconnects an add-in
    }
    // The last object gone, the library holds nothing of the host any more.
    EXPECT_EQ(app.refs, 1);
}

TEST(AddinConnection, OldHostGetsTheNoticeAndStaysUninitialised) {
    FakeApplication app(L"8.0");
    FakeAddInEntry entry;
    {
        ComPtr<IDispatch> addin = NewAddin();
        ComPtr<IDTExtensibility2> connection;
        addin.As(&connection);
        ASSERT_EQ(connection->OnConnection(static_cast<FakeDispatch*>(&app), ext_cm_Startup, &entry,
                                           nullptr),
                  S_OK);
        EXPECT_TRUE(app.calls.empty()); // at start-up the check waits for OnStartupComplete
        MessageBoxCloser closer(L"Kestova Screen Saver");
        ASSERT_EQ(connection->OnStartupComplete(nullptr), S_OK);
        EXPECT_EQ(closer.Text(),
                  L"Kestova Screen Saver requires Microsoft PowerPoint 2000 or later.");
        EXPECT_TRUE(closer.HasIcon());
        UniqueVariant initialised;
        InvokeNamed(addin.Get(), L"IsCOMAddInInitialized", {}, initialised.get());
        EXPECT_EQ(V_BOOL(initialised.get()), VARIANT_FALSE);
        EXPECT_EQ(connection->OnBeginShutdown(nullptr), S_OK);
        EXPECT_EQ(connection->OnDisconnection(ext_dm_HostShutdown, nullptr), S_OK);
        entry.object.Reset();
    }
    EXPECT_EQ(app.refs, 1);
}

TEST(AddinHostClassEvents, SlideShowEndSetsShouldEndWhileConnected) {
    FakeApplication app(L"16.0");
    FakeAddInEntry entry;
    {
        ComPtr<IDispatch> addin = NewAddin();
        ComPtr<IDTExtensibility2> connection;
        addin.As(&connection);
        connection->OnConnection(static_cast<FakeDispatch*>(&app), ext_cm_AfterStartup, &entry,
                                 nullptr);
        InvokeNamed(addin.Get(), L"InitializeScreenSaverSession", {Long(0)});
        InvokeNamed(addin.Get(), L"BeginScreenSaver", {});
        EXPECT_EQ(app.advised, 1);
        UniqueVariant shouldEnd;
        app.Raise(2011); // SlideShowBegin: not the end of a show
        InvokeNamed(addin.Get(), L"ShouldEndScreenSaver", {}, shouldEnd.get());
        EXPECT_EQ(V_BOOL(shouldEnd.get()), VARIANT_FALSE);
        app.Raise(2014);
        InvokeNamed(addin.Get(), L"ShouldEndScreenSaver", {}, shouldEnd.put());
        EXPECT_EQ(V_BOOL(shouldEnd.get()), VARIANT_TRUE);

        InvokeNamed(addin.Get(), L"EndScreenSaver", {});
        EXPECT_EQ(app.unadvised, 1);
        EXPECT_FALSE(app.sink);
        InvokeNamed(addin.Get(), L"ExitScreenSaverSession", {});
        connection->OnBeginShutdown(nullptr);
        connection->OnDisconnection(ext_dm_HostShutdown, nullptr);
        entry.object.Reset();
    }
    EXPECT_EQ(app.refs, 1);
}

TEST(AddinHostClassEvents, HostAppPropertyConnectsAndDisconnects) {
    FakeApplication app(L"16.0");
    ComPtr<IDispatch> hostClass;
    ASSERT_EQ(win::HostClass::CreateInstance(IID_IDispatch,
                                             reinterpret_cast<void**>(hostClass.GetAddressOf())),
              S_OK);
    EXPECT_EQ(IdOf(hostClass.Get(), L"HostApp"), 0x40030000);
    VARIANT value{};
    V_VT(&value) = VT_DISPATCH;
    V_DISPATCH(&value) = static_cast<FakeDispatch*>(&app);
    DISPID put = DISPID_PROPERTYPUT;
    DISPPARAMS params{&value, &put, 1, 1};
    ASSERT_EQ(hostClass->Invoke(0x40030000, IID_NULL, 0, DISPATCH_PROPERTYPUTREF, &params, nullptr,
                                nullptr, nullptr),
              S_OK);
    EXPECT_EQ(app.advised, 1);
    V_DISPATCH(&value) = nullptr;
    hostClass->Invoke(0x40030000, IID_NULL, 0, DISPATCH_PROPERTYPUTREF, &params, nullptr, nullptr,
                      nullptr);
    EXPECT_EQ(app.unadvised, 1);
    hostClass.Reset();
    EXPECT_EQ(app.refs, 1);
}

TEST(AddinHostObjects, ObjectResultsAreTakenAsDispatchInEveryForm) {
    FakeDispatch object;
    VARIANT unknown{};
    V_VT(&unknown) = VT_UNKNOWN;
    V_UNKNOWN(&unknown) = static_cast<IDispatch*>(&object);
    EXPECT_EQ(win::ObjectFromVariant(unknown).Get(), static_cast<IDispatch*>(&object));
    IDispatch* pointer = &object;
    VARIANT byRef{};
    V_VT(&byRef) = VT_DISPATCH | VT_BYREF;
    V_DISPATCHREF(&byRef) = &pointer;
    EXPECT_EQ(win::ObjectFromVariant(byRef).Get(), static_cast<IDispatch*>(&object));
    VARIANT wrapped = ByRef(&unknown);
    EXPECT_EQ(win::ObjectFromVariant(wrapped).Get(), static_cast<IDispatch*>(&object));
    VARIANT number = Long(5);
    EXPECT_FALSE(win::ObjectFromVariant(number));
    EXPECT_EQ(object.refs, 1);
}
