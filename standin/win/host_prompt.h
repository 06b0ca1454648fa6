#pragma once

// A prompt of the host's own inside a call, as PowerPoint puts one up (a password to open or to
// modify, a file in use, a macro question): a modal message box owned by the host's main window,
// while a message filter turns every incoming call away, as the host's own filter does.
#include "standin/win/journal.h"

#include <windows.h>

#include <string>

namespace kestova::standin::win {

// The class of the host's main window (hidden while the host runs for automation), which owns
// the prompts; the name is PowerPoint's own frame class.
inline constexpr wchar_t kHostFrameClass[] = L"PPTFrameClass";

// Puts the prompt up and returns once it is answered (its OK button) or after `timeoutMs`
// (0: no time-out). Journals `prompt <member> up|answered|timeout <title> <tick>`.
void ShowHostPrompt(Journal* journal, const std::wstring& member, const std::wstring& title,
                    DWORD timeoutMs) noexcept;

} // namespace kestova::standin::win
