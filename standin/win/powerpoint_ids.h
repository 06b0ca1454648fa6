#pragma once

// PowerPoint's published identities, so that callers written against the real host find the
// stand-in by the same names and numbers.
#include <windows.h>
#include <oaidl.h>

#include <cstdint>

namespace kestova::standin::win {

// CLSID of PowerPoint.Application.
inline constexpr CLSID kApplicationClsid = {
    0x91493441, 0x5A91, 0x11CF, {0x87, 0x00, 0x00, 0xAA, 0x00, 0x60, 0x26, 0x3B}};
// _Application, the Application's dual interface.
inline constexpr IID kApplicationIid = {
    0x91493442, 0x5A91, 0x11CF, {0x87, 0x00, 0x00, 0xAA, 0x00, 0x60, 0x26, 0x3B}};
// EApplication, the Application's event dispinterface.
inline constexpr IID kEApplicationIid = {
    0x914934C2, 0x5A91, 0x11CF, {0x87, 0x00, 0x00, 0xAA, 0x00, 0x60, 0x26, 0x3B}};

inline constexpr wchar_t kApplicationClsidText[] = L"{91493441-5A91-11CF-8700-00AA0060263B}";
inline constexpr wchar_t kApplicationProgId[] = L"PowerPoint.Application";
inline constexpr wchar_t kApplicationVersionedProgId[] = L"PowerPoint.Application.16";
inline constexpr wchar_t kOfficeAddinsKey[] = L"Software\\Microsoft\\Office\\PowerPoint\\Addins";

// EApplication DISPIDs.
inline constexpr DISPID kSlideShowBeginId = 2011;
inline constexpr DISPID kSlideShowEndId = 2014;

// MsoTriState.
inline constexpr int32_t kMsoTrue = -1;
inline constexpr int32_t kMsoFalse = 0;

} // namespace kestova::standin::win
