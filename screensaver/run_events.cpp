#include "screensaver/run_events.h"

namespace kestova {

namespace {

// ReportEvent refuses strings past about 32K characters in all; a run's texts are far shorter
// unless a stored path is absurd, and then the event still goes out, cut.
constexpr size_t kMaxEventText = 8000;

std::wstring Bounded(std::wstring text) {
    if (text.size() > kMaxEventText) {
        text.resize(kMaxEventText - 1);
        text.push_back(L'\u2026');
    }
    return text;
}

std::wstring BusyText(const HostBusyNotes& busy) {
    std::wstring text;
    if (busy.startKeptWaiting)
        text += L"PowerPoint kept the start waiting over 3 s.";
    if (busy.callsTurnedAway)
        text += std::wstring(text.empty() ? L"" : L" ") + L"PowerPoint turned calls away.";
    if (!busy.window.empty())
        text += std::wstring(text.empty() ? L"" : L" ") + L"PowerPoint's own window \"" +
                OneLineText(busy.window) + L"\" was up.";
    return text.empty() ? L"Nothing more was seen of PowerPoint." : text;
}

} // namespace

std::vector<RunEvent> RunEvents(const RunRecord& record, const std::wstring& journalFile) {
    std::vector<RunEvent> events;
    const RunFacts& facts = record.facts;
    const std::wstring journal =
        journalFile.empty() ? L"(none: its folder is unknown)" : journalFile;
    // A start still waiting on the host when the run ended: what it learnt is unknown.
    const bool startFailed =
        !record.startUnknown && (!facts.failure.empty() || !facts.settingsError.empty());
    if (startFailed) {
        const std::wstring failure =
            facts.settingsError.empty()
                ? OneLineText(facts.failure)
                : L"The settings could not be read: " + OneLineText(facts.settingsError);
        events.push_back(
            {kStartFailedEvent, kStartCategory, EventLevel::Error, {Bounded(failure), journal}});
    }
    // A failed start has said all there is; one cut short by the user left monitors bare on
    // purpose.
    if (!startFailed && !record.startUnknown && !facts.endedDuringStart) {
        std::wstring monitors;
        for (const MonitorOutcome& outcome : record.outcomes) {
            if (outcome.showRunning || outcome.presentation.empty())
                continue;
            if (!monitors.empty())
                monitors += L"\r\n";
            monitors += L"Monitor " + std::to_wstring(outcome.monitor) + L": " +
                        (outcome.reason.empty() ? L"No slide show was started for this monitor."
                                                : OneLineText(outcome.reason));
            if (!outcome.detail.empty())
                monitors += L" (" + OneLineText(outcome.detail) + L")";
        }
        if (!monitors.empty())
            events.push_back({kMonitorsWithoutShowEvent,
                              kMonitorsCategory,
                              EventLevel::Warning,
                              {Bounded(monitors), journal}});
    }
    if (record.abandoned)
        events.push_back({kAbandonedRunEvent,
                          kPowerPointCategory,
                          EventLevel::Warning,
                          {Bounded(BusyText(record.hostBusy)), journal}});
    return events;
}

} // namespace kestova
