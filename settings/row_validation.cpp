#include "settings/row_validation.h"

namespace kestova {

namespace {

bool IsTrimmed(wchar_t c) {
    return static_cast<unsigned>(c) <= 32u;
}

} // namespace

std::wstring TrimRowText(std::wstring_view text) {
    size_t first = 0;
    size_t last = text.size();
    while (first < last && IsTrimmed(text[first]))
        ++first;
    while (last > first && IsTrimmed(text[last - 1]))
        --last;
    return std::wstring(text.substr(first, last - first));
}

RowCheck CheckRows(const std::vector<std::wstring>& rowTexts, const PathProbe& probe) {
    std::vector<std::wstring> trimmed;
    trimmed.reserve(rowTexts.size());
    for (const auto& text : rowTexts)
        trimmed.push_back(TrimRowText(text));

    RowCheck check;
    check.rowValid.assign(trimmed.size(), true);
    for (size_t k = 0; k < trimmed.size(); ++k) {
        const std::wstring& text = trimmed[k];
        if (text.empty())
            continue;
        if (probe(text) != PathKind::File) {
            check.rowValid[k] = false;
            check.allValid = false;
            continue;
        }
        for (size_t j = k + 1; j < trimmed.size(); ++j) {
            if (trimmed[j] == text) {
                check.rowValid[k] = false;
                check.allValid = false;
                break;
            }
        }
    }
    return check;
}

} // namespace kestova
