#include "addin/desktop.h"

namespace kestova::addin {

bool Desktop::SamePath(const std::wstring& a, const std::wstring& b) {
    if (a.size() != b.size())
        return false;
    auto fold = [](wchar_t c) { return c >= L'a' && c <= L'z' ? static_cast<wchar_t>(c - 32) : c; };
    for (std::size_t i = 0; i < a.size(); ++i)
        if (fold(a[i]) != fold(b[i]))
            return false;
    return true;
}

} // namespace kestova::addin
