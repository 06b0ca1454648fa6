#include "screensaver/win/show_windows.h"

#include <windows.h>

namespace kestova::win {

namespace {

struct ShowSearch {
    DWORD processId = 0;
    RECT monitor{};
    bool found = false;
};

long long Area(const RECT& r) {
    return static_cast<long long>(r.right - r.left) * (r.bottom - r.top);
}

BOOL CALLBACK FindShow(HWND window, LPARAM context) {
    auto& search = *reinterpret_cast<ShowSearch*>(context);
    DWORD processId = 0;
    ::GetWindowThreadProcessId(window, &processId);
    if (processId != search.processId || !::IsWindowVisible(window) || ::IsIconic(window) ||
        (::GetWindowLongW(window, GWL_STYLE) & WS_CAPTION) == WS_CAPTION)
        return TRUE;
    RECT rect{}, common{};
    if (!::GetWindowRect(window, &rect) || !::IntersectRect(&common, &rect, &search.monitor))
        return TRUE;
    if (2 * Area(common) > Area(search.monitor)) {
        search.found = true;
        return FALSE;
    }
    return TRUE;
}

} // namespace

bool HostShowCovers(uint32_t processId, const MonitorRect& monitor) {
    if (processId == 0)
        return false;
    ShowSearch search;
    search.processId = processId;
    search.monitor = {monitor.left, monitor.top, monitor.left + monitor.width,
                      monitor.top + monitor.height};
    ::EnumWindows(FindShow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

} // namespace kestova::win
