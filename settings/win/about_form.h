#pragma once

// The about box: the product's name, version, icon and copyright notice; either text opens the
// product's web page, and a third opens the folder of the run journal.
#include <windows.h>

#include <functional>
#include <string>

namespace kestova::win {

// The address the about box opens.
extern const wchar_t kProductPageUrl[];

// How the about box opens a web page or a folder; the shell's "open" unless replaced (tests
// record instead).
using PageOpener = std::function<void(const std::wstring& url)>;
void OpenWithShell(const std::wstring& url) noexcept;

// Shows `TAboutForm` modally, created for this showing without an owner and destroyed when it
// closes. Returns IDOK (OK, Enter or Esc) or IDCANCEL (the close box).
INT_PTR ShowAboutBox(HINSTANCE instance, const PageOpener& openPage = OpenWithShell);

} // namespace kestova::win
