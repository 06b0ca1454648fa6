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
    Presentation(Host& host, std::wstring fullName, ShowSettings settings, int32_t windows);

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
    // Presentation.Close: its show ends, it leaves the host's list, and the object answers no
    // more calls.
    HRESULT Close();

    std::wstring fullName_;
    std::wstring name_;
    ShowSettings settings_;
    Held<SlideShowWindowObject> running_;
    // Document windows and unsaved changes: what tells the add-in that someone has it in hand.
    int32_t windows_ = 0;
    bool saved_ = true;
    bool closed_ = false;
};

// Presentation.Windows (only its Count) and the windows NewWindow opens: objects without a window
// on screen; the tests need to know only that someone has the presentation open in one.
class DocumentWindowsCollection : public HostObject {
public:
    DocumentWindowsCollection(Host& host, int32_t count);

protected:
    HRESULT Call(const MemberInfo& member, bool isPut, Arguments& args, VARIANT* result,
                 CallOutcome& outcome) override;

private:
    int32_t count_;
};

class DocumentWindowObject : public HostObject {
public:
    explicit DocumentWindowObject(Host& host);

protected:
    HRESULT Call(const MemberInfo& member, bool isPut, Arguments& args, VARIANT* result,
                 CallOutcome& outcome) override;
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
