#pragma once

// A client's side of the stand-in, for the Windows-side tests and StandinClient.exe: installing
// and ending the host, its knobs, attaching or starting it, late-bound calls by name, an event sink
// for EApplication, and the journal read back.
#include "common/win/unique_handle.h"

#include <windows.h>
#include <oleauto.h>
#include <ocidl.h>

#include <cstdint>
#include <optional>
#include <utility>
#include <string>
#include <vector>

namespace kestova::standin::client {

using kestova::win::ComPtr;
using kestova::win::UniqueVariant;

// ----- the built binaries and the host process

// A file in the folder of the running program (bin/ of the build).
std::wstring BinaryPath(const wchar_t* fileName);
// Runs a command line to its end: its exit code, or -1 when it could not start or timed out.
long RunAndWait(std::wstring commandLine, DWORD timeoutMs = 60000);
// PptStandin.exe /RegServer, /UnregServer, /Quit (0: ended, 1: none running, 2: still running).
bool RegisterStandin();
void UnregisterStandin();
long QuitStandin();
// Starts PptStandin.exe without arguments (a host started in advance) and waits until its
// Application is in the running-object table.
bool StartStandinDirectly(DWORD timeoutMs = 30000);

// ----- registry: knobs and add-in keys

inline constexpr wchar_t kStandinKnobs[] = L"Software\\KestovaTest\\Standin";
inline constexpr wchar_t kRecordingKnobs[] = L"Software\\KestovaTest\\RecordingAddin";
inline constexpr wchar_t kOfficeAddins[] = L"Software\\Microsoft\\Office\\PowerPoint\\Addins";
inline constexpr wchar_t kRecordingProgId[] = L"KestovaTest.RecordingAddin";

// Removes every knob and every PowerPoint add-in key of the current user.
void ResetTestRegistry();
bool SetKnob(const wchar_t* key, const wchar_t* name, const std::wstring& value);
bool SetKnob(const wchar_t* key, const wchar_t* name, DWORD value);
// Writes PowerPoint's add-in key; a null friendly name leaves the value out.
bool RegisterAddinKey(const std::wstring& progId, const wchar_t* friendlyName, DWORD loadBehavior);
std::optional<DWORD> AddinLoadBehavior(const std::wstring& progId);
// RecordingAddin.dll's DllRegisterServer / DllUnregisterServer, called in this process.
bool RegisterRecordingAddinClass();
void UnregisterRecordingAddinClass();

// ----- the host's objects

// GetActiveObject of PowerPoint.Application's class.
HRESULT AttachApplication(ComPtr<IDispatch>& application);
// CoCreateInstance with class context 5 (in-process or local server), as the screen saver does.
HRESULT StartApplication(ComPtr<IDispatch>& application);

// Late-bound calls by name. Arguments in natural order; results land in `result`.
HRESULT Get(IDispatch* object, const wchar_t* member, UniqueVariant& result,
            std::wstring* description = nullptr);
HRESULT Put(IDispatch* object, const wchar_t* member, VARIANT value,
            std::wstring* description = nullptr);
HRESULT CallMethod(IDispatch* object, const wchar_t* member, std::vector<VARIANT> arguments,
                   UniqueVariant* result = nullptr, std::wstring* description = nullptr);
// The object in a result (VT_DISPATCH or VT_UNKNOWN, also by reference), as IDispatch.
ComPtr<IDispatch> AsDispatch(const VARIANT& value);
std::wstring AsString(const VARIANT& value);
int32_t AsInt(const VARIANT& value);
double AsDouble(const VARIANT& value);

// Variant builders (the caller's own storage for by-reference ones).
VARIANT IntArg(int32_t value);
VARIANT IntRef(int32_t* value);
VARIANT FloatArg(float value);
VARIANT FloatRef(float* value);
VARIANT StringArg(BSTR value); // borrowed: the caller keeps ownership
VARIANT StringRef(BSTR* value);
VARIANT VariantRef(VARIANT* value);

// Opens a presentation and starts its show: the SlideShowWindow, or null with `hr` set.
ComPtr<IDispatch> OpenAndRun(IDispatch* application, const std::wstring& path, HRESULT& hr,
                             ComPtr<IDispatch>* presentation = nullptr);
// Lays a slide show window over a rectangle of virtual-screen pixels, converted to points at
// the screen's DPI in the order Left, Top, Width, Height.
HRESULT PlaceInPoints(IDispatch* slideShowWindow, const RECT& pixels);
// Logical pixels per inch of the screen (x, y).
std::pair<int, int> ScreenDpi();

// ----- events

// An EApplication sink that counts SlideShowBegin / SlideShowEnd and keeps each ended
// presentation's FullName. Calls arrive while the client pumps messages (PumpUntil).
class EventSink : public IDispatch {
public:
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;
    STDMETHODIMP GetTypeInfoCount(UINT* count) override;
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo** info) override;
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override;
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                        EXCEPINFO*, UINT*) override;

    // Connects to / disconnects from the Application's EApplication connection point.
    HRESULT Connect(IDispatch* application);
    HRESULT Disconnect();

    int begins = 0;
    int ends = 0;
    std::vector<std::wstring> endedFullNames;
    VARTYPE lastArgumentType = VT_EMPTY;

private:
    LONG references_ = 1;
    ComPtr<IConnectionPoint> point_;
    DWORD cookie_ = 0;
};

// Pumps this thread's messages (incoming COM calls among them) until `done` or the time limit.
template <typename Predicate> bool PumpUntil(Predicate done, DWORD timeoutMs) {
    DWORD start = ::GetTickCount();
    while (!done()) {
        if (::GetTickCount() - start > timeoutMs)
            return false;
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
        MSG message;
        while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&message);
            ::DispatchMessageW(&message);
        }
    }
    return true;
}

// ----- the journal

struct JournalEntry {
    std::wstring kind;
    std::vector<std::wstring> fields;
};

// Every line of the journal at `path`, split at tabs.
std::vector<JournalEntry> ReadJournal(const std::wstring& path);
// The entries of one kind; for "call", optionally only those of one "Object.Member".
std::vector<JournalEntry> JournalEntries(const std::vector<JournalEntry>& all, const wchar_t* kind,
                                         const wchar_t* member = nullptr);

} // namespace kestova::standin::client
