// Prints what loading costs when the stored Count is the largest the registry can hold: the list
// is cut short, so time and memory must stay small.
#include "common/product.h"
#include "settings/session.h"
#include "tests/unit/settings_memory_registry.h"

#include <sys/resource.h>

#include <chrono>
#include <cstdio>

namespace {

long PeakKib() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

} // namespace

int main() {
    using namespace kestova;
    MemoryRegistry registry;
    const std::wstring product = kProductKeyPath;
    registry.SetDword(product, L"Count", 0x7FFFFFFF);
    registry.SetDword(product + L"\\0", L"MonitorNum", 1);
    registry.SetText(product + L"\\0", L"PresName", L"C:\\Shows\\first.ppt");

    const long peakBefore = PeakKib();
    TSession session;
    const auto start = std::chrono::steady_clock::now();
    LoadSession(registry, session);
    const auto elapsed = std::chrono::steady_clock::now() - start;
    const long peakAfter = PeakKib();

    std::printf("settings LoadSession, Count=2147483647: %zu entries, %.2f ms, %zu key opens, "
                "peak RSS %.1f MiB (%.1f MiB before loading)\n",
                session.Elements.size(), std::chrono::duration<double, std::milli>(elapsed).count(),
                static_cast<size_t>(registry.KeyOpens()), peakAfter / 1024.0, peakBefore / 1024.0);
    return 0;
}
