#include "addin/win/screen_desktop.h"

#include "common/product.h"
#include "common/win/unique_handle.h"

#include <windows.h>

namespace kestova::addin::win {

bool ScreenDesktop::LockUpdate() {
    return ::LockWindowUpdate(::GetDesktopWindow()) != FALSE;
}

void ScreenDesktop::UnlockUpdate() {
    ::LockWindowUpdate(nullptr);
}

std::optional<PixelsPerInch> ScreenDesktop::ScreenPixelsPerInch() {
    kestova::win::WindowDc screen(nullptr);
    if (!screen)
        return std::nullopt;
    return PixelsPerInch{::GetDeviceCaps(screen.get(), LOGPIXELSX),
                         ::GetDeviceCaps(screen.get(), LOGPIXELSY)};
}

void ScreenDesktop::ShowVersionNotice() {
    ::MessageBoxW(nullptr, L"Kestova Screen Saver requires Microsoft PowerPoint 2000 or later.",
                  kProductCaption, MB_ICONERROR);
}

} // namespace kestova::addin::win
