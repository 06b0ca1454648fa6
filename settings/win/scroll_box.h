#pragma once

// A container with a single sunken border whose child controls scroll vertically when they are
// taller than its client area. It passes its children's notifications and colour requests on to
// its parent, so the form handles them as if the controls were its own, and it scrolls a child
// into view when the child gets the keyboard focus.
#include <windows.h>

namespace kestova::win {

[[nodiscard]] HWND CreateScrollBox(HWND parent, int id, HINSTANCE instance) noexcept;

// Sets the height of the content (device pixels from the top of the unscrolled content);
// shows the scroll bar when it exceeds the client height, hides it otherwise.
void SetScrollBoxContentHeight(HWND box, int contentHeight) noexcept;

// Scrolls so that the content's top is `position` pixels above the client area's top (clamped).
void ScrollBoxTo(HWND box, int position) noexcept;

// Scrolls as little as makes `child` (a control inside the box) wholly visible.
void ScrollChildIntoView(HWND box, HWND child) noexcept;

// The current scroll position (0: not scrolled).
[[nodiscard]] int ScrollBoxPosition(HWND box) noexcept;

} // namespace kestova::win
