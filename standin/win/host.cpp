#include "standin/win/host.h"

#include "standin/win/addin_loader.h"
#include "standin/win/application.h"
#include "standin/win/powerpoint_ids.h"
#include "standin/win/presentations.h"
#include "standin/win/slide_show.h"

namespace kestova::standin::win {

Host::Host(Journal& journal, RefTracker& tracker, Knobs knobs)
    : journal_(journal), tracker_(tracker), knobs_(std::move(knobs)),
      addins_(std::make_unique<AddinLoader>(*this)) {}

Host::~Host() = default;

DispatchContext Host::DispatchContextFor() const noexcept {
    return DispatchContext{&journal_, &knobs_.faults, L"Microsoft PowerPoint"};
}

void Host::Start() {
    application_ = MakeHeld<Application>(*this);
    addins_->LoadAtStartup();
}

void Host::Shutdown() noexcept {
    try {
        // Shows first (their end events still reach connected add-ins), then the add-ins.
        std::vector<Held<Presentation>> open = presentations_;
        for (auto& presentation : open)
            if (SlideShowWindowObject* show = presentation->RunningShow())
                show->End(L"quit");
        addins_->ShutdownAll();
        for (auto& entry : addInEntries_)
            (void)entry->Detach();
        if (application_)
            application_->ReleaseModel();
        presentations_.clear();
        addInEntries_.clear();
        application_.reset();
    } catch (...) {
    }
}

void Host::ShowBegan(SlideShowWindowObject& window) {
    journal_.Write({L"show", window.Owner().Name(), L"begin", L"run"});
    if (application_)
        application_->Events().Raise(kSlideShowBeginId, L"SlideShowBegin",
                                     static_cast<IDispatch*>(&window));
}

void Host::ShowEnded(Presentation& presentation, const std::wstring& reason) {
    journal_.Write({L"show", presentation.Name(), L"end", reason});
    if (application_)
        application_->Events().Raise(kSlideShowEndId, L"SlideShowEnd",
                                     static_cast<IDispatch*>(&presentation));
}

uint32_t Host::NextShowColor() noexcept {
    // Distinct, clearly non-black colours, none close to the test desktop's blue.
    static constexpr uint32_t kPalette[] = {0xD2691E, 0x2E8B57, 0x8A2BE2, 0xB22222,
                                            0x20B2AA, 0xC71585, 0x6B8E23, 0xFF8C00};
    return kPalette[showsStarted_++ % std::size(kPalette)];
}

} // namespace kestova::standin::win
