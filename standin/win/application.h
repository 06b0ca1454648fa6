#pragma once

// PowerPoint's Application: the root of the object model and the source of its events.
#include "standin/win/event_point.h"
#include "standin/win/host_object.h"

namespace kestova::standin::win {

class PresentationsCollection;
class ComAddInsCollection;

class Application : public HostObject, public IConnectionPointContainer {
public:
    explicit Application(Host& host);

    STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
        return HostObject::QueryInterface(iid, out);
    }
    STDMETHODIMP_(ULONG) AddRef() override { return HostObject::AddRef(); }
    STDMETHODIMP_(ULONG) Release() override { return HostObject::Release(); }

    STDMETHODIMP EnumConnectionPoints(IEnumConnectionPoints** points) override;
    STDMETHODIMP FindConnectionPoint(REFIID iid, IConnectionPoint** point) override;

    [[nodiscard]] EventPoint& Events() noexcept { return *events_.get(); }
    // Lets go of the sub-objects and event sinks (host shutdown).
    void ReleaseModel() noexcept;

protected:
    HRESULT Call(const MemberInfo& member, bool isPut, Arguments& args, VARIANT* result,
                 CallOutcome& outcome) override;
    [[nodiscard]] bool Offers(const MemberInfo& member) const override;
    HRESULT QueryOther(REFIID iid, void** out) noexcept override;

private:
    Held<EventPoint> events_;
    Held<PresentationsCollection> presentations_;
    Held<ComAddInsCollection> comAddIns_;
};

} // namespace kestova::standin::win
