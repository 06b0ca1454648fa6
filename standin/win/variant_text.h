#pragma once

// How the journal spells automation values: "<VT name>[|BYREF]:<value>", e.g. "VT_I4|BYREF:3".
#include <windows.h>
#include <oleauto.h>

#include <string>

namespace kestova::standin::win {

// "VT_I4", "VT_BSTR|BYREF", "VT_VARIANT|BYREF", "VT_ARRAY|VT_VARIANT".
std::wstring VariantTypeName(VARTYPE type);

// The type name and the value; a by-reference VARIANT shows the value it points to after the
// colon, itself spelt the same way ("VT_VARIANT|BYREF:VT_I4:3"). Objects show as "object" or
// "null" unless `objectName` names the object (the host knows what it hands out).
std::wstring VariantText(const VARIANT& value, const std::wstring& objectName = {});

} // namespace kestova::standin::win
