#pragma once

// Slide show windows are placed in points (1/72 inch) and land on whole pixels of the screen.
#include <cstdint>

namespace kestova::standin {

// Nearest pixel, so that a value that went pixels → points → pixels in single precision comes back
// exactly (e.g. -1024 px at 120 dpi is -614.4 pt, which a float holds only approximately).
int32_t PointsToPixels(double points, int32_t pixelsPerInch);

float PixelsToPoints(int32_t pixels, int32_t pixelsPerInch);

} // namespace kestova::standin
