#include "standin/win/application.h"

#include "standin/win/com_addins.h"
#include "standin/win/host.h"
#include "standin/win/powerpoint_ids.h"
#include "standin/win/presentations.h"

#include <olectl.h>

namespace kestova::standin::win {
namespace {

enum : DISPID { kPresentations = 2001, kVersion = 2014, kComAddIns = 2035 };

constexpr MemberInfo kMembers[] = {
    {L"Presentations", kPresentations, MemberInfo::kRead},
    {L"Version", kVersion, MemberInfo::kRead},
    {L"COMAddIns", kComAddIns, MemberInfo::kRead},
};

} // namespace

Application::Application(Host& host)
    : HostObject(host, L"Application", kMembers, &kApplicationIid),
      events_(MakeHeld<EventPoint>(host)), presentations_(MakeHeld<PresentationsCollection>(host)),
      comAddIns_(MakeHeld<ComAddInsCollection>(host)) {}

bool Application::Offers(const MemberInfo& member) const {
    // Hosts older than Office 2000 have no COM add-in list at all.
    return !(member.id == kComAddIns && host_.Settings().noComAddIns);
}

HRESULT Application::Call(const MemberInfo& member, bool, Arguments&, VARIANT* result,
                          CallOutcome& outcome) {
    switch (member.id) {
    case kPresentations:
        ReturnObject(result, outcome, presentations_.get());
        return S_OK;
    case kVersion:
        return SetString(result, host_.Settings().version);
    case kComAddIns:
        ReturnObject(result, outcome, comAddIns_.get());
        return S_OK;
    default:
        return DISP_E_MEMBERNOTFOUND;
    }
}

HRESULT Application::QueryOther(REFIID iid, void** out) noexcept {
    if (iid == IID_IConnectionPointContainer) {
        *out = static_cast<IConnectionPointContainer*>(this);
        AddRef();
        return S_OK;
    }
    return E_NOINTERFACE;
}

STDMETHODIMP Application::EnumConnectionPoints(IEnumConnectionPoints** points) {
    if (points)
        *points = nullptr;
    return E_NOTIMPL;
}

STDMETHODIMP Application::FindConnectionPoint(REFIID iid, IConnectionPoint** point) {
    if (!point)
        return E_POINTER;
    *point = nullptr;
    if (iid != kEApplicationIid || !events_)
        return CONNECT_E_NOCONNECTION;
    *point = events_.get();
    (*point)->AddRef();
    return S_OK;
}

void Application::ReleaseModel() noexcept {
    if (events_)
        events_->Clear();
    events_.reset();
    presentations_.reset();
    comAddIns_.reset();
}

} // namespace kestova::standin::win
