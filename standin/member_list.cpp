#include "standin/member_list.h"

#include <algorithm>

namespace kestova::standin {
namespace {

wchar_t Lower(wchar_t c) {
    return (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c + 32) : c;
}

std::wstring Lowered(std::wstring_view text) {
    std::wstring out(text);
    std::transform(out.begin(), out.end(), out.begin(), Lower);
    return out;
}

std::wstring_view Trim(std::wstring_view text) {
    while (!text.empty() && text.front() == L' ')
        text.remove_prefix(1);
    while (!text.empty() && text.back() == L' ')
        text.remove_suffix(1);
    return text;
}

} // namespace

bool EqualsNoCase(std::wstring_view a, std::wstring_view b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(),
                      [](wchar_t x, wchar_t y) { return Lower(x) == Lower(y); });
}

MemberList::MemberList(std::wstring_view text) {
    while (!text.empty()) {
        size_t end = text.find(L';');
        std::wstring_view item = Trim(text.substr(0, end));
        if (!item.empty())
            entries_.push_back(Lowered(item));
        if (end == std::wstring_view::npos)
            break;
        text.remove_prefix(end + 1);
    }
}

bool MemberList::Contains(std::wstring_view object, std::wstring_view member) const {
    if (entries_.empty())
        return false;
    std::wstring bare = Lowered(member);
    std::wstring qualified = Lowered(object) + L"." + bare;
    // An entry without an object part names the member on any object.
    return std::any_of(entries_.begin(), entries_.end(), [&](const std::wstring& entry) {
        return entry == qualified || entry == bare;
    });
}

} // namespace kestova::standin
