#pragma once

// The add-in's failure rule: a step that fails is skipped and the operation goes on. A step fails
// by returning false or by throwing; either way nothing escapes.
#include <type_traits>

namespace kestova::addin {

template <typename Step> bool Attempt(Step&& step) noexcept {
    try {
        if constexpr (std::is_same_v<decltype(step()), bool>)
            return step();
        else {
            step();
            return true;
        }
    } catch (...) {
        return false;
    }
}

} // namespace kestova::addin
