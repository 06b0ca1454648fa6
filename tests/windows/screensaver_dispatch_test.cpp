#include "screensaver/win/dispatch_object.h"
#include "screensaver_fake_dispatch.h"

#include <gtest/gtest.h>

using namespace kestova;
using kestova::test::FakeDispatch;

namespace {

const WORD kRead = DISPATCH_METHOD | DISPATCH_PROPERTYGET;

TEST(CorvaneDispatch, ByReferenceArgumentsPointAtCopiesThatComeBack) {
    auto fake = FakeDispatch::Make();
    std::wstring sent;
    fake->On(L"AddScreenSaver", [&sent](std::vector<VARIANT*>& arguments, VARIANT*, EXCEPINFO*) {
        sent.assign(*arguments[1]->pbstrVal, ::SysStringLen(*arguments[1]->pbstrVal));
        // The callee may write through each reference, strings included.
        *arguments[0]->plVal += 10;
        ::SysFreeString(*arguments[1]->pbstrVal);
        *arguments[1]->pbstrVal = ::SysAllocString(L"D:\\\u00e9t\u00e9.pptx");
        return S_OK;
    });
    win::DispatchObject object(fake);
    int32_t index = 1;
    std::wstring name = L"C:\\\u4e2d\u6587.pptx";
    int32_t monitor = 3;
    const AutomationArgument arguments[] = {&index, &name, &monitor};
    CallMethod(object, L"AddScreenSaver", arguments);

    ASSERT_EQ(fake->calls.size(), 1u);
    EXPECT_EQ(fake->calls[0].flags, DISPATCH_METHOD);
    EXPECT_EQ(fake->calls[0].types,
              (std::vector<VARTYPE>{VT_BYREF | VT_I4, VT_BYREF | VT_BSTR, VT_BYREF | VT_I4}));
    EXPECT_FALSE(fake->calls[0].resultAsked);
    EXPECT_EQ(sent, L"C:\\\u4e2d\u6587.pptx"); // exactly the caller's text, no terminator
    EXPECT_EQ(index, 11);
    EXPECT_EQ(name, L"D:\\\u00e9t\u00e9.pptx");
    EXPECT_EQ(monitor, 3);
}

TEST(CorvaneDispatch, ReadsGoAsMethodAndPropertyGetWithTheNameLookedUpEachTime) {
    auto fake = FakeDispatch::Make();
    auto inner = FakeDispatch::Make();
    fake->Answer(L"Count", [](VARIANT* v) {
        v->vt = VT_I2;
        v->iVal = 7;
    });
    fake->Answer(L"Description", [](VARIANT* v) {
        v->vt = VT_BSTR;
        v->bstrVal = ::SysAllocString(L"Kestova Screen Saver");
    });
    fake->Answer(L"IsReady", [](VARIANT* v) {
        v->vt = VT_BOOL;
        v->boolVal = VARIANT_TRUE;
    });
    IDispatch* innerObject = inner.Get();
    fake->Answer(L"Object", [innerObject](VARIANT* v) {
        v->vt = VT_DISPATCH;
        v->pdispVal = innerObject;
        innerObject->AddRef();
    });
    fake->On(L"Item", [](std::vector<VARIANT*>& arguments, VARIANT* result, EXCEPINFO*) {
        EXPECT_EQ(arguments[0]->lVal, 2);
        result->vt = VT_DISPATCH;
        result->pdispVal = nullptr; // a null reference counts as empty
        return S_OK;
    });
    win::DispatchObject object(fake);
    EXPECT_EQ(ReadInteger(object, L"Count"), 7);
    EXPECT_EQ(ReadInteger(object, L"Count"), 7);
    EXPECT_EQ(ReadString(object, L"Description"), L"Kestova Screen Saver");
    EXPECT_TRUE(CallBoolean(object, L"IsReady"));
    AutomationRef held = ReadObject(object, L"Object");
    ASSERT_TRUE(held);
    EXPECT_EQ(static_cast<win::DispatchObject*>(held.get())->get(), inner.Get());
    const AutomationArgument position[] = {int32_t{2}};
    EXPECT_FALSE(CallObject(object, L"Item", position));

    EXPECT_EQ(fake->lookups, (std::vector<std::wstring>{L"Count", L"Count", L"Description",
                                                        L"IsReady", L"Object", L"Item"}));
    std::vector<WORD> flags;
    for (const auto& call : fake->calls) {
        flags.push_back(call.flags);
        EXPECT_TRUE(call.resultAsked);
    }
    EXPECT_EQ(flags,
              (std::vector<WORD>{kRead, kRead, kRead, DISPATCH_METHOD, kRead, DISPATCH_METHOD}));
    EXPECT_EQ(fake->calls.back().types, std::vector<VARTYPE>{VT_I4});
    held.reset();
    EXPECT_EQ(inner->references(), 1u);
}

TEST(CorvaneDispatch, FailuresCarryWhatTheReportNeeds) {
    auto fake = FakeDispatch::Make();
    fake->On(L"BeginScreenSaver", [](auto&, VARIANT*, EXCEPINFO* exception) {
        return test::Raise(exception, L"Presentation cannot be opened", E_FAIL);
    });
    fake->On(L"PrepareScreenSaver", [](auto&, VARIANT*, EXCEPINFO*) { return E_ACCESSDENIED; });
    fake->Answer(L"Count", [](VARIANT* v) {
        v->vt = VT_BSTR;
        v->bstrVal = ::SysAllocString(L"many");
    });
    win::DispatchObject object(fake);

    auto failure = [&](auto call) -> AutomationError {
        try {
            call();
        } catch (const AutomationError& error) {
            return error;
        }
        ADD_FAILURE() << "no failure";
        return AutomationError(0, L"", false, L"");
    };
    AutomationError unknown = failure([&] { CallMethod(object, L"COMAddIns"); });
    EXPECT_TRUE(unknown.unknownMember);
    EXPECT_EQ(unknown.member, L"COMAddIns");

    AutomationError raised = failure([&] { CallMethod(object, L"BeginScreenSaver"); });
    EXPECT_FALSE(raised.unknownMember);
    EXPECT_EQ(raised.description, L"Presentation cannot be opened");
    EXPECT_EQ(raised.code, static_cast<int32_t>(E_FAIL));

    AutomationError denied = failure([&] { CallMethod(object, L"PrepareScreenSaver"); });
    EXPECT_EQ(denied.code, static_cast<int32_t>(E_ACCESSDENIED));
    EXPECT_TRUE(denied.description.empty());

    AutomationError mismatch = failure([&] { (void)ReadInteger(object, L"Count"); });
    EXPECT_EQ(mismatch.code, static_cast<int32_t>(DISP_E_TYPEMISMATCH));
}

} // namespace
