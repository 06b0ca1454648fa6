#include "settings/row_validation.h"

#include <algorithm>
#include <map>

namespace kestova {

namespace {

bool IsTrimmed(wchar_t c) {
    return static_cast<unsigned>(c) <= 32u;
}

bool IsDriveLetter(wchar_t c) {
    return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z');
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

bool IsFullPath(std::wstring_view path) {
    if (path.size() >= 3 && IsDriveLetter(path[0]) && path[1] == L':' && path[2] == L'\\')
        return true;
    if (path.size() < 2 || path[0] != L'\\' || path[1] != L'\\')
        return false;
    // \\server\share: both names present; "?" and "." are the device namespaces, not servers.
    const size_t serverEnd = path.find(L'\\', 2);
    if (serverEnd == std::wstring_view::npos || serverEnd == 2)
        return false;
    const std::wstring_view server = path.substr(2, serverEnd - 2);
    if (server == L"?" || server == L".")
        return false;
    const size_t shareEnd = path.find(L'\\', serverEnd + 1);
    const size_t shareLength =
        (shareEnd == std::wstring_view::npos ? path.size() : shareEnd) - serverEnd - 1;
    return shareLength > 0;
}

RowCheck CheckRows(const std::vector<std::wstring>& rowTexts, const RowFactsLookup& factsOf,
                   size_t shownRows) {
    std::vector<std::wstring> trimmed;
    trimmed.reserve(rowTexts.size());
    for (const auto& text : rowTexts)
        trimmed.push_back(TrimRowText(text));
    const size_t shown = std::min(shownRows, trimmed.size());

    // Every row's answer first, so each is asked once.
    std::vector<std::optional<PathFacts>> facts(trimmed.size());
    for (size_t k = 0; k < trimmed.size(); ++k) {
        if (!trimmed[k].empty() && IsFullPath(trimmed[k]))
            facts[k] = factsOf(k, trimmed[k]);
    }

    RowCheck check;
    check.states.assign(shown, RowState::Valid);
    for (size_t k = 0; k < shown; ++k) {
        RowState& state = check.states[k];
        if (trimmed[k].empty())
            continue;
        if (!IsFullPath(trimmed[k])) {
            state = RowState::NotFullPath;
            check.anyNotFullPath = true;
        } else if (!facts[k]) {
            state = RowState::Pending;
        } else if (facts[k]->kind == PathKind::Unreachable) {
            state = RowState::Unreachable;
            check.anyUnreachable = true;
        } else if (facts[k]->kind != PathKind::File) {
            state = RowState::NotAFile;
        } else {
            for (size_t j = k + 1; j < trimmed.size(); ++j) {
                if (facts[j] && facts[j]->kind == PathKind::File &&
                    facts[j]->identity == facts[k]->identity) {
                    state = RowState::Duplicate;
                    break;
                }
            }
        }
        if (state != RowState::Valid)
            check.allValid = false;
    }
    check.rowValid.reserve(check.states.size());
    for (RowState state : check.states)
        check.rowValid.push_back(state == RowState::Valid || state == RowState::Pending);
    return check;
}

RowCheck CheckRows(const std::vector<std::wstring>& rowTexts, const RowProbe& probe,
                   size_t shownRows) {
    std::map<std::wstring, PathFacts> answers;
    return CheckRows(
        rowTexts,
        [&](size_t, const std::wstring& text) {
            auto it = answers.find(text);
            if (it == answers.end())
                it = answers.emplace(text, probe(text)).first;
            return std::optional<PathFacts>(it->second);
        },
        shownRows);
}

} // namespace kestova
