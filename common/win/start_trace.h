#pragma once
// Where a program's start spends its time, for the benchmark only. When the environment variable
// KESTOVA_START_TRACE names a file, each mark keeps its moment (QueryPerformanceCounter, which
// under Wine is Linux's CLOCK_MONOTONIC_RAW) and the marks are appended to that file, one
// "<phase>\t<milliseconds>" line each, when the start is done. Without it a mark costs a
// branch: a normal run pays nothing for it.

namespace kestova::win {

// Any thread. `phase` must outlive the process (a string literal). Marks past the first 32 are
// dropped.
void StartTraceMark(const char* phase) noexcept;
// Appends the marks kept so far to the trace file and forgets them.
void StartTraceFlush() noexcept;

} // namespace kestova::win
