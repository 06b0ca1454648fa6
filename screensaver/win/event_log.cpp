#include "screensaver/win/event_log.h"

#include "common/product.h"

#include "corvane_events.h"

namespace kestova::win {

// The ids the run's events use are the message table's.
static_assert(KESTOVA_CATEGORY_START == kStartCategory);
static_assert(KESTOVA_CATEGORY_MONITORS == kMonitorsCategory);
static_assert(KESTOVA_CATEGORY_POWERPOINT == kPowerPointCategory);
static_assert(KESTOVA_EVENT_START_FAILED == kStartFailedEvent);
static_assert(KESTOVA_EVENT_MONITORS_WITHOUT_SHOW == kMonitorsWithoutShowEvent);
static_assert(KESTOVA_EVENT_ABANDONED_RUN == kAbandonedRunEvent);

RunEventLog::RunEventLog() noexcept : source_(::RegisterEventSourceW(nullptr, kProductCaption)) {}

void RunEventLog::Report(const std::vector<RunEvent>& events) noexcept {
    if (!source_)
        return;
    for (const RunEvent& event : events) {
        try {
            std::vector<const wchar_t*> strings;
            for (const std::wstring& text : event.strings)
                strings.push_back(text.c_str());
            const WORD type =
                event.level == EventLevel::Error ? EVENTLOG_ERROR_TYPE : EVENTLOG_WARNING_TYPE;
            (void)::ReportEventW(source_.get(), type, event.category, event.id, nullptr,
                                 static_cast<WORD>(strings.size()), 0, strings.data(), nullptr);
        } catch (...) {
            // This event is lost; the next one is still tried.
        }
    }
}

} // namespace kestova::win
