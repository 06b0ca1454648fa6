#include "standin/win/presentations.h"

#include "standin/member_list.h"
#include "standin/win/host.h"
#include "standin/win/slide_show.h"

#include <string_view>

namespace kestova::standin::win {
namespace {

enum : DISPID { kItem = 0, kCount = 11, kOpen = 2005 };
constexpr MemberInfo kCollectionMembers[] = {
    {L"Item", kItem, MemberInfo::kMethod, {L"Index"}},
    {L"Count", kCount, MemberInfo::kRead},
    {L"Open", kOpen, MemberInfo::kMethod, {L"FileName", L"ReadOnly", L"Untitled", L"WithWindow"}},
};

enum : DISPID {
    kSlideShowSettings = 2015,
    kWindows = 2017,
    kFullName = 2024,
    kSaved = 2027,
    kNewWindow = 2029,
    kClose = 2039,
};
constexpr MemberInfo kPresentationMembers[] = {
    {L"SlideShowSettings", kSlideShowSettings, MemberInfo::kRead},
    {L"Windows", kWindows, MemberInfo::kRead},
    {L"FullName", kFullName, MemberInfo::kRead},
    {L"Saved", kSaved, MemberInfo::kReadWrite},
    {L"NewWindow", kNewWindow, MemberInfo::kMethod},
    {L"Close", kClose, MemberInfo::kMethod},
};

constexpr MemberInfo kDocumentWindowsMembers[] = {
    {L"Count", kCount, MemberInfo::kRead},
};

constexpr int32_t kMsoTrue = -1;

enum : DISPID { kRun = 2008 };
constexpr MemberInfo kSettingsMembers[] = {
    {L"Run", kRun, MemberInfo::kMethod},
};

constexpr wchar_t kCannotOpen[] = L"Presentations.Open : PowerPoint could not open the file.";

std::wstring FileNameOf(const std::wstring& path) {
    size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

std::wstring FullPathOf(const std::wstring& path) {
    DWORD size = ::GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (size == 0)
        return path;
    std::wstring full(size, L'\0');
    DWORD length = ::GetFullPathNameW(path.c_str(), size, full.data(), nullptr);
    if (length == 0 || length >= size)
        return path;
    full.resize(length);
    return full;
}

// The leading bytes of the file, enough for the stand-in's own settings; nothing when the file
// cannot be read, which PowerPoint would also refuse.
bool ReadLeadingBytes(const std::wstring& path, std::string& content) {
    kestova::win::UniqueHandle file(::CreateFileW(path.c_str(), GENERIC_READ,
                                                  FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file.get() == INVALID_HANDLE_VALUE) {
        file.release();
        return false;
    }
    content.assign(64 * 1024, '\0');
    DWORD read = 0;
    if (!::ReadFile(file.get(), content.data(), static_cast<DWORD>(content.size()), &read, nullptr))
        return false;
    content.resize(read);
    return true;
}

} // namespace

PresentationsCollection::PresentationsCollection(Host& host)
    : HostObject(host, L"Presentations", kCollectionMembers) {}

HRESULT PresentationsCollection::Call(const MemberInfo& member, bool, Arguments& args,
                                      VARIANT* result, CallOutcome& outcome) {
    switch (member.id) {
    case kCount:
        SetInt(result, static_cast<int32_t>(host_.Presentations().size()));
        return S_OK;
    case kItem:
        return Item(args, result, outcome);
    case kOpen:
        return Open(args, result, outcome);
    default:
        return DISP_E_MEMBERNOTFOUND;
    }
}

HRESULT PresentationsCollection::Item(Arguments& args, VARIANT* result, CallOutcome& outcome) {
    const VARIANT* index = args.At(0);
    if (!index)
        return DISP_E_PARAMNOTFOUND;
    auto& open = host_.Presentations();
    VARTYPE type =
        index->vt == (VT_BYREF | VT_VARIANT) && index->pvarVal ? index->pvarVal->vt : index->vt;
    if ((type & VT_TYPEMASK) == VT_BSTR) {
        std::wstring name;
        if (FAILED(ReadString(index, name)))
            return DISP_E_TYPEMISMATCH;
        for (auto& presentation : open) {
            if (EqualsNoCase(presentation->Name(), name) ||
                EqualsNoCase(presentation->FullName(), name)) {
                ReturnObject(result, outcome, presentation.get());
                return S_OK;
            }
        }
        return outcome.Raise(E_INVALIDARG, L"Presentations.Item : Item " + name + L" not found.");
    }
    int32_t position = 0;
    if (FAILED(ReadInt(index, position)))
        return DISP_E_TYPEMISMATCH;
    if (position < 1 || static_cast<size_t>(position) > open.size())
        return outcome.Raise(E_INVALIDARG, L"Presentations.Item : Integer out of range. " +
                                               std::to_wstring(position) +
                                               L" is not in the valid range of 1 to " +
                                               std::to_wstring(open.size()) + L".");
    ReturnObject(result, outcome, open[static_cast<size_t>(position - 1)].get());
    return S_OK;
}

HRESULT PresentationsCollection::Open(Arguments& args, VARIANT* result, CallOutcome& outcome) {
    std::wstring fileName;
    if (!args.At(0))
        return DISP_E_PARAMNOTFOUND;
    if (FAILED(ReadString(args.At(0), fileName)))
        return DISP_E_TYPEMISMATCH;
    // ReadOnly, Untitled, WithWindow: MsoTriState values. Only WithWindow matters here: as in
    // PowerPoint, a presentation opens in a document window unless told otherwise.
    int32_t withWindow = kMsoTrue;
    for (size_t i = 1; i < 4; ++i) {
        int32_t state = 0;
        if (args.At(i) && FAILED(ReadInt(args.At(i), state)))
            return DISP_E_TYPEMISMATCH;
        if (i == 3 && args.At(i))
            withWindow = state;
    }
    if (fileName.empty() || fileName == host_.Settings().refuseOpen)
        return outcome.Raise(E_FAIL, kCannotOpen);
    DWORD attributes = ::GetFileAttributesW(fileName.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY))
        return outcome.Raise(E_FAIL, kCannotOpen);
    // The file is read afresh at every Open: what it holds now is what the presentation shows.
    std::string content;
    if (!ReadLeadingBytes(fileName, content))
        return outcome.Raise(E_FAIL, kCannotOpen);
    ShowSettings settings = ParseShowSettings(content);
    if (settings.damaged)
        return outcome.Raise(E_FAIL, L"Presentations.Open : PowerPoint found a problem with "
                                     L"content in " +
                                         FileNameOf(fileName) + L" and cannot read it.");

    Held<Presentation> presentation =
        MakeHeld<Presentation>(host_, FullPathOf(fileName), settings, withWindow != 0 ? 1 : 0);
    host_.Presentations().push_back(presentation);
    // PowerPoint's type library hands the opened presentation back as an IUnknown.
    ReturnObject(result, outcome, presentation.get(), /*asUnknown=*/true);
    return S_OK;
}

Presentation::Presentation(Host& host, std::wstring fullName, ShowSettings settings,
                           int32_t windows)
    : HostObject(host, L"Presentation", kPresentationMembers), fullName_(std::move(fullName)),
      name_(FileNameOf(fullName_)), settings_(settings), windows_(windows) {}

HRESULT Presentation::Call(const MemberInfo& member, bool isPut, Arguments& args, VARIANT* result,
                           CallOutcome& outcome) {
    // A closed presentation's object lives on while others hold it, but is of no use.
    if (closed_)
        return outcome.Raise(E_FAIL, L"Presentation." + std::wstring(member.name) +
                                         L" : Object does not exist.");
    switch (member.id) {
    case kFullName:
        return SetString(result, fullName_);
    case kWindows: {
        Held<DocumentWindowsCollection> windows =
            MakeHeld<DocumentWindowsCollection>(host_, windows_);
        ReturnObject(result, outcome, windows.get());
        return S_OK;
    }
    case kSaved: {
        if (!isPut) {
            SetInt(result, saved_ ? kMsoTrue : 0);
            return S_OK;
        }
        int32_t saved = 0;
        if (FAILED(ReadInt(args.PutValue(), saved)))
            return DISP_E_TYPEMISMATCH;
        saved_ = saved != 0;
        return S_OK;
    }
    case kNewWindow: {
        ++windows_;
        Held<DocumentWindowObject> window = MakeHeld<DocumentWindowObject>(host_);
        ReturnObject(result, outcome, window.get());
        return S_OK;
    }
    case kClose:
        return Close();
    case kSlideShowSettings: {
        Held<SlideShowSettingsObject> settings = MakeHeld<SlideShowSettingsObject>(host_, *this);
        ReturnObject(result, outcome, settings.get());
        return S_OK;
    }
    default:
        return DISP_E_MEMBERNOTFOUND;
    }
}

HRESULT Presentation::RunShow(CallOutcome& outcome, SlideShowWindowObject*& window) {
    window = nullptr;
    if (running_) {
        window = running_.get();
        return S_OK;
    }
    if (settings_.slides < 1)
        return outcome.Raise(E_FAIL, L"SlideShowSettings.Run : " + name_ + L" has no slides.");
    Held<SlideShowWindowObject> show = MakeHeld<SlideShowWindowObject>(host_, *this);
    if (!show->Start())
        return outcome.Raise(E_FAIL, L"SlideShowSettings.Run : The slide show window could not "
                                     L"be created.");
    running_ = show;
    window = show.get();
    host_.ShowBegan(*show.get());
    return S_OK;
}

void Presentation::ShowOver() noexcept {
    running_.reset();
}

HRESULT Presentation::Close() {
    // PowerPoint closes without asking to save when told by automation; its show ends first.
    Held<Presentation> self(this);
    if (SlideShowWindowObject* show = RunningShow())
        show->End(L"closed");
    closed_ = true;
    std::erase_if(host_.Presentations(),
                  [this](const Held<Presentation>& p) { return p.get() == this; });
    host_.JournalOut().Write({L"presentation", name_, L"closed"});
    return S_OK;
}

DocumentWindowsCollection::DocumentWindowsCollection(Host& host, int32_t count)
    : HostObject(host, L"DocumentWindows", kDocumentWindowsMembers), count_(count) {}

HRESULT DocumentWindowsCollection::Call(const MemberInfo& member, bool, Arguments&, VARIANT* result,
                                        CallOutcome&) {
    if (member.id != kCount)
        return DISP_E_MEMBERNOTFOUND;
    SetInt(result, count_);
    return S_OK;
}

DocumentWindowObject::DocumentWindowObject(Host& host) : HostObject(host, L"DocumentWindow", {}) {}

HRESULT DocumentWindowObject::Call(const MemberInfo&, bool, Arguments&, VARIANT*, CallOutcome&) {
    return DISP_E_MEMBERNOTFOUND;
}

SlideShowSettingsObject::SlideShowSettingsObject(Host& host, Presentation& presentation)
    : HostObject(host, L"SlideShowSettings", kSettingsMembers), presentation_(&presentation) {}

HRESULT SlideShowSettingsObject::Call(const MemberInfo& member, bool, Arguments&, VARIANT* result,
                                      CallOutcome& outcome) {
    if (member.id != kRun)
        return DISP_E_MEMBERNOTFOUND;
    SlideShowWindowObject* window = nullptr;
    HRESULT hr = presentation_->RunShow(outcome, window);
    if (FAILED(hr))
        return hr;
    ReturnObject(result, outcome, window);
    return S_OK;
}

} // namespace kestova::standin::win
