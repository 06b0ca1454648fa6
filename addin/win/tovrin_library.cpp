#include "addin/win/tovrin_library.h"

#include "addin/win/dispatch_object.h"
#include "addin/win/own_module.h"

namespace kestova::addin::win {

namespace {
// The library's calling convention: stdcall, 32-bit integers, the window object as a VARIANT
// by value.
using VoidFunction = int32_t WINAPI();
using HandleFunction = int32_t WINAPI(int32_t);
using MonitorInfoFunction = int32_t WINAPI(int32_t, int32_t*, int32_t*, int32_t*, int32_t*);
using WindowHandleFunction = int32_t WINAPI(VARIANT);
} // namespace

TovrinLibrary::TovrinLibrary(std::wstring folder) noexcept : folder_(std::move(folder)) {}

HMODULE TovrinLibrary::Module() {
    if (!module_) {
        std::wstring folder = folder_.empty() ? OwnModuleFolder() : folder_;
        if (folder.empty())
            return nullptr; // never fall back on the search path
        std::wstring path = folder + L"Tovrin.dll";
        // A full path: its own dependencies are looked for beside it first.
        module_.reset(::LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH));
    }
    return module_.get();
}

template <typename Function> Function* TovrinLibrary::Bind(const char* name) {
    HMODULE module = Module();
    if (!module)
        return nullptr;
    return reinterpret_cast<Function*>(reinterpret_cast<void*>(::GetProcAddress(module, name)));
}

bool TovrinLibrary::StartScreenSaverSession() {
    auto* start = Bind<VoidFunction>("StartScreenSaverSession");
    if (!start)
        return false;
    start();
    return true;
}

std::optional<int32_t> TovrinLibrary::GetMonitorCount() {
    auto* count = Bind<VoidFunction>("GetMonitorCount");
    if (!count)
        return std::nullopt;
    return count();
}

bool TovrinLibrary::MonitorInfo(int32_t monitorNum, PixelRect& rect) {
    auto* info = Bind<MonitorInfoFunction>("GetMonitorInfo");
    if (!info)
        return false;
    // The library answers 0 for a monitor it does not know, and leaves the outputs alone.
    PixelRect read = rect;
    if (info(monitorNum, &read.left, &read.top, &read.width, &read.height) == 0)
        return false;
    rect = read;
    return true;
}

std::optional<int32_t> TovrinLibrary::GetSSWHandle(const HostObject& window) {
    auto* handle = Bind<WindowHandleFunction>("GetSSWHandle");
    if (!handle)
        return std::nullopt;
    VARIANT lent;
    ::VariantInit(&lent);
    V_VT(&lent) = VT_DISPATCH;
    V_DISPATCH(&lent) = DispatchOf(window); // lent for the call: no reference is added
    return handle(lent);
}

bool TovrinLibrary::RegisterSlideShowWindow(int32_t handle) {
    auto* notify = Bind<HandleFunction>("RegisterSlideShowWindow");
    if (!notify)
        return false;
    notify(handle);
    return true;
}

bool TovrinLibrary::DeregisterSlideShowWindow(int32_t handle) {
    auto* notify = Bind<HandleFunction>("DeregisterSlideShowWindow");
    if (!notify)
        return false;
    notify(handle);
    return true;
}

bool TovrinLibrary::EndScreenSaverSession() {
    auto* end = Bind<VoidFunction>("EndScreenSaverSession");
    if (!end)
        return false;
    end();
    return true;
}

} // namespace kestova::addin::win
