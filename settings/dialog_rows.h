#pragma once

// The settings dialog's per-monitor rows: their captions and what OK makes of them.
#include "settings/session.h"

#include <string>
#include <vector>

namespace kestova {

// "This system has 1 monitor." / "This system has 3 monitors."
[[nodiscard]] std::wstring MonitorCountSentence(int monitorCount);

// The label of row `row` (from 0): "Monitor 1 shows:" for row 0.
[[nodiscard]] std::wstring MonitorRowCaption(int row);

// What OK stores: both flags, and one entry per row in row order, numbered from 1, with the row's
// trimmed text as the path. Empty rows are kept as entries with an empty path, so the list stays
// positional. Entries beyond the rows (monitors not attached now, such as a laptop's when it is
// off its dock) are kept as they are, so the list never gets shorter.
void StoreRows(TSession& session, const std::vector<std::wstring>& rowTexts, bool enableKeyboard,
               bool enableMouse);

} // namespace kestova
