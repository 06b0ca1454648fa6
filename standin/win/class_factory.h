#pragma once

// The class object of PowerPoint.Application: every client that creates the class gets the one
// Application of this process, as with PowerPoint.
#include <windows.h>
#include <unknwn.h>

namespace kestova::standin::win {

class Host;

class ClassFactory : public IClassFactory {
public:
    explicit ClassFactory(Host& host) noexcept : host_(host) {}

    STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
    // Lives as long as the host's main loop; COM's references do not decide its lifetime.
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID iid, void** out) override;
    STDMETHODIMP LockServer(BOOL) override { return S_OK; }

private:
    Host& host_;
};

} // namespace kestova::standin::win
