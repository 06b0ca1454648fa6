#include "standin/win/slide_show.h"

#include "standin/placement.h"
#include "standin/win/host.h"
#include "standin/win/presentations.h"
#include "standin/win/variant_text.h"

#include <algorithm>
#include <vector>

namespace kestova::standin::win {
namespace {

enum : DISPID {
    kView = 2003,
    kLeft = 2006,
    kTop = 2007,
    kWidth = 2008,
    kHeight = 2009,
    kHwnd = 2010
};
constexpr MemberInfo kWindowMembers[] = {
    {L"View", kView, MemberInfo::kRead},          {L"Left", kLeft, MemberInfo::kReadWrite},
    {L"Top", kTop, MemberInfo::kReadWrite},       {L"Width", kWidth, MemberInfo::kReadWrite},
    {L"Height", kHeight, MemberInfo::kReadWrite}, {L"HWND", kHwnd, MemberInfo::kRead},
};

enum : DISPID { kExit = 2025 };
constexpr MemberInfo kViewMembers[] = {
    {L"Exit", kExit, MemberInfo::kMethod},
};

constexpr wchar_t kEnded[] = L"The slide show has ended.";

struct ScreenDpi {
    int32_t x = 96;
    int32_t y = 96;
};

// Read at every placement, as the screen's logical pixels per inch may differ between runs.
ScreenDpi ReadScreenDpi() {
    ScreenDpi dpi;
    kestova::win::WindowDc screen(nullptr);
    if (screen) {
        dpi.x = ::GetDeviceCaps(screen.get(), LOGPIXELSX);
        dpi.y = ::GetDeviceCaps(screen.get(), LOGPIXELSY);
    }
    return dpi;
}

struct MonitorSearch {
    HMONITOR wanted = nullptr;
    size_t index = 0;
    bool found = false;
};

BOOL CALLBACK CountUpTo(HMONITOR monitor, HDC, LPRECT, LPARAM context) {
    auto& search = *reinterpret_cast<MonitorSearch*>(context);
    if (monitor == search.wanted) {
        search.found = true;
        return FALSE;
    }
    ++search.index;
    return TRUE;
}

// The setting a host aware of each monitor's own DPI converts with: that of the monitor the
// window lies on now (MonitorDpi knob); otherwise the screen's.
ScreenDpi PlacementDpi(HWND window, const std::vector<int32_t>& monitorDpi) {
    if (monitorDpi.empty())
        return ReadScreenDpi();
    MonitorSearch search;
    search.wanted = ::MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST);
    ::EnumDisplayMonitors(nullptr, nullptr, CountUpTo, reinterpret_cast<LPARAM>(&search));
    const int32_t dpi =
        search.found && search.index < monitorDpi.size() ? monitorDpi[search.index] : 96;
    return {dpi, dpi};
}

// IgnorePlacement names this presentation ("*": every one).
bool Ignored(const std::wstring& list, const std::wstring& name) {
    for (size_t at = 0; at <= list.size();) {
        const size_t end = std::min(list.find(L';', at), list.size());
        const std::wstring one = list.substr(at, end - at);
        if (!one.empty() && (one == L"*" || ::lstrcmpiW(one.c_str(), name.c_str()) == 0))
            return true;
        at = end + 1;
    }
    return false;
}

std::wstring FloatText(float value) {
    VARIANT v;
    v.vt = VT_R4;
    v.fltVal = value;
    std::wstring text = VariantText(v);
    return text.substr(text.find(L':') + 1);
}

COLORREF ToColorRef(uint32_t rgb) {
    return RGB((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF);
}

} // namespace

SlideShowWindowObject::SlideShowWindowObject(Host& host, Presentation& presentation)
    : HostObject(host, L"SlideShowWindow", kWindowMembers), presentation_(&presentation) {}

bool SlideShowWindowObject::Start() {
    const Presentation& owner = *presentation_.get();
    ShowWindowSetup setup;
    setup.name = owner.Name();
    setup.title = L"PowerPoint Slide Show - " + owner.Name();
    setup.rect = RECT{0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)};
    setup.color = ToColorRef(owner.Settings().color.value_or(host_.NextShowColor()));
    setup.slides = owner.Settings().slides;
    setup.loop = owner.Settings().loop;
    setup.advanceMs = owner.Settings().advanceMs;
    if (!window_.Create(setup, *this))
        return false;
    running_ = true;
    handle_ = window_.Handle();
    ScreenDpi dpi = ReadScreenDpi();
    points_ = {PixelsToPoints(setup.rect.left, dpi.x), PixelsToPoints(setup.rect.top, dpi.y),
               PixelsToPoints(setup.rect.right - setup.rect.left, dpi.x),
               PixelsToPoints(setup.rect.bottom - setup.rect.top, dpi.y)};
    return true;
}

void SlideShowWindowObject::End(const wchar_t* reason) noexcept {
    if (!running_)
        return;
    running_ = false;
    // The presentation lets go of its running show below; this object must outlive the call.
    Held<SlideShowWindowObject> self(this);
    window_.Destroy();
    Presentation& owner = *presentation_.get();
    owner.ShowOver();
    try {
        host_.ShowEnded(owner, reason);
    } catch (...) {
    }
}

void SlideShowWindowObject::OnSlideInput(const wchar_t* input, int32_t slide) noexcept {
    host_.JournalOut().Write({L"input", presentation_->Name(), input, std::to_wstring(slide)});
}

void SlideShowWindowObject::JournalPlacement() noexcept {
    try {
        RECT rect{};
        ::GetWindowRect(handle_, &rect);
        std::wstring points = FloatText(points_[0]) + L"," + FloatText(points_[1]) + L"," +
                              FloatText(points_[2]) + L"," + FloatText(points_[3]);
        std::wstring pixels = std::to_wstring(rect.left) + L"," + std::to_wstring(rect.top) + L"," +
                              std::to_wstring(rect.right - rect.left) + L"," +
                              std::to_wstring(rect.bottom - rect.top);
        host_.JournalOut().Write({L"place", presentation_->Name(), points, pixels});
    } catch (...) {
    }
}

HRESULT SlideShowWindowObject::Place(size_t edge, double points, CallOutcome& outcome) {
    RECT rect{};
    if (!::GetWindowRect(handle_, &rect))
        return outcome.Raise(E_FAIL, kEnded);
    if (Ignored(host_.Settings().ignorePlacement, presentation_->Name())) {
        // Taken without a word and without a move, as a host that keeps its own idea of the
        // window's place may do.
        points_[edge] = static_cast<float>(points);
        JournalPlacement();
        return S_OK;
    }
    ScreenDpi dpi = PlacementDpi(handle_, host_.Settings().monitorDpi);
    bool horizontal = edge == 0 || edge == 2;
    int32_t pixels = PointsToPixels(points, horizontal ? dpi.x : dpi.y);
    int32_t left = rect.left, top = rect.top;
    int32_t width = rect.right - rect.left, height = rect.bottom - rect.top;
    switch (edge) {
    case 0:
        left = pixels;
        break;
    case 1:
        top = pixels;
        break;
    case 2:
        width = pixels;
        break;
    default:
        height = pixels;
        break;
    }
    if (width < 0 || height < 0)
        return outcome.Raise(E_INVALIDARG, L"SlideShowWindow : The value is out of range.");
    ::SetWindowPos(handle_, nullptr, left, top, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
    points_[edge] = static_cast<float>(points);
    JournalPlacement();
    return S_OK;
}

HRESULT SlideShowWindowObject::Call(const MemberInfo& member, bool isPut, Arguments& args,
                                    VARIANT* result, CallOutcome& outcome) {
    if (!running_)
        return outcome.Raise(E_FAIL,
                             std::wstring(L"SlideShowWindow.") + member.name + L" : " + kEnded);
    switch (member.id) {
    case kView: {
        Held<SlideShowViewObject> view = MakeHeld<SlideShowViewObject>(host_, *this);
        ReturnObject(result, outcome, view.get());
        return S_OK;
    }
    case kHwnd:
        SetInt(result, static_cast<int32_t>(reinterpret_cast<INT_PTR>(handle_)));
        return S_OK;
    case kLeft:
    case kTop:
    case kWidth:
    case kHeight: {
        size_t edge = static_cast<size_t>(member.id - kLeft);
        if (!isPut) {
            SetFloat(result, points_[edge]);
            return S_OK;
        }
        double points = 0;
        if (FAILED(ReadDouble(args.PutValue(), points)))
            return DISP_E_TYPEMISMATCH;
        return Place(edge, points, outcome);
    }
    default:
        return DISP_E_MEMBERNOTFOUND;
    }
}

SlideShowViewObject::SlideShowViewObject(Host& host, SlideShowWindowObject& window)
    : HostObject(host, L"SlideShowView", kViewMembers), window_(&window) {}

HRESULT SlideShowViewObject::Call(const MemberInfo& member, bool, Arguments&, VARIANT*,
                                  CallOutcome& outcome) {
    if (member.id != kExit)
        return DISP_E_MEMBERNOTFOUND;
    if (!window_->Running())
        return outcome.Raise(E_FAIL, std::wstring(L"SlideShowView.Exit : ") + kEnded);
    window_->End(L"exit");
    return S_OK;
}

} // namespace kestova::standin::win
