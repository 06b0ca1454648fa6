#pragma once

// Drives the settings dialogs in-process as a user would: controls are found by their class and
// text, text is typed and keys are pressed as posted keyboard messages that pass through the
// dialogs' own message loop, and modal windows (the about box, the open-file dialog, message
// boxes) are handled from a second thread while the test's thread sits in their modal loops.
#include "common/product.h"
#include "common/win/unique_handle.h"
#include "settings/win/dpi_layout.h"
#include "settings/win/message_loop.h"

#include <windows.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace kestova::test {

inline std::wstring TextOf(HWND window) {
    wchar_t text[4096] = {};
    ::GetWindowTextW(window, text, 4096);
    return text;
}

inline std::wstring ClassOf(HWND window) {
    wchar_t name[256] = {};
    ::GetClassNameW(window, name, 256);
    return name;
}

// Every descendant of `root`, parents before their children, siblings in z-order.
inline std::vector<HWND> Descendants(HWND root) {
    std::vector<HWND> found;
    ::EnumChildWindows(
        root,
        [](HWND child, LPARAM context) -> BOOL {
            reinterpret_cast<std::vector<HWND>*>(context)->push_back(child);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&found));
    return found;
}

inline HWND FindControl(HWND root, const std::wstring& className, const std::wstring& text) {
    for (HWND child : Descendants(root)) {
        if (_wcsicmp(ClassOf(child).c_str(), className.c_str()) == 0 && TextOf(child) == text)
            return child;
    }
    return nullptr;
}

// The first control of the class whose text begins with `prefix`.
inline HWND FindControlStartingWith(HWND root, const std::wstring& className,
                                    const std::wstring& prefix) {
    for (HWND child : Descendants(root)) {
        if (_wcsicmp(ClassOf(child).c_str(), className.c_str()) != 0)
            continue;
        const std::wstring text = TextOf(child);
        if (text.compare(0, prefix.size(), prefix) == 0)
            return child;
    }
    return nullptr;
}

inline std::vector<HWND> ControlsOfClass(HWND parent, const std::wstring& className) {
    std::vector<HWND> found;
    for (HWND child = ::GetWindow(parent, GW_CHILD); child;
         child = ::GetWindow(child, GW_HWNDNEXT)) {
        if (_wcsicmp(ClassOf(child).c_str(), className.c_str()) == 0)
            found.push_back(child);
    }
    return found;
}

// A control's rectangle in the client coordinates of `reference`.
inline RECT RectIn(HWND control, HWND reference) {
    RECT rect{};
    ::GetWindowRect(control, &rect);
    ::MapWindowPoints(HWND_DESKTOP, reference, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

// Work the dialog under test has out on other threads (its questions to the disk): Settle waits
// for it too. Empty: none.
inline std::function<bool()>& OutstandingWork() {
    static std::function<bool()> busy;
    return busy;
}

// Runs the dialogs' message loop (with its idle processing) until nothing is left to do: the
// queue is empty and no answer the dialog waits for is still out (20 s at most).
inline void Settle() {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    for (int round = 0;; ++round) {
        int exitCode = 0;
        (void)win::ProcessMessages(exitCode);
        const bool busy = OutstandingWork() && OutstandingWork()();
        if (!busy && (HIWORD(::GetQueueStatus(QS_ALLINPUT)) == 0 || round >= 50))
            return;
        if (std::chrono::steady_clock::now() > deadline)
            return;
        if (busy)
            ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    }
}

inline void PostKey(HWND target, WPARAM key) {
    const UINT scan = ::MapVirtualKeyW(static_cast<UINT>(key), MAPVK_VK_TO_VSC);
    ::PostMessageW(target, WM_KEYDOWN, key, 1 | (scan << 16));
    ::PostMessageW(target, WM_KEYUP, key, 1 | (scan << 16) | (3u << 30));
}

// The window with the keyboard focus in `thread` (the test's thread when 0).
inline HWND FocusOf(DWORD thread = 0) {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    if (!::GetGUIThreadInfo(thread ? thread : ::GetCurrentThreadId(), &info))
        return nullptr;
    return info.hwndFocus;
}

// Presses a key where the focus is, as the keyboard would, and lets the dialog react.
inline void Press(WPARAM key) {
    PostKey(FocusOf(), key);
    Settle();
}

// Replaces an edit box's text by typing: select all, then one character message per key.
inline void TypeInto(HWND edit, const std::wstring& text) {
    ::SetFocus(edit);
    ::PostMessageW(edit, EM_SETSEL, 0, -1);
    if (text.empty())
        ::PostMessageW(edit, WM_CHAR, VK_BACK, 1);
    for (wchar_t c : text)
        ::PostMessageW(edit, WM_CHAR, c, 1);
    Settle();
}

inline void Click(HWND button) {
    ::PostMessageW(button, BM_CLICK, 0, 0);
    Settle();
}

inline bool WaitUntil(const std::function<bool()>& condition, int milliseconds = 10000) {
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

// A visible top-level window of this process with exactly this title.
inline HWND TopLevelWindow(const std::wstring& title) {
    struct Search {
        std::wstring title;
        HWND found = nullptr;
    } search{title};
    ::EnumWindows(
        [](HWND window, LPARAM context) -> BOOL {
            auto* s = reinterpret_cast<Search*>(context);
            DWORD process = 0;
            ::GetWindowThreadProcessId(window, &process);
            if (process == ::GetCurrentProcessId() && ::IsWindowVisible(window) &&
                TextOf(window) == s->title) {
                s->found = window;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

inline HWND WaitForWindow(const std::wstring& title) {
    HWND found = nullptr;
    WaitUntil([&] { return (found = TopLevelWindow(title)) != nullptr; });
    return found;
}

// Work done on a second thread while the test's thread is inside a modal loop. If the work
// never ends the modal window, a WM_QUIT ends the loop so the test fails instead of hanging.
class ModalDriver {
public:
    explicit ModalDriver(std::function<void()> work)
        : thread_([this, work] {
              work();
              finished_ = true;
          }) {}
    ModalDriver(const ModalDriver&) = delete;
    ModalDriver& operator=(const ModalDriver&) = delete;
    ~ModalDriver() { Join(); }
    void Join() {
        if (thread_.joinable())
            thread_.join();
    }
    // Call on the test's thread after the modal loop returned.
    bool Finished() const { return finished_; }
    static void Abort(DWORD testThread) { ::PostThreadMessageW(testThread, WM_QUIT, 99, 0); }

private:
    std::atomic<bool> finished_{false};
    std::thread thread_;
};

// Closes the product's error message boxes as they appear and keeps their texts, so an
// unexpected report fails a test instead of blocking it.
class ErrorReportWatcher {
public:
    ErrorReportWatcher()
        : thread_([this] {
              while (!stop_) {
                  if (HWND box = TopLevelWindow(kProductCaption);
                      box && ClassOf(box) == L"#32770") {
                      std::wstring text;
                      if (HWND label = ::GetDlgItem(box, 0xFFFF))
                          text = TextOf(label);
                      {
                          std::lock_guard<std::mutex> lock(mutex_);
                          texts_.push_back(text);
                      }
                      ::PostMessageW(box, WM_COMMAND, IDOK, 0);
                      WaitUntil([box] { return !::IsWindow(box) || !::IsWindowVisible(box); },
                                5000);
                  }
                  std::this_thread::sleep_for(std::chrono::milliseconds(20));
              }
          }) {}
    ErrorReportWatcher(const ErrorReportWatcher&) = delete;
    ErrorReportWatcher& operator=(const ErrorReportWatcher&) = delete;
    ~ErrorReportWatcher() {
        stop_ = true;
        thread_.join();
    }
    std::vector<std::wstring> Texts() {
        std::lock_guard<std::mutex> lock(mutex_);
        return texts_;
    }

private:
    std::atomic<bool> stop_{false};
    std::mutex mutex_;
    std::vector<std::wstring> texts_;
    std::thread thread_;
};

// The scenario runs state the DPI and monitor count they set up; a plain run states nothing.
inline int ExpectedFromEnvironment(const char* name) {
    const char* value = std::getenv(name);
    return value ? std::atoi(value) : 0;
}

// Pixels of a control drawn in about `color`, counted on what is really on its surface.
inline int PixelsNear(HWND control, COLORREF color) {
    ::RedrawWindow(control, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    win::WindowDc dc(control);
    RECT client{};
    ::GetClientRect(control, &client);
    int count = 0;
    for (int y = 0; y < client.bottom; ++y) {
        for (int x = 0; x < client.right; ++x) {
            const COLORREF p = ::GetPixel(dc.get(), x, y);
            if (p == CLR_INVALID)
                continue;
            if (std::abs(GetRValue(p) - GetRValue(color)) < 40 &&
                std::abs(GetGValue(p) - GetGValue(color)) < 40 &&
                std::abs(GetBValue(p) - GetBValue(color)) < 40)
                ++count;
        }
    }
    return count;
}

// The font a control draws its text in.
inline HFONT FontOf(HWND control) {
    return reinterpret_cast<HFONT>(::SendMessageW(control, WM_GETFONT, 0, 0));
}

// Every text of a dialog whole and apart: each visible static text, check box and push button
// holds its text as measured in its own font, and no two visible controls with the same parent
// overlap (a group box only with what lies across its frame). Returns what is wrong, one line
// per fault; empty when all is well.
inline std::vector<std::string> LayoutFaults(HWND dialog) {
    std::vector<std::string> faults;
    auto name = [](HWND control) {
        std::string text;
        for (wchar_t c : TextOf(control).substr(0, 40))
            text += c < 128 ? static_cast<char>(c) : '?';
        return "'" + text + "'";
    };
    auto style = [](HWND control) {
        return static_cast<DWORD>(::GetWindowLongPtrW(control, GWL_STYLE));
    };
    auto isGroup = [&](HWND c) {
        return _wcsicmp(ClassOf(c).c_str(), L"Button") == 0 &&
               (style(c) & BS_TYPEMASK) == BS_GROUPBOX;
    };
    std::vector<HWND> shown;
    for (HWND control : Descendants(dialog)) {
        if (!::IsWindowVisible(control))
            continue;
        shown.push_back(control);
        const std::wstring cls = ClassOf(control);
        const std::wstring text = TextOf(control);
        RECT client{};
        ::GetClientRect(control, &client);
        const int width = client.right;
        const int height = client.bottom;
        const int line = win::LineHeight(control, FontOf(control));
        if (_wcsicmp(cls.c_str(), L"Static") == 0 && !text.empty()) {
            if (text.find(L'\n') != std::wstring::npos) {
                // The notes: wrapped at word breaks, every line inside the label.
                const int needed = win::MeasureWrappedHeight(control, FontOf(control), text, width);
                if (needed > height)
                    faults.push_back("label " + name(control) + " needs " + std::to_string(needed) +
                                     " px of height, has " + std::to_string(height));
            } else {
                const SIZE one = win::MeasureText(control, FontOf(control), text);
                if (one.cx > width || std::max<LONG>(one.cy, line) > height)
                    faults.push_back("label " + name(control) + " needs " + std::to_string(one.cx) +
                                     "x" + std::to_string(one.cy) + " px, has " +
                                     std::to_string(width) + "x" + std::to_string(height));
            }
        } else if (_wcsicmp(cls.c_str(), L"Button") == 0 && !isGroup(control)) {
            const SIZE caption = win::MeasureCaption(control, FontOf(control), text);
            const DWORD type = style(control) & BS_TYPEMASK;
            const bool check = type == BS_CHECKBOX || type == BS_AUTOCHECKBOX;
            // A check box: its box and the gap, at this DPI; a button: its edges.
            const UINT dpi = ::GetDpiForWindow(control);
            const int room = check ? ::MulDiv(12, static_cast<int>(dpi), 96) + 1 +
                                         ::MulDiv(4, static_cast<int>(dpi), 96)
                                   : ::MulDiv(6, static_cast<int>(dpi), 96);
            if (caption.cx + room > width)
                faults.push_back("button " + name(control) + " needs " +
                                 std::to_string(caption.cx + room) + " px, has " +
                                 std::to_string(width));
            if (caption.cy > height)
                faults.push_back("button " + name(control) + " is lower than its text");
        }
    }
    for (size_t i = 0; i < shown.size(); ++i) {
        for (size_t j = i + 1; j < shown.size(); ++j) {
            HWND a = shown[i];
            HWND b = shown[j];
            if (::GetParent(a) != ::GetParent(b))
                continue;
            RECT ra{}, rb{}, both{};
            ::GetWindowRect(a, &ra);
            ::GetWindowRect(b, &rb);
            if (!::IntersectRect(&both, &ra, &rb))
                continue;
            // What lies inside a group box is framed by it, not in its way.
            if (isGroup(a) || isGroup(b)) {
                HWND group = isGroup(a) ? a : b;
                HWND other = group == a ? b : a;
                RECT g{}, o{};
                ::GetWindowRect(group, &g);
                ::GetWindowRect(other, &o);
                const int caption = win::LineHeight(group, FontOf(group));
                if (o.left > g.left && o.right < g.right && o.top >= g.top + caption &&
                    o.bottom < g.bottom)
                    continue;
            }
            faults.push_back(name(a) + " and " + name(b) + " overlap");
        }
    }
    // Children stay inside their parent's client area (the scroll box scrolls them vertically).
    for (HWND control : shown) {
        HWND parent = ::GetParent(control);
        RECT client{};
        ::GetClientRect(parent, &client);
        RECT r{};
        ::GetWindowRect(control, &r);
        ::MapWindowPoints(HWND_DESKTOP, parent, reinterpret_cast<POINT*>(&r), 2);
        const bool scrolls = ClassOf(parent) == L"KestovaScrollBox";
        if (r.left < 0 || r.right > client.right ||
            (!scrolls && (r.top < 0 || r.bottom > client.bottom)))
            faults.push_back(name(control) + " reaches beyond its parent");
    }
    return faults;
}

} // namespace kestova::test
