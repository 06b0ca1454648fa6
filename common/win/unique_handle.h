#pragma once

// One owner for every kind of OS resource: a generic move-only holder and one alias per kind.
#include <windows.h>
#include <oleauto.h>
#include <wrl/client.h>

#include <utility>

namespace kestova::win {

template <typename T, typename Close, T Invalid = T{}> class UniqueResource {
public:
    UniqueResource() noexcept = default;
    explicit UniqueResource(T value) noexcept : value_(value) {}
    UniqueResource(const UniqueResource&) = delete;
    UniqueResource& operator=(const UniqueResource&) = delete;
    UniqueResource(UniqueResource&& other) noexcept : value_(other.release()) {}
    UniqueResource& operator=(UniqueResource&& other) noexcept {
        if (this != &other)
            reset(other.release());
        return *this;
    }
    ~UniqueResource() { reset(); }

    [[nodiscard]] T get() const noexcept { return value_; }
    [[nodiscard]] explicit operator bool() const noexcept { return value_ != Invalid; }
    // For APIs that return the resource through an out parameter.
    [[nodiscard]] T* put() noexcept {
        reset();
        return &value_;
    }
    T release() noexcept { return std::exchange(value_, Invalid); }
    void reset(T value = Invalid) noexcept {
        T old = std::exchange(value_, value);
        if (old != Invalid)
            Close{}(old);
    }

private:
    T value_ = Invalid;
};

struct CloseHkey {
    void operator()(HKEY key) const noexcept { ::RegCloseKey(key); }
};
struct CloseKernelHandle {
    void operator()(HANDLE handle) const noexcept { ::CloseHandle(handle); }
};
struct UnhookHook {
    void operator()(HHOOK hook) const noexcept { ::UnhookWindowsHookEx(hook); }
};
struct DeleteGlobalAtom {
    void operator()(ATOM atom) const noexcept { ::GlobalDeleteAtom(atom); }
};
struct DestroyWindowHandle {
    void operator()(HWND window) const noexcept { ::DestroyWindow(window); }
};
struct DeleteGdiObject {
    void operator()(HGDIOBJ object) const noexcept { ::DeleteObject(object); }
};
struct FreeModule {
    void operator()(HMODULE module) const noexcept { ::FreeLibrary(module); }
};
struct DeregisterEventLogSource {
    void operator()(HANDLE source) const noexcept { ::DeregisterEventSource(source); }
};
struct FreeCoTaskMem {
    void operator()(void* memory) const noexcept { ::CoTaskMemFree(memory); }
};

using UniqueHkey = UniqueResource<HKEY, CloseHkey>;
using UniqueHandle = UniqueResource<HANDLE, CloseKernelHandle>;
using UniqueHook = UniqueResource<HHOOK, UnhookHook>;
using UniqueGlobalAtom = UniqueResource<ATOM, DeleteGlobalAtom>;
using UniqueWindow = UniqueResource<HWND, DestroyWindowHandle>;
using UniqueGdiObject = UniqueResource<HGDIOBJ, DeleteGdiObject>;
using UniqueModule = UniqueResource<HMODULE, FreeModule>;
using UniqueCoTaskMem = UniqueResource<void*, FreeCoTaskMem>;
using UniqueEventSource = UniqueResource<HANDLE, DeregisterEventLogSource>;

// A screen or window device context from GetDC, released to the same window.
class WindowDc {
public:
    explicit WindowDc(HWND window) noexcept : window_(window), dc_(::GetDC(window)) {}
    WindowDc(const WindowDc&) = delete;
    WindowDc& operator=(const WindowDc&) = delete;
    ~WindowDc() {
        if (dc_)
            ::ReleaseDC(window_, dc_);
    }
    [[nodiscard]] HDC get() const noexcept { return dc_; }
    [[nodiscard]] explicit operator bool() const noexcept { return dc_ != nullptr; }

private:
    HWND window_;
    HDC dc_;
};

// An automation string.
class UniqueBstr {
public:
    UniqueBstr() noexcept = default;
    explicit UniqueBstr(const wchar_t* text) noexcept : value_(::SysAllocString(text)) {}
    UniqueBstr(const wchar_t* text, UINT length) noexcept
        : value_(::SysAllocStringLen(text, length)) {}
    UniqueBstr(const UniqueBstr&) = delete;
    UniqueBstr& operator=(const UniqueBstr&) = delete;
    UniqueBstr(UniqueBstr&& other) noexcept : value_(std::exchange(other.value_, nullptr)) {}
    UniqueBstr& operator=(UniqueBstr&& other) noexcept {
        if (this != &other)
            reset(std::exchange(other.value_, nullptr));
        return *this;
    }
    ~UniqueBstr() { reset(); }

    [[nodiscard]] BSTR get() const noexcept { return value_; }
    [[nodiscard]] BSTR* put() noexcept {
        reset();
        return &value_;
    }
    [[nodiscard]] UINT length() const noexcept { return ::SysStringLen(value_); }
    BSTR release() noexcept { return std::exchange(value_, nullptr); }
    void reset(BSTR value = nullptr) noexcept {
        BSTR old = std::exchange(value_, value);
        if (old)
            ::SysFreeString(old);
    }

private:
    BSTR value_ = nullptr;
};

// A VARIANT that is cleared when it goes out of scope.
class UniqueVariant {
public:
    UniqueVariant() noexcept { ::VariantInit(&value_); }
    UniqueVariant(const UniqueVariant&) = delete;
    UniqueVariant& operator=(const UniqueVariant&) = delete;
    UniqueVariant(UniqueVariant&& other) noexcept {
        value_ = other.value_;
        ::VariantInit(&other.value_);
    }
    UniqueVariant& operator=(UniqueVariant&& other) noexcept {
        if (this != &other) {
            ::VariantClear(&value_);
            value_ = other.value_;
            ::VariantInit(&other.value_);
        }
        return *this;
    }
    ~UniqueVariant() { ::VariantClear(&value_); }

    [[nodiscard]] VARIANT* get() noexcept { return &value_; }
    [[nodiscard]] const VARIANT* get() const noexcept { return &value_; }
    [[nodiscard]] VARIANT* put() noexcept {
        ::VariantClear(&value_);
        return &value_;
    }
    [[nodiscard]] VARTYPE type() const noexcept { return value_.vt; }
    VARIANT* operator->() noexcept { return &value_; }
    const VARIANT* operator->() const noexcept { return &value_; }

private:
    VARIANT value_;
};

// A SAFEARRAY destroyed with its contents.
struct DestroySafeArray {
    void operator()(SAFEARRAY* array) const noexcept { ::SafeArrayDestroy(array); }
};
using UniqueSafeArray = UniqueResource<SAFEARRAY*, DestroySafeArray>;

// COM apartment for the lifetime of a scope.
class ComApartment {
public:
    explicit ComApartment(DWORD model = COINIT_APARTMENTTHREADED) noexcept
        : result_(::CoInitializeEx(nullptr, model)) {}
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;
    ~ComApartment() {
        if (SUCCEEDED(result_))
            ::CoUninitialize();
    }
    [[nodiscard]] HRESULT result() const noexcept { return result_; }

private:
    HRESULT result_;
};

using Microsoft::WRL::ComPtr;

} // namespace kestova::win
