#include "addin/win/module_lock.h"

#include "addin/win/addin_module.h"

#include <atomic>

namespace kestova::addin::win {

namespace {
std::atomic<long> objects{0};
std::atomic<long> locks{0};
} // namespace

void ObjectCreated() noexcept {
    ++objects;
}

void ObjectDestroyed() noexcept {
    if (--objects == 0)
        ForgetHostIfIdle();
}

void LockServer(bool lock) noexcept {
    if (lock)
        ++locks;
    else
        --locks;
}

bool CanUnloadNow() noexcept {
    return objects == 0 && locks == 0;
}

long LiveObjects() noexcept {
    return objects;
}

} // namespace kestova::addin::win
