#pragma once

// The stand-in's process-wide state: its settings, journal and reference balance, the object
// model (Application, add-in list, open presentations) and the running shows. One per process,
// used on the main thread only, like PowerPoint's own.
#include "standin/win/dispatch_core.h"
#include "standin/win/knobs.h"
#include "standin/win/ref_tracker.h"

#include <memory>
#include <vector>

namespace kestova::standin::win {

class Application;
class ComAddIn;
class Presentation;
class SlideShowWindowObject;
class AddinLoader;

class Host {
public:
    Host(Journal& journal, RefTracker& tracker, Knobs knobs);
    ~Host();
    Host(const Host&) = delete;
    Host& operator=(const Host&) = delete;

    // Builds the object model and loads the registered add-ins (COM must be up).
    void Start();
    // Ends the shows, disconnects and releases the add-ins, drops every hold of the host.
    void Shutdown() noexcept;

    [[nodiscard]] Journal& JournalOut() noexcept { return journal_; }
    [[nodiscard]] RefTracker& Tracker() noexcept { return tracker_; }
    [[nodiscard]] const Knobs& Settings() const noexcept { return knobs_; }
    [[nodiscard]] DispatchContext DispatchContextFor() const noexcept;

    [[nodiscard]] Application* App() const noexcept { return application_.get(); }
    [[nodiscard]] AddinLoader& Addins() noexcept { return *addins_; }
    [[nodiscard]] std::vector<Held<ComAddIn>>& AddInEntries() noexcept { return addInEntries_; }
    [[nodiscard]] std::vector<Held<Presentation>>& Presentations() noexcept {
        return presentations_;
    }

    // Show bookkeeping: every begin and end is journalled and raised to the event sinks.
    void ShowBegan(SlideShowWindowObject& window);
    void ShowEnded(Presentation& presentation, const std::wstring& reason);
    [[nodiscard]] uint32_t NextShowColor() noexcept;

private:
    Journal& journal_;
    RefTracker& tracker_;
    Knobs knobs_;
    Held<Application> application_;
    std::vector<Held<ComAddIn>> addInEntries_;
    std::vector<Held<Presentation>> presentations_;
    std::unique_ptr<AddinLoader> addins_;
    uint32_t showsStarted_ = 0;
};

} // namespace kestova::standin::win
