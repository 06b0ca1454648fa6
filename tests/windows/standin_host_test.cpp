// The stand-in seen from a client process, as the screen saver and the add-in see PowerPoint:
// start and attach, every member by name and by its published DISPID, by-reference arguments,
// add-in loading, presentations, placed shows, SlideShowEnd, faults and the reference balance.
#include "standin/client/standin_client.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <map>

using namespace kestova::standin::client;
using kestova::win::ComApartment;
using kestova::win::UniqueBstr;

namespace {

constexpr wchar_t kCaption[] = L"Kestova Screen Saver";
constexpr wchar_t kRecordingClsid[] = L"{6A3C1E52-7B0D-4F8A-9C21-5D4E8B7A1F30}";

bool SameObject(IUnknown* a, IUnknown* b) {
    ComPtr<IUnknown> ia, ib;
    return a && b && SUCCEEDED(a->QueryInterface(IID_PPV_ARGS(&ia))) &&
           SUCCEEDED(b->QueryInterface(IID_PPV_ARGS(&ib))) && ia.Get() == ib.Get();
}

bool IsEmptyObject(const VARIANT& v) {
    return v.vt == VT_EMPTY || ((v.vt == VT_DISPATCH || v.vt == VT_UNKNOWN) && !v.punkVal);
}

class StandinHost : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_HRESULT_SUCCEEDED(apartment_.result());
        ResetTestRegistry();
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        std::string name = std::string(info->test_suite_name()) + "-" + info->name();
        std::replace(name.begin(), name.end(), '/', '-');
        journal_ = L"C:\\standin-" + std::wstring(name.begin(), name.end()) + L".txt";
        ::DeleteFileW(journal_.c_str());
        ASSERT_TRUE(SetKnob(kStandinKnobs, L"Journal", journal_));
        ASSERT_TRUE(RegisterStandin());
        folder_ = L"C:\\standin-presentations\\";
        ::CreateDirectoryW(folder_.c_str(), nullptr);
    }

    void TearDown() override {
        // A host still running would answer the next test's CoCreateInstance.
        (void)QuitStandin();
        UnregisterStandin();
        UnregisterRecordingAddinClass();
        ResetTestRegistry();
    }

    void RegisterRecordingAddin(const wchar_t* friendlyName = kCaption, DWORD loadBehavior = 3) {
        ASSERT_TRUE(RegisterRecordingAddinClass());
        ASSERT_TRUE(RegisterAddinKey(kRecordingProgId, friendlyName, loadBehavior));
    }

    // A presentation in the stand-in's own format; returns its Windows path.
    std::wstring WritePresentation(const std::wstring& name, const std::string& settings = "") {
        std::wstring path = folder_ + name;
        std::ofstream file(std::string(path.begin(), path.end()), std::ios::binary);
        file << "KESTOVA-STANDIN-PRESENTATION\r\n" << settings;
        return path;
    }

    std::vector<JournalEntry> Journal() const { return ReadJournal(journal_); }

    // After QuitStandin: the journal is complete.
    std::map<std::wstring, long> Balances() const {
        std::map<std::wstring, long> balances;
        for (const auto& e : JournalEntries(Journal(), L"refs"))
            balances[e.fields.at(0)] = std::stol(e.fields.at(1));
        return balances;
    }

    DWORD HostProcessId() const {
        auto starts = JournalEntries(Journal(), L"host", L"start");
        return starts.empty() ? 0 : static_cast<DWORD>(std::stoul(starts.back().fields.at(1)));
    }

    ComApartment apartment_;
    std::wstring journal_;
    std::wstring folder_;
};

// The Application's sub-objects, fetched by name.
ComPtr<IDispatch> Child(IDispatch* object, const wchar_t* member) {
    UniqueVariant value;
    if (FAILED(Get(object, member, value)))
        return nullptr;
    return AsDispatch(*value.get());
}

std::wstring ReadString(IDispatch* object, const wchar_t* member) {
    UniqueVariant value;
    return SUCCEEDED(Get(object, member, value)) ? AsString(*value.get()) : L"<failed>";
}

DISPID IdOf(IDispatch* object, const wchar_t* name) {
    DISPID id = DISPID_UNKNOWN;
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    return SUCCEEDED(object->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id))
               ? id
               : DISPID_UNKNOWN;
}

TEST_F(StandinHost, StartsOnDemandAndIsFoundRunningByLaterClients) {
    {
        ComPtr<IDispatch> started;
        ASSERT_HRESULT_SUCCEEDED(StartApplication(started));
        ComPtr<IDispatch> attached;
        ASSERT_HRESULT_SUCCEEDED(AttachApplication(attached));
        EXPECT_TRUE(SameObject(started.Get(), attached.Get()));
        EXPECT_EQ(ReadString(attached.Get(), L"Version"), L"16.0");
        ComPtr<IDispatch> again;
        ASSERT_HRESULT_SUCCEEDED(StartApplication(again));
        EXPECT_TRUE(SameObject(started.Get(), again.Get())) << "one Application per host";
    }
    // Released by every client, the host keeps running like PowerPoint, until asked to quit.
    ComPtr<IDispatch> stillThere;
    EXPECT_HRESULT_SUCCEEDED(AttachApplication(stillThere));
    stillThere.Reset();
    EXPECT_EQ(QuitStandin(), 0);
    EXPECT_EQ(QuitStandin(), 1) << "nothing left to quit";

    // Started in advance (no argument), then reached by attach and by create alike.
    ASSERT_TRUE(StartStandinDirectly());
    {
        ComPtr<IDispatch> attached, created;
        ASSERT_HRESULT_SUCCEEDED(AttachApplication(attached));
        ASSERT_HRESULT_SUCCEEDED(StartApplication(created));
        EXPECT_TRUE(SameObject(attached.Get(), created.Get()));
    }
    EXPECT_EQ(QuitStandin(), 0);

    auto starts = JournalEntries(Journal(), L"host", L"start");
    ASSERT_EQ(starts.size(), 2u);
    EXPECT_EQ(starts[0].fields.at(2), L"embedding");
    EXPECT_EQ(starts[1].fields.at(2), L"direct");
    EXPECT_EQ(JournalEntries(Journal(), L"host", L"exit").size(), 2u);
}

TEST_F(StandinHost, MembersAnswerToPublishedDispidsAndToNamesInAnyCase) {
    RegisterRecordingAddin();
    std::wstring path = WritePresentation(L"Dispids.pptx");
    ComPtr<IDispatch> app;
    ASSERT_HRESULT_SUCCEEDED(StartApplication(app));
    ComPtr<IDispatch> addins = Child(app.Get(), L"COMAddIns");
    ASSERT_TRUE(addins);
    UniqueVariant entryValue;
    ASSERT_HRESULT_SUCCEEDED(CallMethod(addins.Get(), L"Item", {IntArg(1)}, &entryValue));
    ComPtr<IDispatch> entry = AsDispatch(*entryValue.get());
    ComPtr<IDispatch> presentations = Child(app.Get(), L"Presentations");
    HRESULT hr = S_OK;
    ComPtr<IDispatch> presentation;
    ComPtr<IDispatch> window = OpenAndRun(app.Get(), path, hr, &presentation);
    ASSERT_TRUE(window) << std::hex << hr;
    ComPtr<IDispatch> settings = Child(presentation.Get(), L"SlideShowSettings");
    ComPtr<IDispatch> view = Child(window.Get(), L"View");
    ASSERT_TRUE(entry && presentations && settings && view);

    struct Expected {
        IDispatch* object;
        const wchar_t* name;
        DISPID id;
    };
    const Expected table[] = {
        {app.Get(), L"Presentations", 2001},
        {app.Get(), L"Version", 2014},
        {app.Get(), L"COMAddIns", 2035},
        {addins.Get(), L"Item", 0},
        {addins.Get(), L"Count", 1},
        {entry.Get(), L"Description", 0},
        {entry.Get(), L"ProgId", 3},
        {entry.Get(), L"Guid", 4},
        {entry.Get(), L"Connect", 6},
        {entry.Get(), L"Object", 7},
        {presentations.Get(), L"Count", 11},
        {presentations.Get(), L"Item", 0},
        {presentations.Get(), L"Open", 2005},
        {presentation.Get(), L"FullName", 2024},
        {presentation.Get(), L"SlideShowSettings", 2015},
        {settings.Get(), L"Run", 2008},
        {window.Get(), L"View", 2003},
        {window.Get(), L"Left", 2006},
        {window.Get(), L"Top", 2007},
        {window.Get(), L"Width", 2008},
        {window.Get(), L"Height", 2009},
        {window.Get(), L"HWND", 2010},
        {view.Get(), L"Exit", 2025},
    };
    for (const Expected& e : table) {
        EXPECT_EQ(IdOf(e.object, e.name), e.id) << std::wstring(e.name).c_str();
        std::wstring lower(e.name), upper(e.name);
        std::transform(lower.begin(), lower.end(), lower.begin(), ::towlower);
        std::transform(upper.begin(), upper.end(), upper.begin(), ::towupper);
        EXPECT_EQ(IdOf(e.object, lower.c_str()), e.id) << lower.c_str();
        EXPECT_EQ(IdOf(e.object, upper.c_str()), e.id) << upper.c_str();
    }
    EXPECT_EQ(IdOf(app.Get(), L"Quit"), DISPID_UNKNOWN);
    EXPECT_EQ(IdOf(view.Get(), L"Exit2"), DISPID_UNKNOWN);

    // A caller that knows the DISPIDs skips the look-up: property reads answer METHOD and
    // PROPERTYGET alike.
    for (WORD flags : {WORD(DISPATCH_PROPERTYGET), WORD(DISPATCH_METHOD),
                       WORD(DISPATCH_METHOD | DISPATCH_PROPERTYGET)}) {
        DISPPARAMS none{};
        UniqueVariant version;
        ASSERT_HRESULT_SUCCEEDED(app->Invoke(2014, IID_NULL, LOCALE_USER_DEFAULT, flags, &none,
                                             version.put(), nullptr, nullptr));
        EXPECT_EQ(AsString(*version.get()), L"16.0");
    }
    // A property put without the put flag is not a read of something else.
    DISPPARAMS none{};
    EXPECT_EQ(app->Invoke(4242, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &none, nullptr,
                          nullptr, nullptr),
              DISP_E_MEMBERNOTFOUND);
    UniqueVariant hwnd;
    ASSERT_HRESULT_SUCCEEDED(window->Invoke(2010, IID_NULL, LOCALE_USER_DEFAULT,
                                            DISPATCH_PROPERTYGET, &none, hwnd.put(), nullptr,
                                            nullptr));
    EXPECT_EQ(hwnd->vt, VT_I4);
    EXPECT_TRUE(::IsWindow(reinterpret_cast<HWND>(static_cast<INT_PTR>(hwnd->lVal))));
    ASSERT_HRESULT_SUCCEEDED(view->Invoke(2025, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD,
                                          &none, nullptr, nullptr, nullptr));
    EXPECT_FALSE(::IsWindow(reinterpret_cast<HWND>(static_cast<INT_PTR>(hwnd->lVal))));
}

TEST_F(StandinHost, ClientFindsTheAddinObjectThroughComAddInsByItsDescription) {
    RegisterRecordingAddin();
    ASSERT_TRUE(RegisterAddinKey(L"Other.Addin", L"Other add-in", 2));     // registered, off
    ASSERT_TRUE(RegisterAddinKey(L"Missing.Addin", L"Missing add-in", 3)); // no such class
    ComPtr<IDispatch> app;
    ASSERT_HRESULT_SUCCEEDED(StartApplication(app));
    ComPtr<IDispatch> addins = Child(app.Get(), L"COMAddIns");
    ASSERT_TRUE(addins);
    UniqueVariant count;
    ASSERT_HRESULT_SUCCEEDED(Get(addins.Get(), L"Count", count));
    ASSERT_EQ(AsInt(*count.get()), 3);

    std::map<std::wstring, ComPtr<IDispatch>> byDescription;
    for (int32_t i = 1; i <= 3; ++i) {
        // The screen saver passes the position by value; other callers by reference or wrapped
        // in a referenced VARIANT: each form must reach the same entry.
        int32_t position = i;
        VARIANT inner = IntArg(i);
        UniqueVariant byValue, byRef, byVariantRef;
        ASSERT_HRESULT_SUCCEEDED(CallMethod(addins.Get(), L"Item", {IntArg(i)}, &byValue));
        ASSERT_HRESULT_SUCCEEDED(CallMethod(addins.Get(), L"Item", {IntRef(&position)}, &byRef));
        ASSERT_HRESULT_SUCCEEDED(
            CallMethod(addins.Get(), L"Item", {VariantRef(&inner)}, &byVariantRef));
        ComPtr<IDispatch> entry = AsDispatch(*byValue.get());
        EXPECT_TRUE(SameObject(entry.Get(), AsDispatch(*byRef.get()).Get()));
        EXPECT_TRUE(SameObject(entry.Get(), AsDispatch(*byVariantRef.get()).Get()));
        byDescription[ReadString(entry.Get(), L"Description")] = entry;
    }
    ASSERT_EQ(byDescription.count(kCaption), 1u);
    ASSERT_EQ(byDescription.count(L"Other add-in"), 1u);
    ASSERT_EQ(byDescription.count(L"Missing add-in"), 1u);

    IDispatch* recording = byDescription[kCaption].Get();
    EXPECT_EQ(ReadString(recording, L"ProgId"), kRecordingProgId);
    EXPECT_EQ(ReadString(recording, L"Guid"), kRecordingClsid);
    UniqueVariant connected, object;
    ASSERT_HRESULT_SUCCEEDED(Get(recording, L"Connect", connected));
    EXPECT_EQ(connected->vt, VT_BOOL);
    EXPECT_EQ(connected->boolVal, VARIANT_TRUE);
    ASSERT_HRESULT_SUCCEEDED(Get(recording, L"Object", object));
    ComPtr<IDispatch> addinObject = AsDispatch(*object.get());
    ASSERT_TRUE(addinObject) << "the add-in assigned itself at connection";

    // The add-in runs inside the host: its process id is the host's, written back through the
    // reference the caller passed.
    int32_t processId = 0;
    ASSERT_HRESULT_SUCCEEDED(CallMethod(addinObject.Get(), L"GetProcessId", {IntRef(&processId)}));
    EXPECT_NE(processId, 0);
    EXPECT_NE(static_cast<DWORD>(processId), ::GetCurrentProcessId());
    EXPECT_EQ(static_cast<DWORD>(processId), HostProcessId());

    for (const wchar_t* off : {L"Other add-in", L"Missing add-in"}) {
        UniqueVariant offObject, offConnected;
        ASSERT_HRESULT_SUCCEEDED(Get(byDescription[off].Get(), L"Object", offObject));
        EXPECT_TRUE(IsEmptyObject(*offObject.get())) << off;
        ASSERT_HRESULT_SUCCEEDED(Get(byDescription[off].Get(), L"Connect", offConnected));
        EXPECT_EQ(offConnected->boolVal, VARIANT_FALSE) << off;
    }
    EXPECT_EQ(AddinLoadBehavior(L"Other.Addin"), 2u);
    EXPECT_EQ(AddinLoadBehavior(L"Missing.Addin"), 2u) << "a host that cannot load it marks it";
    EXPECT_EQ(AddinLoadBehavior(kRecordingProgId), 3u);

    // Office also takes the ProgID as the index; positions outside 1..Count fail.
    UniqueVariant byProgId, outside;
    UniqueBstr progId(kRecordingProgId);
    ASSERT_HRESULT_SUCCEEDED(
        CallMethod(addins.Get(), L"Item", {StringArg(progId.get())}, &byProgId));
    EXPECT_TRUE(SameObject(AsDispatch(*byProgId.get()).Get(), recording));
    std::wstring description;
    EXPECT_HRESULT_FAILED(CallMethod(addins.Get(), L"Item", {IntArg(4)}, &outside, &description));
    EXPECT_NE(description.find(L"out of range"), std::wstring::npos);
    EXPECT_HRESULT_FAILED(CallMethod(addins.Get(), L"Item", {IntArg(0)}, &outside));

    // A user switching the add-in off and on again in the running host.
    addinObject.Reset();
    ASSERT_HRESULT_SUCCEEDED(Put(recording, L"Connect", IntArg(0)));
    UniqueVariant afterOff;
    ASSERT_HRESULT_SUCCEEDED(Get(recording, L"Object", afterOff));
    EXPECT_TRUE(IsEmptyObject(*afterOff.get()));
    VARIANT on;
    on.vt = VT_BOOL;
    on.boolVal = VARIANT_TRUE;
    ASSERT_HRESULT_SUCCEEDED(Put(recording, L"Connect", on));
    UniqueVariant afterOn;
    ASSERT_HRESULT_SUCCEEDED(Get(recording, L"Object", afterOn));
    EXPECT_TRUE(AsDispatch(*afterOn.get())) << "the new instance assigned itself";
    (void)afterOn.put();

    byDescription.clear();
    addins.Reset();
    app.Reset();
    ASSERT_EQ(QuitStandin(), 0);

    // The connection sequence, as PowerPoint runs it, with its arguments.
    std::vector<std::wstring> sequence;
    for (const auto& e : JournalEntries(Journal(), L"addin"))
        if (e.fields.at(0) == kRecordingProgId)
            sequence.push_back(e.fields.at(1) + L"=" + e.fields.at(2));
    EXPECT_EQ(sequence,
              (std::vector<std::wstring>{
                  L"create=0x00000000", L"OnConnection=0x00000000", L"OnStartupComplete=0x00000000",
                  L"OnDisconnection=0x00000000", L"create=0x00000000", L"OnConnection=0x00000000",
                  L"OnBeginShutdown=0x00000000", L"OnDisconnection=0x00000000"}));
    auto journal = Journal();
    auto connection = JournalEntries(journal, L"call", L"Addin.OnConnection");
    ASSERT_EQ(connection.size(), 2u);
    EXPECT_EQ(
        connection[0].fields.at(2),
        L"VT_DISPATCH:object;VT_I4:1;VT_DISPATCH:object;VT_ARRAY|VT_VARIANT|BYREF:0 elements");
    EXPECT_EQ(connection[1].fields.at(2).substr(0, 27), L"VT_DISPATCH:object;VT_I4:0;")
        << "after start-up";
    auto disconnection = JournalEntries(journal, L"call", L"Addin.OnDisconnection");
    ASSERT_EQ(disconnection.size(), 2u);
    EXPECT_EQ(disconnection[0].fields.at(2).substr(0, 8), L"VT_I4:1;") << "closed by the user";
    EXPECT_EQ(disconnection[1].fields.at(2).substr(0, 8), L"VT_I4:0;") << "host shutdown";
    auto missing = JournalEntries(journal, L"addin", L"Missing.Addin");
    ASSERT_EQ(missing.size(), 2u);
    EXPECT_EQ(missing[0].fields.at(1), L"create");
    EXPECT_NE(missing[0].fields.at(2), L"0x00000000");
    EXPECT_EQ(missing[1].fields.at(1), L"disabled");
    // The by-reference argument as the add-in received it.
    auto getPid = JournalEntries(journal, L"call", L"Addin.GetProcessId");
    ASSERT_EQ(getPid.size(), 1u);
    EXPECT_EQ(getPid[0].fields.at(2), L"VT_I4|BYREF:0");
}

class StandinFailingAddin : public StandinHost, public ::testing::WithParamInterface<DWORD> {};

TEST_P(StandinFailingAddin, IsDroppedAndDisabledWhileTheHostGoesOn) {
    const DWORD fault = GetParam();
    RegisterRecordingAddin();
    ASSERT_TRUE(SetKnob(kRecordingKnobs, L"FailConnection", fault));
    {
        ComPtr<IDispatch> app;
        ASSERT_HRESULT_SUCCEEDED(StartApplication(app));
        EXPECT_EQ(ReadString(app.Get(), L"Version"), L"16.0");
        ComPtr<IDispatch> addins = Child(app.Get(), L"COMAddIns");
        ASSERT_TRUE(addins);
        UniqueVariant entryValue, object, connected;
        ASSERT_HRESULT_SUCCEEDED(CallMethod(addins.Get(), L"Item", {IntArg(1)}, &entryValue));
        ComPtr<IDispatch> entry = AsDispatch(*entryValue.get());
        ASSERT_HRESULT_SUCCEEDED(Get(entry.Get(), L"Object", object));
        EXPECT_TRUE(IsEmptyObject(*object.get())) << "a dropped add-in hands out no object";
        ASSERT_HRESULT_SUCCEEDED(Get(entry.Get(), L"Connect", connected));
        EXPECT_EQ(connected->boolVal, VARIANT_FALSE);
        EXPECT_EQ(AddinLoadBehavior(kRecordingProgId), 2u);
    }
    ASSERT_EQ(QuitStandin(), 0);
    std::vector<std::wstring> sequence;
    for (const auto& e : JournalEntries(Journal(), L"addin"))
        sequence.push_back(e.fields.at(1) + L"=" + e.fields.at(2));
    const bool atConnection = fault == 1 || fault == 2;
    const std::wstring outcome = (fault == 2 || fault == 4) ? L"exception" : L"0x80004005";
    std::vector<std::wstring> expected{L"create=0x00000000"};
    if (atConnection) {
        expected.push_back(L"OnConnection=" + outcome);
    } else {
        expected.push_back(L"OnConnection=0x00000000");
        expected.push_back(L"OnStartupComplete=" + outcome);
    }
    expected.push_back(L"disabled=LoadBehavior=2");
    // No shutdown calls for an add-in that is no longer connected.
    EXPECT_EQ(sequence, expected);
    auto balances = Balances();
    EXPECT_EQ(balances[L"Application#1"], 0);
    EXPECT_EQ(balances[L"COMAddIn#1"], 0);
}

// One add-in throws into the host at connection, one fails at start-up completion.
INSTANTIATE_TEST_SUITE_P(FailConnection, StandinFailingAddin, ::testing::Values(2u, 3u));

TEST_F(StandinHost, OpensPresentationsAndRefusesMissingDamagedAndRefusedFiles) {
    std::wstring first = WritePresentation(L"First.pptx");
    std::wstring second = WritePresentation(L"Second deck.pptx", "slides=2\r\n");
    std::wstring damaged = WritePresentation(L"Damaged.pptx", "damaged=1\r\n");
    std::wstring refused = WritePresentation(L"Refused.pptx");
    ASSERT_TRUE(SetKnob(kStandinKnobs, L"RefuseOpen", refused));
    ComPtr<IDispatch> app;
    ASSERT_HRESULT_SUCCEEDED(StartApplication(app));
    ComPtr<IDispatch> presentations = Child(app.Get(), L"Presentations");
    ASSERT_TRUE(presentations);

    UniqueBstr firstName(first.c_str());
    UniqueVariant opened;
    ASSERT_HRESULT_SUCCEEDED(
        CallMethod(presentations.Get(), L"Open",
                   {StringArg(firstName.get()), IntArg(0), IntArg(0), IntArg(0)}, &opened));
    EXPECT_EQ(opened->vt, VT_UNKNOWN) << "as PowerPoint's type library returns it";
    ComPtr<IDispatch> firstPres = AsDispatch(*opened.get());
    ASSERT_TRUE(firstPres);
    EXPECT_EQ(ReadString(firstPres.Get(), L"FullName"), first);

    // All by reference, as a caller passing its own variables would.
    BSTR secondName = ::SysAllocString(second.c_str());
    int32_t readOnly = 0, untitled = 0, withWindow = 0;
    UniqueVariant openedByRef;
    HRESULT hr = CallMethod(
        presentations.Get(), L"Open",
        {StringRef(&secondName), IntRef(&readOnly), IntRef(&untitled), IntRef(&withWindow)},
        &openedByRef);
    ::SysFreeString(secondName);
    ASSERT_HRESULT_SUCCEEDED(hr);
    ComPtr<IDispatch> secondPres = AsDispatch(*openedByRef.get());
    EXPECT_EQ(ReadString(secondPres.Get(), L"FullName"), second);

    // The same file again is another open presentation with the same full name.
    UniqueBstr again(first.c_str());
    UniqueVariant openedAgain;
    ASSERT_HRESULT_SUCCEEDED(
        CallMethod(presentations.Get(), L"Open", {StringArg(again.get())}, &openedAgain));
    EXPECT_EQ(ReadString(AsDispatch(*openedAgain.get()).Get(), L"FullName"), first);

    for (const std::wstring& bad : {folder_ + L"Nowhere.pptx", folder_, damaged, refused}) {
        UniqueBstr badName(bad.c_str());
        UniqueVariant none;
        std::wstring description;
        EXPECT_HRESULT_FAILED(CallMethod(presentations.Get(), L"Open", {StringArg(badName.get())},
                                         &none, &description))
            << bad.c_str();
        EXPECT_FALSE(description.empty()) << bad.c_str();
    }

    UniqueVariant count, item1, item2, byName;
    ASSERT_HRESULT_SUCCEEDED(Get(presentations.Get(), L"Count", count));
    EXPECT_EQ(AsInt(*count.get()), 3);
    ASSERT_HRESULT_SUCCEEDED(CallMethod(presentations.Get(), L"Item", {IntArg(1)}, &item1));
    ASSERT_HRESULT_SUCCEEDED(CallMethod(presentations.Get(), L"Item", {IntArg(2)}, &item2));
    EXPECT_TRUE(SameObject(AsDispatch(*item1.get()).Get(), firstPres.Get()));
    EXPECT_TRUE(SameObject(AsDispatch(*item2.get()).Get(), secondPres.Get()));
    UniqueBstr name(L"second deck.pptx");
    ASSERT_HRESULT_SUCCEEDED(
        CallMethod(presentations.Get(), L"Item", {StringArg(name.get())}, &byName));
    EXPECT_TRUE(SameObject(AsDispatch(*byName.get()).Get(), secondPres.Get()));
    UniqueVariant outside;
    EXPECT_HRESULT_FAILED(CallMethod(presentations.Get(), L"Item", {IntArg(4)}, &outside));

    // Run of a presentation without slides fails; PowerPoint cannot show it either.
    std::wstring empty = WritePresentation(L"Empty.pptx", "slides=0\r\n");
    ComPtr<IDispatch> none = OpenAndRun(app.Get(), empty, hr);
    EXPECT_FALSE(none);
    EXPECT_HRESULT_FAILED(hr);

    auto opens = JournalEntries(Journal(), L"call", L"Presentations.Open");
    ASSERT_GE(opens.size(), 2u);
    EXPECT_EQ(opens[1].fields.at(2),
              L"VT_BSTR|BYREF:" + second + L";VT_I4|BYREF:0;VT_I4|BYREF:0;VT_I4|BYREF:0");
    EXPECT_EQ(opens[1].fields.at(3), L"VT_UNKNOWN:Presentation#2");
}

TEST_F(StandinHost, ShowsArePlacedInPointsAndEveryEndReachesTheEventSink) {
    std::wstring looping = WritePresentation(L"Looping.pptx", "color=2E8B57\r\n");
    std::wstring once = WritePresentation(L"Once.pptx", "slides=2\r\nloop=0\r\nadvance_ms=100\r\n");
    ComPtr<IDispatch> app;
    ASSERT_HRESULT_SUCCEEDED(StartApplication(app));
    EventSink sink;
    ASSERT_HRESULT_SUCCEEDED(sink.Connect(app.Get()));

    HRESULT hr = S_OK;
    ComPtr<IDispatch> window = OpenAndRun(app.Get(), looping, hr);
    ASSERT_TRUE(window) << std::hex << hr;
    EXPECT_TRUE(PumpUntil([&] { return sink.begins == 1; }, 5000));
    UniqueVariant hwndValue;
    ASSERT_HRESULT_SUCCEEDED(Get(window.Get(), L"HWND", hwndValue));
    HWND hwnd = reinterpret_cast<HWND>(static_cast<INT_PTR>(AsInt(*hwndValue.get())));
    ASSERT_TRUE(::IsWindowVisible(hwnd));
    EXPECT_TRUE(::GetWindowLongPtrW(hwnd, GWL_EXSTYLE) & WS_EX_TOPMOST);
    EXPECT_EQ(::GetWindowLongPtrW(hwnd, GWL_STYLE) & WS_CHILD, 0);
    DWORD owner = 0;
    ::GetWindowThreadProcessId(hwnd, &owner);
    EXPECT_EQ(owner, HostProcessId());
    wchar_t title[256] = {};
    ::GetWindowTextW(hwnd, title, 256);
    EXPECT_NE(std::wstring(title).find(L"Looping.pptx"), std::wstring::npos);
    RECT rect{};
    ::GetWindowRect(hwnd, &rect);
    EXPECT_EQ(rect.left, 0);
    EXPECT_EQ(rect.top, 0);
    EXPECT_EQ(rect.right, ::GetSystemMetrics(SM_CXSCREEN)) << "covers the primary until placed";
    EXPECT_EQ(rect.bottom, ::GetSystemMetrics(SM_CYSCREEN));

    // Placed in points at the screen's DPI; reads give the points back.
    const RECT target{96, 48, 96 + 640, 48 + 480};
    ASSERT_HRESULT_SUCCEEDED(PlaceInPoints(window.Get(), target));
    ::GetWindowRect(hwnd, &rect);
    EXPECT_EQ(rect.left, target.left);
    EXPECT_EQ(rect.top, target.top);
    EXPECT_EQ(rect.right, target.right);
    EXPECT_EQ(rect.bottom, target.bottom);
    auto [dpiX, dpiY] = ScreenDpi();
    UniqueVariant left, height;
    ASSERT_HRESULT_SUCCEEDED(Get(window.Get(), L"Left", left));
    ASSERT_HRESULT_SUCCEEDED(Get(window.Get(), L"Height", height));
    EXPECT_EQ(left->vt, VT_R4);
    EXPECT_NEAR(AsDouble(*left.get()), 96.0 * 72 / dpiX, 1e-3);
    EXPECT_NEAR(AsDouble(*height.get()), 480.0 * 72 / dpiY, 1e-3);
    // A value passed by reference lands the same way.
    float widthPoints = static_cast<float>(320.0 * 72 / dpiX);
    ASSERT_HRESULT_SUCCEEDED(Put(window.Get(), L"Width", FloatRef(&widthPoints)));
    ::GetWindowRect(hwnd, &rect);
    EXPECT_EQ(rect.right - rect.left, 320);

    // Ended through its view: the sink hears of it with the presentation as argument.
    ComPtr<IDispatch> view = Child(window.Get(), L"View");
    ASSERT_HRESULT_SUCCEEDED(CallMethod(view.Get(), L"Exit", {}));
    ASSERT_TRUE(PumpUntil([&] { return sink.ends == 1; }, 5000));
    EXPECT_EQ(sink.lastArgumentType, VT_DISPATCH);
    EXPECT_EQ(sink.endedFullNames.at(0), looping);
    EXPECT_FALSE(::IsWindow(hwnd));
    UniqueVariant gone;
    EXPECT_HRESULT_FAILED(Get(window.Get(), L"Left", gone)) << "an ended show's window is gone";
    EXPECT_HRESULT_FAILED(CallMethod(view.Get(), L"Exit", {}));

    // Ended by the user: Esc, and closing the window.
    for (UINT message : {UINT(WM_KEYDOWN), UINT(WM_CLOSE)}) {
        int before = sink.ends;
        ComPtr<IDispatch> again = OpenAndRun(app.Get(), looping, hr);
        ASSERT_TRUE(again);
        UniqueVariant againHwnd;
        ASSERT_HRESULT_SUCCEEDED(Get(again.Get(), L"HWND", againHwnd));
        HWND target2 = reinterpret_cast<HWND>(static_cast<INT_PTR>(AsInt(*againHwnd.get())));
        ::PostMessageW(target2, message, message == WM_KEYDOWN ? VK_ESCAPE : 0, 0);
        ASSERT_TRUE(PumpUntil([&] { return sink.ends == before + 1; }, 5000)) << message;
        EXPECT_FALSE(::IsWindow(target2));
    }
    // A show that does not loop ends by itself after its last slide.
    ComPtr<IDispatch> single = OpenAndRun(app.Get(), once, hr);
    ASSERT_TRUE(single);
    ASSERT_TRUE(PumpUntil([&] { return sink.ends == 4; }, 5000));
    EXPECT_EQ(sink.endedFullNames.at(3), once);
    EXPECT_EQ(sink.begins, 4);

    // Disconnected, the sink hears nothing more.
    ASSERT_HRESULT_SUCCEEDED(sink.Disconnect());
    ComPtr<IDispatch> last = OpenAndRun(app.Get(), looping, hr);
    ASSERT_TRUE(last);
    ComPtr<IDispatch> lastView = Child(last.Get(), L"View");
    ASSERT_HRESULT_SUCCEEDED(CallMethod(lastView.Get(), L"Exit", {}));
    PumpUntil([] { return false; }, 300);
    EXPECT_EQ(sink.ends, 4);

    std::vector<std::wstring> reasons;
    for (const auto& e : JournalEntries(Journal(), L"show"))
        if (e.fields.at(1) == L"end")
            reasons.push_back(e.fields.at(0) + L":" + e.fields.at(2));
    EXPECT_EQ(reasons, (std::vector<std::wstring>{L"Looping.pptx:exit", L"Looping.pptx:escape",
                                                  L"Looping.pptx:closed", L"Once.pptx:finished",
                                                  L"Looping.pptx:exit"}));
    auto places = JournalEntries(Journal(), L"place");
    ASSERT_EQ(places.size(), 5u) << "one line per assignment";
    EXPECT_EQ(places[3].fields.at(2), L"96,48,640,480");
}

TEST_F(StandinHost, FaultKnobsChangeWhatTheHostAnswers) {
    ASSERT_TRUE(SetKnob(kStandinKnobs, L"Version", std::wstring(L"8.0")));
    ASSERT_TRUE(SetKnob(kStandinKnobs, L"NoCOMAddIns", DWORD{1}));
    ASSERT_TRUE(SetKnob(kStandinKnobs, L"FailMember", std::wstring(L"Presentations.Open")));
    ASSERT_TRUE(SetKnob(kStandinKnobs, L"FailDescription", std::wstring(L"Disk on fire")));
    ASSERT_TRUE(SetKnob(kStandinKnobs, L"UnknownMember", std::wstring(L"Presentations.Count")));
    ASSERT_TRUE(SetKnob(kStandinKnobs, L"SlowMember", std::wstring(L"Application.Presentations")));
    ASSERT_TRUE(SetKnob(kStandinKnobs, L"SlowMs", DWORD{300}));
    std::wstring path = WritePresentation(L"Any.pptx");
    ComPtr<IDispatch> app;
    ASSERT_HRESULT_SUCCEEDED(StartApplication(app));

    EXPECT_EQ(ReadString(app.Get(), L"Version"), L"8.0");
    UniqueVariant addins;
    EXPECT_EQ(Get(app.Get(), L"COMAddIns", addins), DISP_E_UNKNOWNNAME);
    DISPPARAMS none{};
    EXPECT_EQ(app->Invoke(2035, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none,
                          addins.put(), nullptr, nullptr),
              DISP_E_MEMBERNOTFOUND);

    DWORD before = ::GetTickCount();
    ComPtr<IDispatch> presentations = Child(app.Get(), L"Presentations");
    EXPECT_GE(::GetTickCount() - before, 250u) << "the slowed member waits";
    ASSERT_TRUE(presentations);
    UniqueVariant count;
    EXPECT_EQ(Get(presentations.Get(), L"Count", count), DISP_E_UNKNOWNNAME);

    UniqueBstr name(path.c_str());
    UniqueVariant opened;
    std::wstring description;
    HRESULT hr =
        CallMethod(presentations.Get(), L"Open", {StringArg(name.get())}, &opened, &description);
    EXPECT_EQ(hr, E_FAIL);
    EXPECT_EQ(description, L"Disk on fire");
    // The raw call reports it as an automation exception with that description.
    DISPID openId = IdOf(presentations.Get(), L"Open");
    VARIANT arg = StringArg(name.get());
    DISPPARAMS params{&arg, nullptr, 1, 0};
    EXCEPINFO exception{};
    EXPECT_EQ(presentations->Invoke(openId, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params,
                                    opened.put(), &exception, nullptr),
              DISP_E_EXCEPTION);
    UniqueBstr source(exception.bstrSource), text(exception.bstrDescription),
        help(exception.bstrHelpFile);
    EXPECT_EQ(exception.scode, E_FAIL);
    EXPECT_EQ(std::wstring(text.get() ? text.get() : L""), L"Disk on fire");

    auto lookups = JournalEntries(Journal(), L"lookup");
    ASSERT_GE(lookups.size(), 2u);
    EXPECT_EQ(lookups[0].fields.at(0), L"Application.COMAddIns");
}

TEST_F(StandinHost, ReferenceBalanceIsEvenAfterCleanClientsAndShowsWhatOneKeeps) {
    RegisterRecordingAddin();
    std::wstring kept = WritePresentation(L"Kept.pptx");
    std::wstring shown = WritePresentation(L"Shown.pptx");
    ComPtr<IDispatch> keptPresentation;
    {
        ComPtr<IDispatch> app;
        ASSERT_HRESULT_SUCCEEDED(StartApplication(app));
        EventSink sink;
        ASSERT_HRESULT_SUCCEEDED(sink.Connect(app.Get()));
        HRESULT hr = S_OK;
        ComPtr<IDispatch> window = OpenAndRun(app.Get(), shown, hr);
        ASSERT_TRUE(window);
        ASSERT_HRESULT_SUCCEEDED(PlaceInPoints(window.Get(), RECT{0, 0, 200, 100}));
        ComPtr<IDispatch> view = Child(window.Get(), L"View");
        ASSERT_HRESULT_SUCCEEDED(CallMethod(view.Get(), L"Exit", {}));
        ASSERT_TRUE(PumpUntil([&] { return sink.ends == 1; }, 5000));
        ASSERT_HRESULT_SUCCEEDED(sink.Disconnect());
        ComPtr<IDispatch> addins = Child(app.Get(), L"COMAddIns");
        UniqueVariant entry, object;
        ASSERT_HRESULT_SUCCEEDED(CallMethod(addins.Get(), L"Item", {IntArg(1)}, &entry));
        ASSERT_HRESULT_SUCCEEDED(Get(AsDispatch(*entry.get()).Get(), L"Object", object));
        ComPtr<IDispatch> presentations = Child(app.Get(), L"Presentations");
        UniqueBstr name(kept.c_str());
        UniqueVariant opened;
        ASSERT_HRESULT_SUCCEEDED(
            CallMethod(presentations.Get(), L"Open", {StringArg(name.get())}, &opened));
        keptPresentation = AsDispatch(*opened.get());
    }
    // The client still holds one presentation when the host ends.
    ASSERT_EQ(QuitStandin(), 0);
    keptPresentation.Reset();

    auto balances = Balances();
    for (const wchar_t* object :
         {L"Application#1", L"ConnectionPoint#1", L"Presentations#1", L"COMAddIns#1", L"COMAddIn#1",
          L"Presentation#1", L"SlideShowSettings#1", L"SlideShowWindow#1", L"SlideShowView#1"}) {
        ASSERT_EQ(balances.count(object), 1u) << object;
        EXPECT_EQ(balances[object], 0) << object;
    }
    EXPECT_GT(balances[L"Presentation#2"], 0) << "the reference the client kept";
}

} // namespace
