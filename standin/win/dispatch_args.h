#pragma once

// The arguments of one IDispatch::Invoke, by parameter position, read the way automation servers
// read them: by value or by reference (VT_BYREF, also VT_BYREF|VT_VARIANT), converted as needed.
#include "common/win/unique_handle.h"

#include <cstdint>
#include <string>
#include <vector>

namespace kestova::standin::win {

using kestova::win::ComPtr;

class Arguments {
public:
    // `paramCount` parameters are declared; a property put takes its value from the
    // DISPID_PROPERTYPUT named argument. Named arguments carry their parameter's position as
    // DISPID (GetIDsOfNames hands out positions for parameter names). On failure `argError`
    // receives the offending rgvarg index where one applies.
    [[nodiscard]] HRESULT Bind(DISPPARAMS* params, size_t paramCount, bool isPut,
                               UINT* argError) noexcept;

    // Parameter `index` (0-based, declaration order); nullptr when not passed or passed as missing.
    [[nodiscard]] VARIANT* At(size_t index) const noexcept;
    [[nodiscard]] VARIANT* PutValue() const noexcept { return putValue_; }
    // Everything received, in the caller's (left-to-right) order, for the journal.
    [[nodiscard]] const std::vector<VARIANT*>& Received() const noexcept { return received_; }

private:
    std::vector<VARIANT*> slots_;
    std::vector<VARIANT*> received_;
    VARIANT* putValue_ = nullptr;
};

[[nodiscard]] bool IsMissing(const VARIANT* value) noexcept;

// Each reader follows one level of reference and converts with the automation rules; a value that
// cannot be converted gives DISP_E_TYPEMISMATCH.
[[nodiscard]] HRESULT ReadInt(const VARIANT* value, int32_t& out) noexcept;
[[nodiscard]] HRESULT ReadDouble(const VARIANT* value, double& out) noexcept;
[[nodiscard]] HRESULT ReadBool(const VARIANT* value, bool& out) noexcept; // msoTrue and true alike
[[nodiscard]] HRESULT ReadString(const VARIANT* value, std::wstring& out) noexcept;
// VT_DISPATCH or VT_UNKNOWN (asked for IDispatch); VT_EMPTY, VT_NULL and null give no object.
[[nodiscard]] HRESULT ReadObject(const VARIANT* value, ComPtr<IDispatch>& out) noexcept;

// Writes through a VT_BYREF|VT_I4 or VT_BYREF|VT_VARIANT argument; a by-value argument has nowhere
// to write to and is left alone (S_FALSE).
[[nodiscard]] HRESULT WriteInt(VARIANT* target, int32_t value) noexcept;

// Result setters.
void SetInt(VARIANT* result, int32_t value) noexcept;
void SetBool(VARIANT* result, bool value) noexcept;
void SetFloat(VARIANT* result, float value) noexcept;
[[nodiscard]] HRESULT SetString(VARIANT* result, const std::wstring& value) noexcept;
// The pointer is AddRef'ed into the result; `asUnknown` hands it out as VT_UNKNOWN.
void SetObject(VARIANT* result, IDispatch* object, bool asUnknown = false) noexcept;

} // namespace kestova::standin::win
