#pragma once

// Application.Presentations, the presentations it opened, and their slide show settings.
#include "standin/sample_file.h"
#include "standin/win/host_object.h"

#include <string>

namespace kestova::standin::win {

class SlideShowWindowObject;

class PresentationsCollection : public HostObject {
public:
    explicit PresentationsCollection(Host& host);

protected:
    HRESULT Call(const MemberInfo& member, bool isPut, Arguments& args, VARIANT* result,
                 CallOutcome& outcome) override;

private:
    HRESULT Open(Arguments& args, VARIANT* result, CallOutcome& outcome);
    HRESULT Item(Arguments& args, VARIANT* result, CallOutcome& outcome);
};

class Presentation : public HostObject {
public:
    Presentation(Host& host, std::wstring fullName, ShowSettings settings);

    [[nodiscard]] const std::wstring& FullName() const noexcept { return fullName_; }
    [[nodiscard]] const std::wstring& Name() const noexcept { return name_; }
    [[nodiscard]] const ShowSettings& Settings() const noexcept { return settings_; }

    // Starts the show with the presentation's own settings, or hands back the running one
    // (a presentation has one show at a time).
    HRESULT RunShow(CallOutcome& outcome, SlideShowWindowObject*& window);
    // The running show's window (none when no show runs).
    [[nodiscard]] SlideShowWindowObject* RunningShow() const noexcept { return running_.get(); }
    // Called by the show's window when the show is over.
    void ShowOver() noexcept;

protected:
    HRESULT Call(const MemberInfo& member, bool isPut, Arguments& args, VARIANT* result,
                 CallOutcome& outcome) override;

private:
    std::wstring fullName_;
    std::wstring name_;
    ShowSettings settings_;
    Held<SlideShowWindowObject> running_;
};

class SlideShowSettingsObject : public HostObject {
public:
    SlideShowSettingsObject(Host& host, Presentation& presentation);

protected:
    HRESULT Call(const MemberInfo& member, bool isPut, Arguments& args, VARIANT* result,
                 CallOutcome& outcome) override;

private:
    Held<Presentation> presentation_;
};

} // namespace kestova::standin::win
