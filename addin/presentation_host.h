#pragma once

// The add-in's view of the presentation host (PowerPoint): only the operations the session service
// and the staging of shows ask of it. Every operation may fail; a failure is an empty result, and
// the caller skips that step.
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace kestova::addin {

// One of the host's objects (Application, presentation, slide show window).
class HostObject {
public:
    virtual ~HostObject() = default;
};

// A counted reference on a host object; null means none. Dropping it never closes a presentation
// or ends a show.
using HostRef = std::shared_ptr<HostObject>;

enum class WindowEdge { Left, Top, Width, Height };

// The receiver of the host's Application events (HostClass). Destroying it disconnects it.
class EventSink {
public:
    virtual ~EventSink() = default;
    // Connects to `application`'s events; null disconnects. False when that failed.
    virtual bool SetHostApp(const HostRef& application) = 0;
};

class PresentationHost {
public:
    virtual ~PresentationHost() = default;

    [[nodiscard]] virtual std::optional<std::wstring> Version(const HostObject& application) = 0;
    // Application.Presentations.Count
    [[nodiscard]] virtual std::optional<int32_t>
    PresentationCount(const HostObject& application) = 0;
    // Application.Presentations.Item(index), index 1-based
    [[nodiscard]] virtual HostRef PresentationItem(const HostObject& application,
                                                   int32_t index) = 0;
    [[nodiscard]] virtual std::optional<std::wstring> FullName(const HostObject& presentation) = 0;
    // Application.Presentations.Open(fileName, read-only, untitled, with-window: all msoFalse).
    // On failure `failure` holds the host's own error text when it gave one.
    [[nodiscard]] virtual HostRef OpenPresentation(const HostObject& application,
                                                   const std::wstring& fileName,
                                                   std::wstring& failure) = 0;
    // presentation.Saved: false while the host holds changes not written to the file
    [[nodiscard]] virtual std::optional<bool> Saved(const HostObject& presentation) = 0;
    // presentation.Windows.Count: its document windows (a slide show's is not one)
    [[nodiscard]] virtual std::optional<int32_t> WindowCount(const HostObject& presentation) = 0;
    // presentation.Close(): the host drops the presentation without asking to save it
    virtual bool ClosePresentation(const HostObject& presentation) = 0;
    // True when both are references on one host object.
    [[nodiscard]] virtual bool SameObject(const HostObject& a, const HostObject& b) = 0;
    // presentation.SlideShowSettings.Run(): the running show's window
    [[nodiscard]] virtual HostRef RunSlideShow(const HostObject& presentation) = 0;
    // Assigns one of the show window's Left, Top, Width, Height (points).
    virtual bool SetWindowPlacement(const HostObject& window, WindowEdge edge, float points) = 0;
    // window.View.Exit()
    virtual bool ExitSlideShow(const HostObject& window) = 0;
    // A new, unconnected event receiver that calls `onSlideShowEnd` whenever any show ends while
    // it is connected. Null when it can't be made.
    [[nodiscard]] virtual std::unique_ptr<EventSink>
    NewEventSink(std::function<void()> onSlideShowEnd) = 0;
};

} // namespace kestova::addin
