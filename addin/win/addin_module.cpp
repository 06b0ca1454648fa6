#include "addin/win/addin_module.h"

#include "addin/win/dispatch_host.h"
#include "addin/win/module_lock.h"
#include "addin/win/screen_desktop.h"
#include "addin/win/tovrin_library.h"

#include <new>

namespace kestova::addin::win {

namespace {

struct AddinModule {
    DispatchHost host;
    TovrinLibrary tovrin;
    ScreenDesktop desktop;
    MainModule main{host, tovrin, desktop};
};

AddinModule& Module() {
    // Placement into static storage: constructed once, destructor deliberately never run.
    alignas(AddinModule) static unsigned char storage[sizeof(AddinModule)];
    static AddinModule* module = new (storage) AddinModule();
    return *module;
}

} // namespace

MainModule& TheMainModule() noexcept {
    return Module().main;
}

void ForgetHostIfIdle() noexcept {
    if (LiveObjects() == 0)
        TheMainModule().ForgetHost();
}

} // namespace kestova::addin::win
