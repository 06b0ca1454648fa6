#pragma once

// Application.COMAddIns and its entries: every add-in registered under PowerPoint's Addins key,
// connected or not. An entry's Object is what its add-in assigned while connected.
#include "standin/win/host_object.h"

#include "common/win/unique_handle.h"

#include <extensibility.h>

#include <string>

namespace kestova::standin::win {

class ComAddInsCollection : public HostObject {
public:
    explicit ComAddInsCollection(Host& host);

protected:
    HRESULT Call(const MemberInfo& member, bool isPut, Arguments& args, VARIANT* result,
                 CallOutcome& outcome) override;
};

class ComAddIn : public HostObject {
public:
    ComAddIn(Host& host, std::wstring progId, std::wstring description, DWORD loadBehavior);

    [[nodiscard]] const std::wstring& ProgId() const noexcept { return progId_; }
    [[nodiscard]] DWORD LoadBehavior() const noexcept { return loadBehavior_; }
    [[nodiscard]] bool Connected() const noexcept { return static_cast<bool>(instance_); }

    // The add-in object while it is connected; dropping it also forgets the assigned Object.
    void Attach(kestova::win::ComPtr<IDTExtensibility2> instance) noexcept;
    kestova::win::ComPtr<IDTExtensibility2> Detach() noexcept;
    [[nodiscard]] IDTExtensibility2* Instance() const noexcept { return instance_.Get(); }

protected:
    HRESULT Call(const MemberInfo& member, bool isPut, Arguments& args, VARIANT* result,
                 CallOutcome& outcome) override;

private:
    std::wstring progId_;
    std::wstring description_;
    DWORD loadBehavior_;
    kestova::win::ComPtr<IDTExtensibility2> instance_;
    kestova::win::ComPtr<IDispatch> object_;
};

} // namespace kestova::standin::win
