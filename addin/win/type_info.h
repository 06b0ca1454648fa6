#pragma once

// IDispatch for the add-in's dual interfaces, answered from the type libraries embedded in this
// module: names, DISPIDs and argument conversion are exactly what the registered library says.
#include <windows.h>
#include <oaidl.h>

namespace kestova::addin::win {

enum class DualInterface { PowerPointAddin, HostClass, Extensibility };

// The four IDispatch methods for an object whose vtable for `which` is `self`.
class TypeInfoDispatch {
public:
    static HRESULT GetTypeInfoCount(UINT* count) noexcept;
    static HRESULT GetTypeInfo(DualInterface which, UINT index, ITypeInfo** info) noexcept;
    static HRESULT GetIDsOfNames(DualInterface which, LPOLESTR* names, UINT count,
                                 DISPID* ids) noexcept;
    static HRESULT Invoke(DualInterface which, void* self, DISPID id, WORD flags,
                          DISPPARAMS* params, VARIANT* result, EXCEPINFO* exception,
                          UINT* argError) noexcept;
};

} // namespace kestova::addin::win
