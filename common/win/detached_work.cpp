#include "common/win/detached_work.h"

#include "common/win/unique_handle.h"

#include <windows.h>

#include <memory>
#include <new>

namespace kestova::win {

namespace {

DWORD WINAPI RunWork(void* parameter) {
    std::unique_ptr<std::function<void()>> work(static_cast<std::function<void()>*>(parameter));
    try {
        (*work)();
    } catch (...) {
    }
    return 0;
}

} // namespace

bool StartDetachedWork(std::function<void()> work) noexcept {
    std::unique_ptr<std::function<void()>> owned(new (std::nothrow)
                                                     std::function<void()>(std::move(work)));
    if (!owned)
        return false;
    UniqueHandle thread(::CreateThread(nullptr, 0, RunWork, owned.get(), 0, nullptr));
    if (!thread)
        return false;
    owned.release(); // the thread's now; closing the handle leaves it running
    return true;
}

} // namespace kestova::win
