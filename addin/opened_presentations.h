#pragma once

// The presentations the add-in opened itself, remembered for the life of the host process: only
// these may ever be closed (to be opened afresh), never one the user opened.
#include "addin/file_stamp.h"
#include "addin/presentation_host.h"

#include <optional>
#include <string>
#include <vector>

namespace kestova::addin {

struct OpenedPresentation {
    HostRef presentation; // held, so that its identity can't pass to another object
    std::wstring fullName;
    std::optional<FileStamp> stamp; // the file's when it was opened; none if unreadable then
};

class OpenedPresentations {
public:
    // An earlier one of the same name is forgotten: it was closed, or it would have been found.
    void Remember(OpenedPresentation opened);
    // The entry of the host object `presentation` found open under `fullName`, or null when the
    // add-in did not open that object.
    [[nodiscard]] const OpenedPresentation*
    Find(PresentationHost& host, const HostObject& presentation, const std::wstring& fullName);
    void Forget(const OpenedPresentation* opened) noexcept;
    // The host is going: its objects are let go while it can still take them back.
    void Clear() noexcept;
    [[nodiscard]] std::size_t Size() const noexcept { return list_.size(); }

private:
    std::vector<OpenedPresentation> list_;
};

} // namespace kestova::addin
