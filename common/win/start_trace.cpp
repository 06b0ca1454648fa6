#include "common/win/start_trace.h"

#include "common/win/unique_handle.h"

#include <windows.h>

#include <atomic>
#include <cstdio>
#include <string>

namespace kestova::win {

namespace {

constexpr wchar_t kTraceVariable[] = L"KESTOVA_START_TRACE";
constexpr long kMaxMarks = 32;

struct Mark {
    const char* phase;
    LONGLONG count;
};

// -1 not looked at yet, 0 off, 1 on. Looked at by the first mark, before any second thread marks.
std::atomic<int> g_enabled{-1};
std::atomic<long> g_used{0};
Mark g_marks[kMaxMarks];

bool Enabled() noexcept {
    int enabled = g_enabled.load(std::memory_order_relaxed);
    if (enabled < 0) {
        enabled = ::GetEnvironmentVariableW(kTraceVariable, nullptr, 0) > 0 ? 1 : 0;
        g_enabled = enabled;
    }
    return enabled == 1;
}

} // namespace

void StartTraceMark(const char* phase) noexcept {
    if (!Enabled())
        return;
    LARGE_INTEGER now{};
    ::QueryPerformanceCounter(&now);
    const long slot = g_used.fetch_add(1);
    if (slot < kMaxMarks)
        g_marks[slot] = {phase, now.QuadPart};
}

void StartTraceFlush() noexcept {
    if (!Enabled())
        return;
    try {
        wchar_t path[MAX_PATH] = {};
        if (!::GetEnvironmentVariableW(kTraceVariable, path, MAX_PATH))
            return;
        LARGE_INTEGER frequency{};
        ::QueryPerformanceFrequency(&frequency);
        const long used = g_used.exchange(0);
        std::string text;
        for (long i = 0; i < used && i < kMaxMarks && frequency.QuadPart > 0; ++i) {
            char line[128];
            std::snprintf(line, sizeof line, "%s\t%.3f\r\n", g_marks[i].phase,
                          static_cast<double>(g_marks[i].count) * 1000.0 /
                              static_cast<double>(frequency.QuadPart));
            text += line;
        }
        UniqueHandle file(::CreateFileW(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                        nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (file.get() == INVALID_HANDLE_VALUE) {
            (void)file.release();
            return;
        }
        DWORD written = 0;
        (void)::WriteFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &written,
                          nullptr);
    } catch (...) {
    }
}

} // namespace kestova::win
