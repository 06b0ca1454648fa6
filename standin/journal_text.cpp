#include "standin/journal_text.h"

#include <cstdint>

namespace kestova::standin {

std::wstring EscapeField(std::wstring_view text) {
    std::wstring out;
    out.reserve(text.size());
    for (wchar_t c : text) {
        if (c < 0x20 || c == 0x7F) {
            out += L'^';
            out += c == 0x7F ? L'?' : static_cast<wchar_t>(c + 0x40);
        } else {
            out += c;
        }
    }
    return out;
}

std::wstring JoinFields(std::initializer_list<std::wstring_view> fields) {
    std::wstring line;
    bool first = true;
    for (std::wstring_view field : fields) {
        if (!first)
            line += L'\t';
        first = false;
        line += EscapeField(field);
    }
    return line;
}

std::wstring HexCode(uint32_t code) {
    static constexpr wchar_t kDigits[] = L"0123456789ABCDEF";
    std::wstring text = L"0x";
    for (int shift = 28; shift >= 0; shift -= 4)
        text += kDigits[(code >> shift) & 0xF];
    return text;
}

} // namespace kestova::standin
