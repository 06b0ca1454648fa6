#include "settings/dialog_rows.h"

#include "settings/row_validation.h"

#include <algorithm>

namespace kestova {

std::wstring MonitorCountSentence(int monitorCount) {
    if (monitorCount == 1)
        return L"This system has 1 monitor.";
    return L"This system has " + std::to_wstring(monitorCount) + L" monitors.";
}

std::wstring MonitorRowCaption(int row) {
    return L"Monitor " + std::to_wstring(row + 1) + L" shows:";
}

void StoreRows(TSession& session, const std::vector<std::wstring>& rowTexts, bool enableKeyboard,
               bool enableMouse) {
    TSessionElements elements;
    elements.reserve(std::max(rowTexts.size(), session.Elements.size()));
    for (size_t k = 0; k < rowTexts.size(); ++k)
        elements.push_back({TrimRowText(rowTexts[k]), static_cast<int32_t>(k + 1)});
    for (size_t k = rowTexts.size(); k < session.Elements.size(); ++k)
        elements.push_back(session.Elements[k]);
    session.EnableKeyboard = enableKeyboard;
    session.EnableMouse = enableMouse;
    session.Elements = std::move(elements);
}

} // namespace kestova
