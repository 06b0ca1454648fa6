// Corvane.scr: Windows starts it with the screen saver command line.
#include "common/win/start_trace.h"
#include "common/win/unique_handle.h"
#include "screensaver/run_mode.h"
#include "screensaver/win/boundary.h"
#include "screensaver/win/main_form.h"
#include "settings/win/configure_form.h"

#include <windows.h>
#include <shellapi.h>

#include <memory>
#include <string>
#include <vector>

namespace {

struct FreeLocal {
    void operator()(wchar_t** memory) const noexcept { ::LocalFree(memory); }
};

// The arguments after the program name, split by the platform's usual rule.
std::vector<std::wstring> CommandLineArguments() {
    int count = 0;
    std::unique_ptr<wchar_t*, FreeLocal> argv(::CommandLineToArgvW(::GetCommandLineW(), &count));
    std::vector<std::wstring> arguments;
    for (int i = 1; argv && i < count; ++i)
        arguments.emplace_back(argv.get()[i]);
    return arguments;
}

int Run(HINSTANCE instance) {
    const kestova::RunMode mode = kestova::ParseRunMode(CommandLineArguments());
    kestova::win::StartTraceMark("mode parsed");
    switch (mode) {
    case kestova::RunMode::Configure: {
        // The settings dialog's shell dialogs need it; it ends only after every window is gone.
        kestova::win::ComApartment apartment(COINIT_APARTMENTTHREADED);
        return kestova::RunConfigureForm(instance);
    }
    case kestova::RunMode::Run:
        return kestova::win::RunMainForm(instance);
    case kestova::RunMode::Preview:
    case kestova::RunMode::None:
        break;
    }
    // Nothing to show: the program ends before any window or message exists.
    return 0;
}

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    kestova::win::StartTraceMark("wWinMain");
    return kestova::win::Guarded(1, [&] { return Run(instance); });
}
