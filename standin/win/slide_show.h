#pragma once

// A running slide show as PowerPoint hands it out: the SlideShowWindow (placed in points) and its
// View (which ends the show).
#include "standin/win/host_object.h"
#include "standin/win/show_window.h"

#include <array>

namespace kestova::standin::win {

class Presentation;

class SlideShowWindowObject : public HostObject, private ShowWindowListener {
public:
    SlideShowWindowObject(Host& host, Presentation& presentation);

    // Opens the window over the primary monitor, where a show starts until it is placed.
    [[nodiscard]] bool Start();
    // Ends the show (once): the window goes, the journal and the event sinks hear of it.
    void End(const wchar_t* reason) noexcept;
    [[nodiscard]] bool Running() const noexcept { return running_; }
    [[nodiscard]] Presentation& Owner() const noexcept { return *presentation_.get(); }

protected:
    HRESULT Call(const MemberInfo& member, bool isPut, Arguments& args, VARIANT* result,
                 CallOutcome& outcome) override;

private:
    void OnShowOver(const wchar_t* reason) noexcept override { End(reason); }
    void OnSlideInput(const wchar_t* input, int32_t slide) noexcept override;
    HRESULT Place(size_t edge, double points, CallOutcome& outcome);
    void JournalPlacement() noexcept;

    Held<Presentation> presentation_;
    ShowWindow window_;
    bool running_ = false;
    HWND handle_ = nullptr;
    std::array<float, 4> points_{}; // Left, Top, Width, Height as last assigned or as started
};

class SlideShowViewObject : public HostObject {
public:
    SlideShowViewObject(Host& host, SlideShowWindowObject& window);

protected:
    HRESULT Call(const MemberInfo& member, bool isPut, Arguments& args, VARIANT* result,
                 CallOutcome& outcome) override;

private:
    Held<SlideShowWindowObject> window_;
};

} // namespace kestova::standin::win
