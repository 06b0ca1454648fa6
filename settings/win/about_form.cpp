#include "settings/win/about_form.h"

#include "common/product.h"
#include "common/win/journal_folder.h"
#include "common/win/unique_handle.h"
#include "settings/win/dialog_window.h"
#include "settings/win/dpi_layout.h"
#include "settings/win/handler_guard.h"
#include "settings/win/message_loop.h"

#include <shellapi.h>

#include <algorithm>
#include <iterator>
#include <stdexcept>

namespace kestova::win {

const wchar_t kProductPageUrl[] = L"https://www.kestova.com/screensaver/screensaver.html";

namespace {

constexpr wchar_t kClassName[] = L"KestovaAboutForm";
constexpr wchar_t kCaption[] = L"About Kestova Screen Saver";
constexpr wchar_t kCopyright[] = L"Copyright \u00A9 2023\u20132025 Kestova";

// The design, in pixels at 96 dpi.
constexpr int kClientWidth = 346;
constexpr int kClientHeight = 217;
constexpr DesignRect kBevel1Rect{8, 8, 329, 169};
constexpr DesignRect kBevel2Rect{24, 24, 49, 49};
constexpr DesignRect kImageRect{32, 32, 32, 32};
constexpr DesignRect kProductLabelRect{88, 24, 0, 0};
constexpr DesignRect kCopyrightLabelRect{88, 56, 0, 0};
constexpr DesignRect kOKButtonRect{264, 184, 73, 25};
constexpr DesignRect kJournalLabelRect{8, 190, 0, 0};

constexpr int kProductLabelId = 100;
constexpr int kCopyrightLabelId = 101;
constexpr int kJournalLabelId = 102;
constexpr wchar_t kJournalLabelText[] = L"Run journal folder";

struct DestroyIconHandle {
    void operator()(HICON icon) const noexcept { ::DestroyIcon(icon); }
};
using UniqueIcon = UniqueResource<HICON, DestroyIconHandle>;

class TAboutForm {
public:
    TAboutForm(HINSTANCE instance, const PageOpener& openPage)
        : instance_(instance), openPage_(openPage) {}
    TAboutForm(const TAboutForm&) = delete;
    TAboutForm& operator=(const TAboutForm&) = delete;
    ~TAboutForm() {
        if (window_)
            ::DestroyWindow(window_);
    }

    INT_PTR ShowModal();

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    bool HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);
    void CreateControls();
    // Lays the box out at `dpi` and returns its client size; `place` false only measures.
    SIZE LayOut(UINT dpi, bool place);
    void Paint();
    void LoadProgramIcon();
    void DrawLink(const DRAWITEMSTRUCT& item) const;
    [[nodiscard]] bool IsLink(HWND control) const noexcept {
        return control &&
               (control == ProductLabel || control == CopyrightLabel || control == JournalLabel);
    }
    void ProductLabelClick() { openPage_(kProductPageUrl); }
    void CopyrightLabelClick() { openPage_(kProductPageUrl); }
    // The folder of Corvane's run journal, made first so that there is something to open.
    void JournalLabelClick() {
        const std::wstring folder = JournalFolder();
        if (!folder.empty() && CreateJournalFolder(folder))
            openPage_(folder);
    }
    void CloseWith(INT_PTR result) {
        modalResult_ = result;
        closed_ = true;
    }

    HINSTANCE instance_;
    const PageOpener& openPage_;
    HWND window_ = nullptr;
    UINT dpi_ = USER_DEFAULT_SCREEN_DPI;
    SIZE clientSize_{}; // as laid out last
    RECT bevel1_{};     // the frame around the upper part, grown with the texts inside it
    UniqueGdiObject font_;
    UniqueGdiObject boldFont_;
    UniqueGdiObject linkFont_;
    UniqueGdiObject boldLinkFont_;
    UniqueIcon ownIcon_;
    HICON icon_ = nullptr; // ownIcon_, or a shared system icon that is not ours to destroy
    HWND ProductLabel = nullptr;
    HWND CopyrightLabel = nullptr;
    HWND JournalLabel = nullptr;
    HWND OKButton = nullptr;
    INT_PTR modalResult_ = IDCANCEL;
    bool closed_ = false;
};

HWND AddControl(HWND parent, HINSTANCE instance, const wchar_t* className, const wchar_t* text,
                DWORD style, int id) {
    HWND control = ::CreateWindowExW(
        0, className, text, WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | style, 0, 0, 0, 0, parent,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, nullptr);
    if (!control)
        throw std::runtime_error("Error creating window");
    return control;
}

// The same font, underlined: the links' look.
UniqueGdiObject Underlined(HFONT font) noexcept {
    LOGFONTW logFont{};
    if (!font || !::GetObjectW(font, sizeof logFont, &logFont))
        return UniqueGdiObject();
    logFont.lfUnderline = TRUE;
    return UniqueGdiObject(::CreateFontIndirectW(&logFont));
}

// A link sits with its text at the design's corner; the few pixels right of and below the text
// hold the focus rectangle.
RECT LinkRect(HWND label, const DesignRect& corner, UINT dpi, HFONT font) {
    wchar_t text[128] = {};
    ::GetWindowTextW(label, text, static_cast<int>(std::size(text)));
    SIZE size = MeasureText(label, font, text);
    size.cx += ScaleToDpi(6, dpi);
    size.cy += ScaleToDpi(2, dpi);
    const RECT r = ScaleRect(corner, dpi);
    return {r.left, r.top, r.left + size.cx, r.top + size.cy};
}

void Put(HWND control, const RECT& r, HFONT font) {
    ::SetWindowPos(control, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top,
                   SWP_NOZORDER | SWP_NOACTIVATE);
    ::SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
}

INT_PTR TAboutForm::ShowModal() {
    if (!RegisterDialogClass(instance_, kClassName, WindowProc))
        throw std::runtime_error("Error creating window class");
    POINT centre{::GetSystemMetrics(SM_CXSCREEN) / 2, ::GetSystemMetrics(SM_CYSCREEN) / 2};
    // No owner: the box stands on its own, as the settings dialog opens it.
    ::CreateWindowExW(WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT, kClassName, kCaption,
                      WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN, centre.x, centre.y, 1,
                      1, nullptr, nullptr, instance_, this);
    if (!window_)
        throw std::runtime_error("Error creating window");
    dpi_ = WindowDpi(window_);
    CreateControls();
    LayOut(dpi_, true);
    CentreOnPrimaryMonitor(window_, WindowSizeForClientPixels(window_, clientSize_, dpi_));
    ::SendMessageW(window_, DM_SETDEFID, IDOK, 0);
    AddDialogWindow(window_);
    ::ShowWindow(window_, SW_SHOWNORMAL);
    ::SetForegroundWindow(window_);
    // OK first, not the first link: Enter closes the box until the user tabs to a link.
    ::SetFocus(OKButton);
    RunModal(window_, [this] { return closed_ || !window_; });
    if (window_)
        ::DestroyWindow(window_);
    return modalResult_;
}

LRESULT CALLBACK TAboutForm::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return RouteDialogMessage(window, message, wParam, lParam, &TAboutForm::window_,
                              &TAboutForm::HandleMessage);
}

bool TAboutForm::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    switch (message) {
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDOK:
        case IDCANCEL: // Esc: the OK button is the cancel button too
            CloseWith(IDOK);
            break;
        case kProductLabelId:
            if (HIWORD(wParam) == BN_CLICKED)
                RunHandler([this] { ProductLabelClick(); });
            break;
        case kCopyrightLabelId:
            if (HIWORD(wParam) == BN_CLICKED)
                RunHandler([this] { CopyrightLabelClick(); });
            break;
        case kJournalLabelId:
            if (HIWORD(wParam) == BN_CLICKED)
                RunHandler([this] { JournalLabelClick(); });
            break;
        default:
            break;
        }
        return true;
    case WM_DRAWITEM: {
        const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
        if (item->CtlType != ODT_BUTTON || !IsLink(item->hwndItem))
            return false;
        DrawLink(*item);
        result = TRUE;
        return true;
    }
    case DM_GETDEFID: {
        // Enter on a focused link follows it, as Enter on a focused push button presses it.
        HWND focus = ::GetFocus();
        if (!IsLink(focus))
            return false;
        result = MAKELRESULT(::GetDlgCtrlID(focus), DC_HASDEFID);
        return true;
    }
    case WM_SETCURSOR: {
        auto under = reinterpret_cast<HWND>(wParam);
        if (LOWORD(lParam) == HTCLIENT && IsLink(under)) {
            ::SetCursor(::LoadCursorW(nullptr, IDC_HAND));
            result = TRUE;
            return true;
        }
        return false;
    }
    case WM_PAINT:
        Paint();
        return true;
    case WM_CLOSE:
        CloseWith(IDCANCEL);
        return true;
    case WM_DESTROY:
        RemoveDialogWindow(window_);
        return false;
    case WM_GETDPISCALEDSIZE: {
        // The size wanted at the new DPI; the rectangle then suggested is taken as it is.
        const auto dpi = static_cast<UINT>(wParam);
        *reinterpret_cast<SIZE*>(lParam) =
            WindowSizeForClientPixels(window_, LayOut(dpi, false), dpi);
        result = TRUE;
        return true;
    }
    case WM_DPICHANGED: {
        dpi_ = HIWORD(wParam);
        LayOut(dpi_, true);
        const auto* suggested = reinterpret_cast<const RECT*>(lParam);
        ::SetWindowPos(window_, nullptr, suggested->left, suggested->top,
                       suggested->right - suggested->left, suggested->bottom - suggested->top,
                       SWP_NOZORDER | SWP_NOACTIVATE);
        ::InvalidateRect(window_, nullptr, TRUE);
        return true;
    }
    default:
        return false;
    }
}

void TAboutForm::CreateControls() {
    std::wstring product = std::wstring(kProductCaption) + L" " + kProductVersionText;
    // Links: owner-drawn buttons, so that Tab reaches them and Space (or Enter) follows them;
    // drawn as links are, in the link colour, underlined, with a focus rectangle.
    constexpr DWORD link = WS_TABSTOP | BS_OWNERDRAW;
    ProductLabel = AddControl(window_, instance_, L"BUTTON", product.c_str(), link | WS_GROUP,
                              kProductLabelId);
    CopyrightLabel = AddControl(window_, instance_, L"BUTTON", kCopyright, link, kCopyrightLabelId);
    JournalLabel =
        AddControl(window_, instance_, L"BUTTON", kJournalLabelText, link, kJournalLabelId);
    OKButton = AddControl(window_, instance_, L"BUTTON", L"OK",
                          WS_TABSTOP | WS_GROUP | BS_DEFPUSHBUTTON, IDOK);
}

SIZE TAboutForm::LayOut(UINT dpi, bool place) {
    UniqueGdiObject font = CreateDialogFont(dpi);
    UniqueGdiObject boldFont = CreateDialogFont(dpi, true);
    auto regular = font ? static_cast<HFONT>(font.get())
                        : static_cast<HFONT>(::GetStockObject(DEFAULT_GUI_FONT));
    auto bold = boldFont ? static_cast<HFONT>(boldFont.get()) : regular;
    UniqueGdiObject linkFont = Underlined(regular);
    UniqueGdiObject boldLinkFont = Underlined(bold);
    auto regularLink = linkFont ? static_cast<HFONT>(linkFont.get()) : regular;
    auto boldLink = boldLinkFont ? static_cast<HFONT>(boldLinkFont.get()) : bold;
    // The design is the least: the frame grows to hold the texts in the font really given, and
    // the button and the box follow it.
    auto s = [dpi](int designPixels) { return ScaleToDpi(designPixels, dpi); };
    const RECT product = LinkRect(ProductLabel, kProductLabelRect, dpi, boldLink);
    const RECT copyright = LinkRect(CopyrightLabel, kCopyrightLabelRect, dpi, regularLink);
    RECT bevel = ScaleRect(kBevel1Rect, dpi);
    bevel.right = std::max<int>({bevel.right, product.right + s(16), copyright.right + s(16)});
    bevel.bottom = std::max<int>(bevel.bottom, copyright.bottom + s(16));
    const SIZE caption = MeasureCaption(OKButton, regular, L"OK");
    const int okWidth = std::max<int>(s(kOKButtonRect.width), caption.cx + s(16));
    const int okHeight = std::max<int>(s(kOKButtonRect.height), caption.cy + s(12));
    const int okTop = std::max<int>(s(kOKButtonRect.top), bevel.bottom + s(7));
    // The journal's link sits left of the button, on its middle line; the button keeps clear of it.
    RECT journal = LinkRect(JournalLabel, kJournalLabelRect, dpi, regularLink);
    ::OffsetRect(&journal, 0,
                 okTop + (okHeight - (journal.bottom - journal.top)) / 2 - journal.top);
    const int okLeft =
        std::max<int>({s(kOKButtonRect.left), bevel.right - okWidth, int(journal.right) + s(16)});
    const SIZE client = {
        std::max<int>({s(kClientWidth), bevel.right + s(9), okLeft + okWidth + s(9)}),
        std::max<int>(s(kClientHeight), okTop + okHeight + s(8))};
    if (!place)
        return client;

    Put(ProductLabel, product, boldLink);
    Put(CopyrightLabel, copyright, regularLink);
    Put(JournalLabel, journal, regularLink);
    Put(OKButton, {okLeft, okTop, okLeft + okWidth, okTop + okHeight}, regular);
    bevel1_ = bevel;
    clientSize_ = client;
    if (font)
        font_ = std::move(font);
    if (boldFont)
        boldFont_ = std::move(boldFont);
    if (linkFont)
        linkFont_ = std::move(linkFont);
    if (boldLinkFont)
        boldLinkFont_ = std::move(boldLinkFont);
    LoadProgramIcon();
    return client;
}

// The program's own icon (resource 1 of the executable) at the box's scale; a program without
// one, such as a test, shows the system's application icon instead.
void TAboutForm::LoadProgramIcon() {
    const int size = ScaleToDpi(kImageRect.width, dpi_);
    ownIcon_.reset(static_cast<HICON>(::LoadImageW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(1),
                                                   IMAGE_ICON, size, size, LR_DEFAULTCOLOR)));
    icon_ = ownIcon_ ? ownIcon_.get()
                     : static_cast<HICON>(::LoadImageW(nullptr, IDI_APPLICATION, IMAGE_ICON, 0, 0,
                                                       LR_SHARED | LR_DEFAULTSIZE));
}

void TAboutForm::DrawLink(const DRAWITEMSTRUCT& item) const {
    HDC dc = item.hDC;
    ::FillRect(dc, &item.rcItem, ::GetSysColorBrush(COLOR_BTNFACE));
    wchar_t text[128] = {};
    ::GetWindowTextW(item.hwndItem, text, static_cast<int>(std::size(text)));
    auto font = reinterpret_cast<HFONT>(::SendMessageW(item.hwndItem, WM_GETFONT, 0, 0));
    HGDIOBJ previous = font ? ::SelectObject(dc, font) : nullptr;
    ::SetBkMode(dc, TRANSPARENT);
    ::SetTextColor(dc, ::GetSysColor(COLOR_HOTLIGHT));
    RECT textRect = item.rcItem;
    textRect.left += ScaleToDpi(1, dpi_);
    textRect.top += ScaleToDpi(1, dpi_);
    ::DrawTextW(dc, text, -1, &textRect, DT_LEFT | DT_TOP | DT_SINGLELINE | DT_NOPREFIX);
    if (previous)
        ::SelectObject(dc, previous);
    if ((item.itemState & ODS_FOCUS) && !(item.itemState & ODS_NOFOCUSRECT)) {
        RECT focus = item.rcItem;
        ::DrawFocusRect(dc, &focus);
    }
}

void TAboutForm::Paint() {
    PAINTSTRUCT paint{};
    HDC dc = ::BeginPaint(window_, &paint);
    if (!dc)
        return;
    RECT frame = bevel1_;
    ::DrawEdge(dc, &frame, BDR_SUNKENOUTER, BF_RECT);
    RECT iconFrame = ScaleRect(kBevel2Rect, dpi_);
    ::DrawEdge(dc, &iconFrame, BDR_SUNKENOUTER, BF_RECT);
    if (icon_) {
        const RECT r = ScaleRect(kImageRect, dpi_);
        ::DrawIconEx(dc, r.left, r.top, icon_, r.right - r.left, r.bottom - r.top, 0, nullptr,
                     DI_NORMAL);
    }
    ::EndPaint(window_, &paint);
}

} // namespace

void OpenWithShell(const std::wstring& url) noexcept {
    // Nothing to tell the user when no program opens web pages: the box just stays as it is.
    ::ShellExecuteW(nullptr, L"open", url.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

INT_PTR ShowAboutBox(HINSTANCE instance, const PageOpener& openPage) {
    TAboutForm form(instance, openPage);
    return form.ShowModal();
}

} // namespace kestova::win
