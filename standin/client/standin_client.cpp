#include "standin/client/standin_client.h"

#include "common/win/com_error.h"
#include "standin/placement.h"
#include "standin/win/journal.h"
#include "standin/win/powerpoint_ids.h"
#include "standin/win/registry_values.h"

#include <olectl.h>

namespace kestova::standin::client {

using kestova::win::UniqueHandle;
using kestova::win::UniqueModule;

std::wstring BinaryPath(const wchar_t* fileName) {
    wchar_t path[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path);
    return folder.substr(0, folder.find_last_of(L"\\/") + 1) + fileName;
}

long RunAndWait(std::wstring commandLine, DWORD timeoutMs) {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                          &startup, &info))
        return -1;
    UniqueHandle process(info.hProcess);
    UniqueHandle thread(info.hThread);
    if (::WaitForSingleObject(process.get(), timeoutMs) != WAIT_OBJECT_0)
        return -1;
    DWORD code = 0;
    ::GetExitCodeProcess(process.get(), &code);
    return static_cast<long>(code);
}

namespace {

std::wstring StandinCommand(const wchar_t* argument) {
    return L"\"" + BinaryPath(L"PptStandin.exe") + L"\" " + argument;
}

} // namespace

bool RegisterStandin() {
    return RunAndWait(StandinCommand(L"/RegServer")) == 0;
}

void UnregisterStandin() {
    (void)RunAndWait(StandinCommand(L"/UnregServer"));
}

long QuitStandin() {
    return RunAndWait(StandinCommand(L"/Quit"));
}

bool StartStandinDirectly(DWORD timeoutMs) {
    std::wstring commandLine = L"\"" + BinaryPath(L"PptStandin.exe") + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                          &startup, &info))
        return false;
    UniqueHandle process(info.hProcess);
    UniqueHandle thread(info.hThread);
    DWORD start = ::GetTickCount();
    while (::GetTickCount() - start < timeoutMs) {
        ComPtr<IDispatch> app;
        if (SUCCEEDED(AttachApplication(app)))
            return true;
        if (::WaitForSingleObject(process.get(), 50) == WAIT_OBJECT_0)
            return false;
    }
    return false;
}

void ResetTestRegistry() {
    ::RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\KestovaTest");
    ::RegDeleteTreeW(HKEY_CURRENT_USER, kOfficeAddins);
}

bool SetKnob(const wchar_t* key, const wchar_t* name, const std::wstring& value) {
    return win::SetRegistryString(HKEY_CURRENT_USER, key, name, value);
}

bool SetKnob(const wchar_t* key, const wchar_t* name, DWORD value) {
    return win::SetRegistryDword(HKEY_CURRENT_USER, key, name, value);
}

bool RegisterAddinKey(const std::wstring& progId, const wchar_t* friendlyName, DWORD loadBehavior) {
    std::wstring key = std::wstring(kOfficeAddins) + L"\\" + progId;
    bool ok = win::SetRegistryDword(HKEY_CURRENT_USER, key, L"LoadBehavior", loadBehavior);
    if (friendlyName)
        ok &= win::SetRegistryString(HKEY_CURRENT_USER, key, L"FriendlyName", friendlyName);
    return ok;
}

std::optional<DWORD> AddinLoadBehavior(const std::wstring& progId) {
    return win::RegistryDword(HKEY_CURRENT_USER, std::wstring(kOfficeAddins) + L"\\" + progId,
                              L"LoadBehavior");
}

namespace {

HRESULT CallRecordingExport(const char* name) {
    UniqueModule module(::LoadLibraryW(BinaryPath(L"RecordingAddin.dll").c_str()));
    if (!module)
        return HRESULT_FROM_WIN32(::GetLastError());
    using Export = HRESULT(STDAPICALLTYPE*)();
    auto function =
        reinterpret_cast<Export>(reinterpret_cast<void*>(::GetProcAddress(module.get(), name)));
    return function ? function() : E_NOINTERFACE;
}

} // namespace

bool RegisterRecordingAddinClass() {
    return SUCCEEDED(CallRecordingExport("DllRegisterServer"));
}

void UnregisterRecordingAddinClass() {
    (void)CallRecordingExport("DllUnregisterServer");
}

HRESULT AttachApplication(ComPtr<IDispatch>& application) {
    application.Reset();
    CLSID clsid{};
    HRESULT hr = ::CLSIDFromProgID(win::kApplicationProgId, &clsid);
    if (FAILED(hr))
        return hr;
    ComPtr<IUnknown> active;
    hr = ::GetActiveObject(clsid, nullptr, &active);
    if (FAILED(hr))
        return hr;
    return active.As(&application);
}

HRESULT StartApplication(ComPtr<IDispatch>& application) {
    application.Reset();
    CLSID clsid{};
    HRESULT hr = ::CLSIDFromProgID(win::kApplicationProgId, &clsid);
    if (FAILED(hr))
        return hr;
    return ::CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER,
                              IID_PPV_ARGS(&application));
}

namespace {

HRESULT Invoke(IDispatch* object, const wchar_t* member, WORD flags, std::vector<VARIANT>& args,
               VARIANT* result, std::wstring* description) {
    kestova::win::DispatchFailure failure;
    HRESULT hr = kestova::win::InvokeByName(object, member, flags, args, result, &failure);
    if (description)
        *description = failure.description;
    return hr;
}

} // namespace

HRESULT Get(IDispatch* object, const wchar_t* member, UniqueVariant& result,
            std::wstring* description) {
    std::vector<VARIANT> none;
    return Invoke(object, member, DISPATCH_METHOD | DISPATCH_PROPERTYGET, none, result.put(),
                  description);
}

HRESULT Put(IDispatch* object, const wchar_t* member, VARIANT value, std::wstring* description) {
    std::vector<VARIANT> args{value};
    return Invoke(object, member, DISPATCH_PROPERTYPUT, args, nullptr, description);
}

HRESULT CallMethod(IDispatch* object, const wchar_t* member, std::vector<VARIANT> arguments,
                   UniqueVariant* result, std::wstring* description) {
    return Invoke(object, member, DISPATCH_METHOD, arguments, result ? result->put() : nullptr,
                  description);
}

ComPtr<IDispatch> AsDispatch(const VARIANT& value) {
    const VARIANT* v = &value;
    if (v->vt == (VT_BYREF | VT_VARIANT) && v->pvarVal)
        v = v->pvarVal;
    IUnknown* object = nullptr;
    if (v->vt == VT_DISPATCH || v->vt == VT_UNKNOWN)
        object = v->punkVal;
    else if ((v->vt == (VT_BYREF | VT_DISPATCH) || v->vt == (VT_BYREF | VT_UNKNOWN)) && v->ppunkVal)
        object = *v->ppunkVal;
    ComPtr<IDispatch> dispatch;
    if (object)
        (void)object->QueryInterface(IID_PPV_ARGS(&dispatch));
    return dispatch;
}

std::wstring AsString(const VARIANT& value) {
    UniqueVariant text;
    if (FAILED(::VariantChangeType(text.get(), const_cast<VARIANT*>(&value), 0, VT_BSTR)) ||
        !text->bstrVal)
        return {};
    return std::wstring(text->bstrVal, ::SysStringLen(text->bstrVal));
}

int32_t AsInt(const VARIANT& value) {
    UniqueVariant number;
    if (FAILED(::VariantChangeType(number.get(), const_cast<VARIANT*>(&value), 0, VT_I4)))
        return INT32_MIN;
    return number->lVal;
}

double AsDouble(const VARIANT& value) {
    UniqueVariant number;
    if (FAILED(::VariantChangeType(number.get(), const_cast<VARIANT*>(&value), 0, VT_R8)))
        return -1e300;
    return number->dblVal;
}

VARIANT IntArg(int32_t value) {
    VARIANT v;
    v.vt = VT_I4;
    v.lVal = value;
    return v;
}

VARIANT IntRef(int32_t* value) {
    VARIANT v;
    v.vt = VT_BYREF | VT_I4;
    v.plVal = reinterpret_cast<LONG*>(value);
    return v;
}

VARIANT FloatArg(float value) {
    VARIANT v;
    v.vt = VT_R4;
    v.fltVal = value;
    return v;
}

VARIANT FloatRef(float* value) {
    VARIANT v;
    v.vt = VT_BYREF | VT_R4;
    v.pfltVal = value;
    return v;
}

VARIANT StringArg(BSTR value) {
    VARIANT v;
    v.vt = VT_BSTR;
    v.bstrVal = value;
    return v;
}

VARIANT StringRef(BSTR* value) {
    VARIANT v;
    v.vt = VT_BYREF | VT_BSTR;
    v.pbstrVal = value;
    return v;
}

VARIANT VariantRef(VARIANT* value) {
    VARIANT v;
    v.vt = VT_BYREF | VT_VARIANT;
    v.pvarVal = value;
    return v;
}

ComPtr<IDispatch> OpenAndRun(IDispatch* application, const std::wstring& path, HRESULT& hr,
                             ComPtr<IDispatch>* presentation) {
    UniqueVariant presentations, opened, settings, window;
    hr = Get(application, L"Presentations", presentations);
    if (FAILED(hr))
        return nullptr;
    kestova::win::UniqueBstr name(path.c_str());
    hr = CallMethod(AsDispatch(*presentations.get()).Get(), L"Open",
                    {StringArg(name.get()), IntArg(win::kMsoFalse), IntArg(win::kMsoFalse),
                     IntArg(win::kMsoFalse)},
                    &opened);
    if (FAILED(hr))
        return nullptr;
    ComPtr<IDispatch> pres = AsDispatch(*opened.get());
    if (presentation)
        *presentation = pres;
    hr = Get(pres.Get(), L"SlideShowSettings", settings);
    if (FAILED(hr))
        return nullptr;
    hr = CallMethod(AsDispatch(*settings.get()).Get(), L"Run", {}, &window);
    if (FAILED(hr))
        return nullptr;
    return AsDispatch(*window.get());
}

std::pair<int, int> ScreenDpi() {
    kestova::win::WindowDc screen(nullptr);
    if (!screen)
        return {96, 96};
    return {::GetDeviceCaps(screen.get(), LOGPIXELSX), ::GetDeviceCaps(screen.get(), LOGPIXELSY)};
}

HRESULT PlaceInPoints(IDispatch* slideShowWindow, const RECT& pixels) {
    auto [dpiX, dpiY] = ScreenDpi();
    const std::pair<const wchar_t*, float> edges[] = {
        {L"Left", PixelsToPoints(pixels.left, dpiX)},
        {L"Top", PixelsToPoints(pixels.top, dpiY)},
        {L"Width", PixelsToPoints(pixels.right - pixels.left, dpiX)},
        {L"Height", PixelsToPoints(pixels.bottom - pixels.top, dpiY)},
    };
    for (auto [member, points] : edges) {
        HRESULT hr = Put(slideShowWindow, member, FloatArg(points));
        if (FAILED(hr))
            return hr;
    }
    return S_OK;
}

STDMETHODIMP EventSink::QueryInterface(REFIID iid, void** out) {
    if (!out)
        return E_POINTER;
    *out = nullptr;
    if (iid == IID_IUnknown || iid == IID_IDispatch || iid == win::kEApplicationIid) {
        *out = static_cast<IDispatch*>(this);
        AddRef();
        return S_OK;
    }
    return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) EventSink::AddRef() {
    return static_cast<ULONG>(::InterlockedIncrement(&references_));
}

// The sink lives on its creator's stack; the count only has to balance.
STDMETHODIMP_(ULONG) EventSink::Release() {
    return static_cast<ULONG>(::InterlockedDecrement(&references_));
}

STDMETHODIMP EventSink::GetTypeInfoCount(UINT* count) {
    if (count)
        *count = 0;
    return S_OK;
}

STDMETHODIMP EventSink::GetTypeInfo(UINT, LCID, ITypeInfo** info) {
    if (info)
        *info = nullptr;
    return DISP_E_BADINDEX;
}

STDMETHODIMP EventSink::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) {
    return DISP_E_UNKNOWNNAME;
}

STDMETHODIMP EventSink::Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*,
                               EXCEPINFO*, UINT*) {
    try {
        if (id == win::kSlideShowBeginId)
            ++begins;
        if (id == win::kSlideShowEndId) {
            ++ends;
            if (params && params->cArgs == 1) {
                lastArgumentType = params->rgvarg[0].vt;
                UniqueVariant fullName;
                ComPtr<IDispatch> presentation = AsDispatch(params->rgvarg[0]);
                if (presentation && SUCCEEDED(Get(presentation.Get(), L"FullName", fullName)))
                    endedFullNames.push_back(AsString(*fullName.get()));
                else
                    endedFullNames.push_back(L"?");
            }
        }
        return S_OK;
    } catch (...) {
        return E_UNEXPECTED;
    }
}

HRESULT EventSink::Connect(IDispatch* application) {
    ComPtr<IConnectionPointContainer> container;
    HRESULT hr = application->QueryInterface(IID_PPV_ARGS(&container));
    if (FAILED(hr))
        return hr;
    hr = container->FindConnectionPoint(win::kEApplicationIid, &point_);
    if (FAILED(hr))
        return hr;
    return point_->Advise(static_cast<IDispatch*>(this), &cookie_);
}

HRESULT EventSink::Disconnect() {
    if (!point_)
        return S_FALSE;
    HRESULT hr = point_->Unadvise(cookie_);
    point_.Reset();
    cookie_ = 0;
    return hr;
}

std::vector<JournalEntry> ReadJournal(const std::wstring& path) {
    std::vector<JournalEntry> entries;
    UniqueHandle file(::CreateFileW(path.c_str(), GENERIC_READ,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file.get() == INVALID_HANDLE_VALUE) {
        file.release();
        return entries;
    }
    std::string content;
    char buffer[65536];
    DWORD read = 0;
    while (::ReadFile(file.get(), buffer, sizeof buffer, &read, nullptr) && read > 0)
        content.append(buffer, read);
    std::wstring text = win::FromUtf8(content);
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find(L'\n', start);
        if (end == std::wstring::npos)
            end = text.size();
        std::wstring line = text.substr(start, end - start);
        start = end + 1;
        if (line.empty())
            continue;
        JournalEntry entry;
        size_t fieldStart = 0;
        bool first = true;
        for (;;) {
            size_t tab = line.find(L'\t', fieldStart);
            std::wstring field = line.substr(fieldStart, tab - fieldStart);
            if (first)
                entry.kind = field;
            else
                entry.fields.push_back(field);
            first = false;
            if (tab == std::wstring::npos)
                break;
            fieldStart = tab + 1;
        }
        entries.push_back(std::move(entry));
    }
    return entries;
}

std::vector<JournalEntry> JournalEntries(const std::vector<JournalEntry>& all, const wchar_t* kind,
                                         const wchar_t* member) {
    std::vector<JournalEntry> out;
    for (const auto& entry : all)
        if (entry.kind == kind && (!member || (!entry.fields.empty() && entry.fields[0] == member)))
            out.push_back(entry);
    return out;
}

} // namespace kestova::standin::client
