#pragma once

#include <cstdint>

namespace kestova::addin {

// A pixel distance in points: one inch is 1440 twips, one point 20 twips. Computed in double
// precision in that order and stored as single precision, as PowerPoint takes window positions.
[[nodiscard]] inline float PointsFromPixels(float pixels, int32_t pixelsPerInch) {
    return static_cast<float>(static_cast<double>(pixels) * 1440.0 / 20.0 /
                              static_cast<double>(pixelsPerInch));
}

} // namespace kestova::addin
