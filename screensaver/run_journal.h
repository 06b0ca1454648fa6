#pragma once

// The run journal: one plain UTF-8 block per screen saver run, appended to a bounded file that
// the people who look after unwatched screens can open in Notepad.
#include "common/monitor_order.h"
#include "screensaver/monitor_outcome.h"
#include "screensaver/run_end.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kestova {

// How the driver reached the presentation host.
enum class HostContact {
    NotContacted, // no presentation file existed, so the host was left alone
    Attached,     // a running host
    Started,      // a host started for this run
    Unavailable,  // neither worked
};

// One settings entry as the run read it.
struct SettingsEntryFact {
    int32_t monitor = 0; // the entry's position, which is the monitor it belongs to
    std::wstring path;
    bool exists = false;
    int32_t storedMonitor = 0; // the entry's own MonitorNum, handed to the add-in as it is
};

// What lies on a monitor during the run.
enum class Cover {
    Nothing, // the start left it bare (it failed before reaching it)
    Show,    // a slide show
    Black,   // Corvane's black window
};

struct MonitorChange {
    MonitorRect rect;
    Cover cover = Cover::Nothing; // what lay on a monitor that went, what covers a new one
};

// One change of the system's monitors during the run and what the run did about it.
struct DisplayChangeFact {
    std::vector<MonitorRect> monitors; // after the change, in the product's order
    std::vector<MonitorChange> gone;
    std::vector<MonitorChange> added;
};

// What the session driver saw from the settings to the host; the journal's part of the run that
// only the driver knows.
struct RunFacts {
    std::wstring settingsError; // the settings could not be read (the error report's text)
    std::vector<SettingsEntryFact> entries; // entries for monitors 1 to the monitor count
    size_t entriesBeyondMonitors = 0;       // stored entries past the last monitor
    bool enableKeyboard = false;
    bool enableMouse = false;
    std::vector<std::wstring> ignoredPolicies; // policy values of the wrong type, one text each
    HostContact host = HostContact::NotContacted;
    std::wstring hostVersion; // empty when unknown
    bool addInFound = false;
    std::wstring failure;          // the text of a failed start's error report
    bool endedDuringStart = false; // the run was ended while its start was still under way
    std::vector<DisplayChangeFact> displayChanges; // during the run, in their order
};

// What the host did to the run besides answering.
struct HostBusyNotes {
    bool startKeptWaiting = false; // a call of the start waited over 3 s
    bool callsTurnedAway = false;  // the host turned calls away (busy or modal)
    std::wstring window;           // the title of a window of the host's own seen meanwhile
};

// Local wall-clock time with its offset from UTC.
struct LocalTime {
    int32_t year = 1970, month = 1, day = 1, hour = 0, minute = 0, second = 0;
    int32_t offsetMinutes = 0; // local minus UTC
};

struct JournalMonitor {
    MonitorRect rect;
    uint32_t dpi = 96;
    bool primary = false;
};

// Everything one block tells.
struct RunRecord {
    LocalTime start;
    uint32_t processId = 0;
    std::vector<JournalMonitor> monitors; // in the product's order
    RunFacts facts;
    std::vector<MonitorOutcome> outcomes;
    std::optional<RunEnd> end; // empty when nothing asked the main window to close
    int64_t endToExitMs = 0;   // from the event that ended the run to the run's end
    int64_t lengthMs = 0;      // from the start to the run's end
    bool abandoned = false;    // the host kept a call waiting: the process left without its answer
    bool startUnknown = false; // abandoned before the start returned: facts and outcomes unknown
    HostBusyNotes hostBusy;
};

// "2026-12-07T18:03:12+01:00"
[[nodiscard]] std::string FormatIsoTime(const LocalTime& time);
// The block, lines ending in CR LF, closed by an empty line. Texts are put on one line each.
[[nodiscard]] std::string FormatRunBlock(const RunRecord& record);
[[nodiscard]] std::string ToUtf8(std::wstring_view text);
// A text on one line: a line break or tab inside it (the host's error texts end in one) becomes
// a blank, so it can't start a line of its own in the journal or the event log; trailing blanks go.
[[nodiscard]] std::wstring OneLineText(std::wstring_view text);

// The journal's two files: the current one and the one before it.
class JournalFiles {
public:
    virtual ~JournalFiles() = default;
    // The current file's size; nullopt when there is none (or it can't be asked).
    [[nodiscard]] virtual std::optional<uint64_t> Size() noexcept = 0;
    // Renames the current file to the older one's name, replacing it.
    [[nodiscard]] virtual bool Rotate() noexcept = 0;
    // Appends `bytes` with one write, creating the file when needed.
    [[nodiscard]] virtual bool Append(std::string_view bytes) noexcept = 0;
};

inline constexpr uint64_t kJournalLimit = 1024 * 1024;

// Appends one block, first moving a file that the block would take past `limit` aside. A new
// file starts with a byte-order mark so that older editors read it as UTF-8. False when nothing
// was written; the run goes on either way and the next one tries again.
bool AppendRunBlock(JournalFiles& files, std::string_view block, uint64_t limit = kJournalLimit);

} // namespace kestova
