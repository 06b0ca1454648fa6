// The settings dialog's layout: the design is the least, texts measured in the font really given.
#include "settings/win/configure_design.h"
#include "settings/win/configure_form.h"
#include "settings/win/dpi_layout.h"
#include "settings/win/scroll_box.h"

#include <algorithm>

namespace kestova {

using namespace configure;

namespace {

void Place(HWND control, const RECT& r, HFONT font) {
    ::SetWindowPos(control, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top,
                   SWP_NOZORDER | SWP_NOACTIVATE);
    ::SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
}

RECT At(int left, int top, int width, int height) {
    return {left, top, left + width, top + height};
}

} // namespace

// The design is the least each control gets. Every text is measured in the font the system really
// gives for "MS Sans Serif" (a wider substitute, a larger text setting): a control grows to hold
// its text, what lies right of or below it moves along, and the dialog grows to hold them all.
SIZE TConfigureForm::LayOut(UINT dpi, bool place) {
    win::UniqueGdiObject font = win::CreateDialogFont(dpi);
    auto hfont = static_cast<HFONT>(font.get());
    if (!hfont)
        hfont = static_cast<HFONT>(::GetStockObject(DEFAULT_GUI_FONT));
    auto s = [dpi](int designPixels) { return win::ScaleToDpi(designPixels, dpi); };
    auto textOf = [hfont](HWND control) {
        return win::MeasureText(control, hfont, WindowText(control));
    };
    auto captionOf = [hfont](HWND control) {
        return win::MeasureCaption(control, hfont, WindowText(control));
    };
    const int line = win::LineHeight(window_, hfont);
    // Room a push button needs around its caption, and a check box beside its text: the box
    // itself and the gap to the text.
    const int buttonHeight = std::max<int>(s(25), line + s(12));
    const int checkGlyph =
        std::max<int>(::GetSystemMetricsForDpi(SM_CXMENUCHECK, dpi), s(13)) + s(6);
    const int checkHeight = std::max<int>(s(17), line + s(4));

    // Rows, inside the scroll box. The edit boxes of all rows start at one place, right of the
    // widest row label.
    int labelRight = 0;
    for (HWND label : MonitorLabels)
        labelRight =
            std::max<int>(labelRight, static_cast<int>(s(kRowLabelRect.left) + textOf(label).cx));
    const int editLeft = std::max<int>(s(kRowEditRect.left), labelRight + s(4));
    const int editWidth = s(kRowEditRect.width);
    const int editHeight = std::max<int>(s(kRowEditRect.height), line + s(8));
    const int browseLeft = std::max<int>(s(kRowBrowseRect.left), editLeft + editWidth);
    int browseWidth = s(kRowBrowseRect.width);
    for (HWND browse : BrowseButtons)
        browseWidth = std::max<int>(browseWidth, static_cast<int>(captionOf(browse).cx + s(16)));
    const int pitch = std::max<int>(s(kRowPitch), buttonHeight + s(7));
    const int rowsWidth = browseLeft + browseWidth + s(8);
    // Three rows in view, as designed; more scroll.
    const int threeRows = s(kRowBrowseRect.top) + 2 * pitch + buttonHeight + s(4);

    // The group box's contents, relative to the group box.
    const int edges = 2 * ::GetSystemMetricsForDpi(SM_CXEDGE, dpi);
    const SIZE monitorText = textOf(MonitorLabel);
    const RECT monitorLabel =
        At(s(kMonitorLabelRect.left), s(kMonitorLabelRect.top), monitorText.cx, monitorText.cy);
    const int scrollTop = std::max<int>(s(kScrollBoxRect.top), monitorLabel.bottom + s(8));
    const int scrollWidth = std::max<int>(
        s(kScrollBoxRect.width), rowsWidth + edges + ::GetSystemMetricsForDpi(SM_CXVSCROLL, dpi));
    const int scrollHeight = std::max<int>(s(kScrollBoxRect.height), threeRows + edges);
    const RECT scroll = At(s(kScrollBoxRect.left), scrollTop, scrollWidth, scrollHeight);
    // The hints (full path; can't be reached, never both shown) share the monitor sentence's
    // line, ending where the scroll box ends.
    auto hintAt = [&](HWND label) {
        const SIZE text = textOf(label);
        const int left = std::max<int>(monitorLabel.right + s(16), scroll.right - text.cx);
        return At(left, monitorLabel.top, text.cx, std::max<int>(text.cy, line));
    };
    const RECT pathHint = hintAt(PathHintLabel);
    const RECT reachHint = hintAt(ReachHintLabel);
    const int checkTop = std::max<int>(s(kEnableKeyboardRect.top), scroll.bottom + s(15));
    const RECT keyboard = At(
        s(kEnableKeyboardRect.left), checkTop,
        std::max<int>(s(kEnableKeyboardRect.width),
                      static_cast<int>(checkGlyph + captionOf(EnableKeyboardCheckBox).cx + s(2))),
        checkHeight);
    const RECT mouse =
        At(std::max<int>(s(kEnableMouseRect.left), keyboard.right + s(16)), checkTop,
           std::max<int>(s(kEnableMouseRect.width),
                         static_cast<int>(checkGlyph + captionOf(EnableMouseCheckBox).cx + s(2))),
           checkHeight);
    const SIZE hintText = textOf(EnableKeyboardHintLabel);
    const RECT hint =
        At(s(kHintLabelRect.left), std::max<int>(s(kHintLabelRect.top), keyboard.bottom),
           std::max<int>(s(kHintLabelRect.width), hintText.cx),
           std::max<int>(s(kHintLabelRect.height), hintText.cy));
    const int groupWidth =
        std::max<int>({s(kGroupBoxRect.width), scroll.right + s(16), pathHint.right + s(16),
                       reachHint.right + s(16), mouse.right + s(16), hint.right + s(16)});
    const int groupHeight = std::max<int>(s(kGroupBoxRect.height), hint.bottom + s(12));

    // The form: notes on top, then the group box, then the buttons along the bottom.
    const SIZE aboutText = captionOf(AboutButton);
    const SIZE okText = captionOf(OKButton);
    const SIZE cancelText = captionOf(CancelButton);
    const int aboutWidth = std::max<int>(s(kAboutButtonRect.width), aboutText.cx + s(16));
    const int okWidth = std::max<int>(s(kOKButtonRect.width), okText.cx + s(16));
    const int cancelWidth = std::max<int>(s(kCancelButtonRect.width), cancelText.cx + s(16));
    const int margin = s(kGroupBoxRect.left);
    int clientWidth =
        std::max<int>({s(kClientWidth), margin + groupWidth + margin,
                       margin + aboutWidth + s(16) + okWidth + s(7) + cancelWidth + margin});
    const int helpWidth = clientWidth - 2 * margin;
    const int helpHeight = std::max<int>(
        s(kHelpLabelRect.height),
        win::MeasureWrappedHeight(HelpLabel, hfont, WindowText(HelpLabel), helpWidth));
    const RECT help = At(s(kHelpLabelRect.left), s(kHelpLabelRect.top), helpWidth, helpHeight);
    const RECT group = At(margin, std::max<int>(s(kGroupBoxRect.top), help.bottom + s(7)),
                          clientWidth - 2 * margin, groupHeight);
    const int buttonsTop = std::max<int>(s(kOKButtonRect.top), group.bottom + s(7));
    const int cancelLeft =
        std::max<int>(s(kCancelButtonRect.left), clientWidth - margin - cancelWidth);
    const int okLeft = std::max<int>(s(kOKButtonRect.left), cancelLeft - s(7) - okWidth);
    clientWidth = std::max<int>(clientWidth, cancelLeft + cancelWidth + margin);
    const int clientHeight = std::max<int>(s(kClientHeight), buttonsTop + buttonHeight + margin);
    if (!place)
        return {clientWidth, clientHeight};
    clientSize_ = {clientWidth, clientHeight};

    auto inGroup = [&group](RECT r) {
        ::OffsetRect(&r, group.left, group.top);
        return r;
    };
    Place(HelpLabel, help, hfont);
    Place(GroupBox1, group, hfont);
    Place(MonitorLabel, inGroup(monitorLabel), hfont);
    Place(PathHintLabel, inGroup(pathHint), hfont);
    Place(ReachHintLabel, inGroup(reachHint), hfont);
    Place(ScrollBox, inGroup(scroll), hfont);
    Place(EnableKeyboardCheckBox, inGroup(keyboard), hfont);
    Place(EnableMouseCheckBox, inGroup(mouse), hfont);
    Place(EnableKeyboardHintLabel, inGroup(hint), hfont);
    Place(AboutButton, At(s(kAboutButtonRect.left), buttonsTop, aboutWidth, buttonHeight), hfont);
    Place(OKButton, At(okLeft, buttonsTop, okWidth, buttonHeight), hfont);
    Place(CancelButton, At(cancelLeft, buttonsTop, cancelWidth, buttonHeight), hfont);

    // Rows are placed as if unscrolled; the scroll range then follows the new size.
    win::ScrollBoxTo(ScrollBox, 0);
    int contentHeight = 0;
    for (size_t k = 0; k < PresNameEdits.size(); ++k) {
        // Row k's band starts where the design puts it; controls are centred on its Browse button.
        const int top = s(kRowBrowseRect.top) + pitch * k;
        const SIZE labelText = textOf(MonitorLabels[k]);
        const int labelTop = std::max<int>(s(kRowLabelRect.top) + (top - s(kRowBrowseRect.top)),
                                           top + (buttonHeight - labelText.cy) / 2);
        const int editTop = std::max<int>(s(kRowEditRect.top) + (top - s(kRowBrowseRect.top)),
                                          top + (buttonHeight - editHeight) / 2);
        Place(MonitorLabels[k], At(s(kRowLabelRect.left), labelTop, labelText.cx, labelText.cy),
              hfont);
        Place(PresNameEdits[k], At(editLeft, editTop, editWidth, editHeight), hfont);
        Place(BrowseButtons[k], At(browseLeft, top, browseWidth, buttonHeight), hfont);
        contentHeight = std::max<int>(contentHeight, top + buttonHeight);
    }
    win::SetScrollBoxContentHeight(ScrollBox, contentHeight);

    // A focused row stays in view.
    HWND focus = ::GetFocus();
    if (focus && ::IsChild(ScrollBox, focus))
        win::ScrollChildIntoView(ScrollBox, focus);

    if (font)
        font_ = std::move(font);
    return clientSize_;
}

// The size the window takes at `dpi` is what it tells the system before a DPI change; the
// rectangle the system then suggests is taken as it is.
bool TConfigureForm::OnDpiScaledSize(UINT dpi, SIZE& size) {
    size = win::WindowSizeForClientPixels(window_, LayOut(dpi, false), dpi);
    return true;
}

void TConfigureForm::OnDpiChanged(UINT dpi, const RECT& suggested) {
    dpi_ = dpi;
    LayOut();
    ::SetWindowPos(window_, nullptr, suggested.left, suggested.top,
                   suggested.right - suggested.left, suggested.bottom - suggested.top,
                   SWP_NOZORDER | SWP_NOACTIVATE);
}

} // namespace kestova
