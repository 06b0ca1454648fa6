#pragma once

// The library's one MainModule with the real host, window support and desktop behind it.
#include "addin/main_module.h"

namespace kestova::addin::win {

// Made on first use and never destroyed by the runtime: it may hold references on the host's
// objects, which must not be released from inside the loader's unload of this library.
MainModule& TheMainModule() noexcept;

// Lets go of the host's objects if no object of this library is alive (see module_lock.h).
void ForgetHostIfIdle() noexcept;

} // namespace kestova::addin::win
