#pragma once

#include <windows.h>
#include <oleauto.h>

#include <cstdint>

namespace kestova::tovrin {

// The window handle of a slide show window object, read from its HWND property by name; 0 when
// the variant holds no object or the object can't tell. The reference is only lent.
int32_t SlideShowWindowHandle(const VARIANT& window) noexcept;

} // namespace kestova::tovrin
