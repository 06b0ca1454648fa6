#pragma once

// The presentation host over PowerPoint's automation objects.
#include "addin/presentation_host.h"

namespace kestova::addin::win {

class DispatchHost : public PresentationHost {
public:
    std::optional<std::wstring> Version(const HostObject& application) override;
    std::optional<int32_t> PresentationCount(const HostObject& application) override;
    HostRef PresentationItem(const HostObject& application, int32_t index) override;
    std::optional<std::wstring> FullName(const HostObject& presentation) override;
    HostRef OpenPresentation(const HostObject& application, const std::wstring& fileName,
                             std::wstring& failure) override;
    std::optional<bool> Saved(const HostObject& presentation) override;
    std::optional<int32_t> WindowCount(const HostObject& presentation) override;
    bool ClosePresentation(const HostObject& presentation) override;
    bool SameObject(const HostObject& a, const HostObject& b) override;
    HostRef RunSlideShow(const HostObject& presentation) override;
    bool SetWindowPlacement(const HostObject& window, WindowEdge edge, float points) override;
    bool ExitSlideShow(const HostObject& window) override;
    std::unique_ptr<EventSink> NewEventSink(std::function<void()> onSlideShowEnd) override;
};

} // namespace kestova::addin::win
