#pragma once

#include <string>

namespace kestova {

// The general error report's text rule: a full stop is added when the message's last character
// sorts after '.' (so "…found" gets one, "…found." and "…)" keep theirs as they are).
inline std::wstring WithFullStop(std::wstring message) {
    if (!message.empty() && message.back() > L'.')
        message.push_back(L'.');
    return message;
}

} // namespace kestova
