#include "addin/opened_presentations.h"

#include "addin/attempt.h"

#include <algorithm>

namespace kestova::addin {

void OpenedPresentations::Remember(OpenedPresentation opened) {
    std::erase_if(list_,
                  [&](const OpenedPresentation& o) { return o.fullName == opened.fullName; });
    list_.push_back(std::move(opened));
}

const OpenedPresentation* OpenedPresentations::Find(PresentationHost& host,
                                                    const HostObject& presentation,
                                                    const std::wstring& fullName) {
    for (const OpenedPresentation& opened : list_) {
        if (opened.fullName != fullName || !opened.presentation)
            continue;
        bool same = false;
        Attempt([&] { same = host.SameObject(*opened.presentation, presentation); });
        if (same)
            return &opened;
    }
    return nullptr;
}

void OpenedPresentations::Forget(const OpenedPresentation* opened) noexcept {
    std::erase_if(list_, [&](const OpenedPresentation& o) { return &o == opened; });
}

void OpenedPresentations::Clear() noexcept {
    list_.clear();
}

} // namespace kestova::addin
