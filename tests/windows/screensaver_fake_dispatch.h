#pragma once

// An in-process IDispatch that answers named members with handlers and records what it was
// sent: the names looked up and, per Invoke, the flags and the arguments' VARIANT types.
#include "common/win/unique_handle.h"

#include <windows.h>
#include <oleauto.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace kestova::test {

struct ReceivedCall {
    std::wstring member;
    WORD flags = 0;
    std::vector<VARTYPE> types; // in natural order
    bool resultAsked = false;
};

class FakeDispatch final : public IDispatch {
public:
    // Gets the arguments in natural order; fills `result` when one is asked for.
    using Handler = std::function<HRESULT(std::vector<VARIANT*>& arguments, VARIANT* result,
                                          EXCEPINFO* exception)>;

    // (MinGW's ComPtr::Attach adds a reference, unlike the WRL original: not used here.)
    static win::ComPtr<FakeDispatch> Make() {
        return win::ComPtr<FakeDispatch>(new FakeDispatch());
    }

    void On(const std::wstring& member, Handler handler) {
        if (!ids_.count(member))
            ids_[member] = static_cast<DISPID>(100 + ids_.size());
        handlers_[ids_[member]] = {member, std::move(handler)};
    }
    // A member whose result `fill` writes.
    void Answer(const std::wstring& member, std::function<void(VARIANT*)> fill) {
        On(member, [fill](auto&, VARIANT* result, EXCEPINFO*) {
            if (result)
                fill(result);
            return S_OK;
        });
    }

    std::vector<std::wstring> lookups;
    std::vector<ReceivedCall> calls;

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (!object)
            return E_POINTER;
        if (iid == IID_IUnknown || iid == IID_IDispatch) {
            *object = static_cast<IDispatch*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = --references_;
        if (left == 0)
            delete this;
        return left;
    }
    ULONG references() const { return references_; }

    // IDispatch
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID,
                                            DISPID* ids) override {
        if (count != 1)
            return E_INVALIDARG;
        lookups.emplace_back(names[0]);
        auto found = ids_.find(names[0]);
        if (found == ids_.end()) {
            ids[0] = DISPID_UNKNOWN;
            return DISP_E_UNKNOWNNAME;
        }
        ids[0] = found->second;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params,
                                     VARIANT* result, EXCEPINFO* exception, UINT*) override {
        auto found = handlers_.find(id);
        if (found == handlers_.end())
            return DISP_E_MEMBERNOTFOUND;
        ReceivedCall call{found->second.first, flags, {}, result != nullptr};
        std::vector<VARIANT*> arguments;
        for (UINT i = params->cArgs; i > 0; --i) {
            arguments.push_back(&params->rgvarg[i - 1]);
            call.types.push_back(params->rgvarg[i - 1].vt);
        }
        calls.push_back(call);
        return found->second.second(arguments, result, exception);
    }

private:
    FakeDispatch() = default;
    ULONG references_ = 0;
    std::map<std::wstring, DISPID> ids_;
    std::map<DISPID, std::pair<std::wstring, Handler>> handlers_;
};

// Raises an error from inside a member, as an automation server does.
inline HRESULT Raise(EXCEPINFO* exception, const wchar_t* description, HRESULT code) {
    if (exception) {
        *exception = {};
        exception->bstrDescription = ::SysAllocString(description);
        exception->scode = code;
    }
    return DISP_E_EXCEPTION;
}

} // namespace kestova::test
