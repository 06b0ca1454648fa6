#pragma once

// The window of one running slide show: a real top-level, topmost window filled with a clearly
// non-black colour, showing the presentation's name and a slide counter that advances on a timer
// (and on the keys and clicks that advance a real show). Esc or closing it ends the show.
#include "common/win/unique_handle.h"

#include <string>

namespace kestova::standin::win {

class ShowWindowListener {
public:
    // The show is over: "escape", "closed" or "finished" (a show that does not loop).
    virtual void OnShowOver(const wchar_t* reason) noexcept = 0;
    // A key or click moved to another slide.
    virtual void OnSlideInput(const wchar_t* input, int32_t slide) noexcept = 0;

protected:
    ~ShowWindowListener() = default;
};

struct ShowWindowSetup {
    std::wstring title;
    std::wstring name;
    RECT rect{};
    COLORREF color = RGB(0xD0, 0x70, 0x20);
    int32_t slides = 5;
    bool loop = true;
    int32_t advanceMs = 1000;
};

class ShowWindow {
public:
    ShowWindow() = default;
    ShowWindow(const ShowWindow&) = delete;
    ShowWindow& operator=(const ShowWindow&) = delete;
    ~ShowWindow() { Destroy(); }

    [[nodiscard]] bool Create(const ShowWindowSetup& setup, ShowWindowListener& listener);
    void Destroy() noexcept;
    [[nodiscard]] HWND Handle() const noexcept { return window_.get(); }
    [[nodiscard]] int32_t Slide() const noexcept { return slide_; }

private:
    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam);
    void Paint();
    void Advance(const wchar_t* input);

    kestova::win::UniqueWindow window_;
    ShowWindowSetup setup_;
    ShowWindowListener* listener_ = nullptr;
    int32_t slide_ = 1;
};

} // namespace kestova::standin::win
