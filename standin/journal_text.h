#pragma once

// Journal lines are tab-separated; a field must never carry a tab or a line break of its own.
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

namespace kestova::standin {

// Control characters become caret notation (tab → ^I, line feed → ^J) so one event stays one line.
std::wstring EscapeField(std::wstring_view text);

// The fields escaped and joined with tabs, without the line end.
std::wstring JoinFields(std::initializer_list<std::wstring_view> fields);

// "0x8002000E": HRESULTs and other codes as the journal and the tests spell them.
std::wstring HexCode(uint32_t code);

} // namespace kestova::standin
