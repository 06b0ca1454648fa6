#include "standin/placement.h"

#include <cmath>

namespace kestova::standin {

int32_t PointsToPixels(double points, int32_t pixelsPerInch) {
    if (pixelsPerInch <= 0)
        pixelsPerInch = 96;
    return static_cast<int32_t>(std::lround(points * pixelsPerInch / 72.0));
}

float PixelsToPoints(int32_t pixels, int32_t pixelsPerInch) {
    if (pixelsPerInch <= 0)
        pixelsPerInch = 96;
    return static_cast<float>(static_cast<double>(pixels) * 72.0 / pixelsPerInch);
}

} // namespace kestova::standin
