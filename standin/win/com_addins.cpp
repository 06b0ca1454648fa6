#include "standin/win/com_addins.h"

#include "standin/member_list.h"
#include "standin/win/addin_loader.h"
#include "standin/win/host.h"

namespace kestova::standin::win {
namespace {

enum : DISPID { kItem = 0, kCount = 1 };
constexpr MemberInfo kCollectionMembers[] = {
    {L"Item", kItem, MemberInfo::kMethod, {L"Index"}},
    {L"Count", kCount, MemberInfo::kRead},
};

enum : DISPID { kDescription = 0, kProgId = 3, kGuid = 4, kConnect = 6, kObject = 7 };
constexpr MemberInfo kEntryMembers[] = {
    {L"Description", kDescription, MemberInfo::kRead},
    {L"ProgId", kProgId, MemberInfo::kRead},
    {L"Guid", kGuid, MemberInfo::kRead},
    {L"Connect", kConnect, MemberInfo::kReadWrite},
    {L"Object", kObject, MemberInfo::kReadWrite},
};

std::wstring ClassIdText(const std::wstring& progId) {
    CLSID clsid{};
    if (FAILED(::CLSIDFromProgID(progId.c_str(), &clsid)))
        return {};
    wchar_t text[40] = {};
    return ::StringFromGUID2(clsid, text, 40) ? std::wstring(text) : std::wstring();
}

} // namespace

ComAddInsCollection::ComAddInsCollection(Host& host)
    : HostObject(host, L"COMAddIns", kCollectionMembers) {}

HRESULT ComAddInsCollection::Call(const MemberInfo& member, bool, Arguments& args, VARIANT* result,
                                  CallOutcome& outcome) {
    auto& entries = host_.AddInEntries();
    if (member.id == kCount) {
        SetInt(result, static_cast<int32_t>(entries.size()));
        return S_OK;
    }
    // Item: a 1-based position, or a ProgID as Office also accepts.
    const VARIANT* index = args.At(0);
    if (!index)
        return DISP_E_PARAMNOTFOUND;
    VARTYPE type =
        index->vt == (VT_BYREF | VT_VARIANT) && index->pvarVal ? index->pvarVal->vt : index->vt;
    if ((type & VT_TYPEMASK) == VT_BSTR) {
        std::wstring progId;
        if (FAILED(ReadString(index, progId)))
            return DISP_E_TYPEMISMATCH;
        for (auto& entry : entries) {
            if (EqualsNoCase(entry->ProgId(), progId)) {
                ReturnObject(result, outcome, entry.get());
                return S_OK;
            }
        }
        return outcome.Raise(E_INVALIDARG,
                             L"COMAddIns.Item : The add-in " + progId + L" is not registered.");
    }
    int32_t position = 0;
    if (FAILED(ReadInt(index, position)))
        return DISP_E_TYPEMISMATCH;
    if (position < 1 || static_cast<size_t>(position) > entries.size())
        return outcome.Raise(E_INVALIDARG, L"COMAddIns.Item : Integer out of range. " +
                                               std::to_wstring(position) +
                                               L" is not in the valid range of 1 to " +
                                               std::to_wstring(entries.size()) + L".");
    ReturnObject(result, outcome, entries[static_cast<size_t>(position - 1)].get());
    return S_OK;
}

ComAddIn::ComAddIn(Host& host, std::wstring progId, std::wstring description, DWORD loadBehavior)
    : HostObject(host, L"COMAddIn", kEntryMembers), progId_(std::move(progId)),
      description_(std::move(description)), loadBehavior_(loadBehavior) {}

void ComAddIn::Attach(kestova::win::ComPtr<IDTExtensibility2> instance) noexcept {
    instance_ = std::move(instance);
}

kestova::win::ComPtr<IDTExtensibility2> ComAddIn::Detach() noexcept {
    object_.Reset();
    return std::move(instance_);
}

HRESULT ComAddIn::Call(const MemberInfo& member, bool isPut, Arguments& args, VARIANT* result,
                       CallOutcome& outcome) {
    switch (member.id) {
    case kDescription:
        return SetString(result, description_);
    case kProgId:
        return SetString(result, progId_);
    case kGuid:
        return SetString(result, ClassIdText(progId_));
    case kConnect: {
        if (!isPut) {
            SetBool(result, Connected());
            return S_OK;
        }
        bool wanted = false;
        if (FAILED(ReadBool(args.PutValue(), wanted)))
            return DISP_E_TYPEMISMATCH;
        if (wanted == Connected())
            return S_OK;
        // A user switching an add-in on or off in the running host.
        Held<ComAddIn> self(this);
        HRESULT hr = wanted ? host_.Addins().Connect(*this, ext_cm_AfterStartup)
                            : host_.Addins().Disconnect(*this, ext_dm_UserClosed);
        if (FAILED(hr))
            return outcome.Raise(hr, L"COMAddIn.Connect : The add-in " + progId_ +
                                         L" could not be " +
                                         (wanted ? L"connected." : L"disconnected."));
        return S_OK;
    }
    case kObject: {
        if (!isPut) {
            SetObject(result, object_.Get());
            return S_OK;
        }
        kestova::win::ComPtr<IDispatch> object;
        if (FAILED(ReadObject(args.PutValue(), object)))
            return DISP_E_TYPEMISMATCH;
        object_ = std::move(object);
        return S_OK;
    }
    default:
        return DISP_E_MEMBERNOTFOUND;
    }
}

} // namespace kestova::standin::win
