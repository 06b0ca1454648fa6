#include "screensaver/error_report_text.h"
#include "screensaver/run_mode.h"

#include <gtest/gtest.h>

using kestova::ParseRunMode;
using kestova::RunMode;

namespace {

RunMode Mode(std::initializer_list<const wchar_t*> arguments) {
    std::vector<std::wstring> list;
    for (const wchar_t* argument : arguments)
        list.emplace_back(argument);
    return ParseRunMode(list);
}

} // namespace

TEST(RunModeTable, RunSwitchInEitherCaseAndPrefix) {
    EXPECT_EQ(Mode({L"/s"}), RunMode::Run);
    EXPECT_EQ(Mode({L"/S"}), RunMode::Run);
    EXPECT_EQ(Mode({L"-s"}), RunMode::Run);
    EXPECT_EQ(Mode({L"-S"}), RunMode::Run);
    EXPECT_EQ(Mode({L"/S", L"extra", L"words"}), RunMode::Run);
}

TEST(RunModeTable, ConfigureNeedsNoArgumentsOrThreeCharacterCSwitch) {
    EXPECT_EQ(Mode({}), RunMode::Configure);
    EXPECT_EQ(Mode({L"/c:12345"}), RunMode::Configure);
    EXPECT_EQ(Mode({L"-C:0"}), RunMode::Configure);
    EXPECT_EQ(Mode({L"/CONFIG"}), RunMode::Configure);
    // Bare /c, even with the handle as a separate argument, is no request at all.
    EXPECT_EQ(Mode({L"/c"}), RunMode::None);
    EXPECT_EQ(Mode({L"/c", L"12345"}), RunMode::None);
}

TEST(RunModeTable, PreviewWithOrWithoutHandle) {
    EXPECT_EQ(Mode({L"/p", L"12345"}), RunMode::Preview);
    EXPECT_EQ(Mode({L"/P"}), RunMode::Preview);
    EXPECT_EQ(Mode({L"-p:123"}), RunMode::None);
}

TEST(RunModeTable, EverythingElseIsNone) {
    for (const wchar_t* argument : {L"s", L"/", L"-", L"", L"/A", L"/S:1", L"/sx", L"\\s", L"ss"})
        EXPECT_EQ(Mode({argument}), RunMode::None) << std::wstring(argument).size();
    // Upper-casing is ASCII only: no locale may turn another letter into 'S' or 'C'.
    EXPECT_EQ(Mode({L"/\u017f"}), RunMode::None);   // LATIN SMALL LETTER LONG S
    EXPECT_EQ(Mode({L"/\u0441:1"}), RunMode::None); // CYRILLIC SMALL LETTER ES
}

TEST(RunModeErrorText, ChoosesUnknownMemberThenDescriptionThenSystemThenCode) {
    using kestova::AutomationError;
    using kestova::AutomationFailureText;
    auto system = [](int32_t code) {
        return code == static_cast<int32_t>(0x8000FFFF) ? std::wstring(L"Catastrophic failure")
                                                        : std::wstring();
    };
    EXPECT_EQ(AutomationFailureText(
                  AutomationError(static_cast<int32_t>(0x80020006), L"COMAddIns", true, L"ignored"),
                  system),
              L"Method 'COMAddIns' not supported by automation object.");
    EXPECT_EQ(AutomationFailureText(
                  AutomationError(static_cast<int32_t>(0x8000FFFF), L"Open", false, L"Cannot open"),
                  system),
              L"Cannot open.");
    EXPECT_EQ(AutomationFailureText(
                  AutomationError(static_cast<int32_t>(0x8000FFFF), L"Open", false, L"Closed (5)"),
                  system),
              L"Closed (5)");
    EXPECT_EQ(AutomationFailureText(
                  AutomationError(static_cast<int32_t>(0x8000FFFF), L"Begin", false, L""), system),
              L"Catastrophic failure.");
    EXPECT_EQ(AutomationFailureText(
                  AutomationError(static_cast<int32_t>(0x80041234), L"Begin", false, L""), system),
              L"OLE error 80041234.");
    EXPECT_EQ(AutomationFailureText(AutomationError(0x0000000A, L"Begin", false, L""), system),
              L"OLE error 0000000a.");
}
