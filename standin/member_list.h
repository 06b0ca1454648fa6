#pragma once

// A knob naming members as "Object.Member" (or just "Member", on any object), several separated
// by ';', matched without regard to letter case (automation names are case-insensitive).
#include <string>
#include <string_view>
#include <vector>

namespace kestova::standin {

class MemberList {
public:
    MemberList() = default;
    explicit MemberList(std::wstring_view text);

    [[nodiscard]] bool Contains(std::wstring_view object, std::wstring_view member) const;
    [[nodiscard]] bool empty() const noexcept { return entries_.empty(); }

private:
    std::vector<std::wstring> entries_; // lower case "object.member"
};

// ASCII-only case folding is enough: every automation name here is ASCII.
bool EqualsNoCase(std::wstring_view a, std::wstring_view b);

} // namespace kestova::standin
