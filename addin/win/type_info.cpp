#include "addin/win/type_info.h"

#include "addin/win/own_module.h"
#include "extensibility_h.h"
#include "paxendo_h.h"
#include "common/win/unique_handle.h"

#include <mutex>
#include <string>
#include <vector>

namespace kestova::addin::win {

namespace {

using kestova::win::ComPtr;

// For a dual interface the library holds two descriptions: the dispatch one answers names and
// GetTypeInfo; the vtable one drives Invoke (invoking through the dispatch one would call
// IDispatch::Invoke on the object again).
struct DualInfo {
    ComPtr<ITypeInfo> dispatch;
    ComPtr<ITypeInfo> vtable;
};

struct TypeInfos {
    std::once_flag loaded;
    DualInfo infos[3];
};

// Loaded once; never released by the runtime (not from inside the loader's unload).
TypeInfos& Cache() {
    static TypeInfos* cache = new TypeInfos();
    return *cache;
}

DualInfo LoadDual(ITypeLib* library, REFIID iid) {
    DualInfo info;
    if (!library || FAILED(library->GetTypeInfoOfGuid(iid, &info.dispatch)))
        return info;
    HREFTYPE ref = 0;
    if (SUCCEEDED(info.dispatch->GetRefTypeOfImplType(static_cast<UINT>(-1), &ref)))
        info.dispatch->GetRefTypeInfo(ref, &info.vtable);
    else
        info.vtable = info.dispatch; // already the vtable description
    return info;
}

// The type library resource `resource` of this module, not registered.
ComPtr<ITypeLib> LoadEmbedded(int resource) {
    std::wstring path = OwnModulePath();
    if (resource != 1)
        path += L"\\" + std::to_wstring(resource);
    ComPtr<ITypeLib> library;
    ::LoadTypeLibEx(path.c_str(), REGKIND_NONE, &library);
    return library;
}

const DualInfo& Info(DualInterface which) {
    TypeInfos& cache = Cache();
    std::call_once(cache.loaded, [&] {
        ComPtr<ITypeLib> paxendo = LoadEmbedded(1);
        cache.infos[0] = LoadDual(paxendo.Get(), IID__PowerPointAddin);
        cache.infos[1] = LoadDual(paxendo.Get(), IID__HostClass);
        cache.infos[2] = LoadDual(LoadEmbedded(2).Get(), IID_IDTExtensibility2);
    });
    return cache.infos[static_cast<int>(which)];
}

// Script clients pass their variables as VT_BYREF|VT_VARIANT. For a by-reference parameter the
// library's Invoke only takes a reference to the parameter's own type, so such an argument is
// turned, in the caller's variable, into that type and passed as a reference to it; the value
// the method writes then lands in the caller's variable.
bool PointByRefVariants(ITypeInfo* info, DISPID id, WORD flags, const DISPPARAMS& params,
                        std::vector<VARIANT>& args) {
    if (params.cNamedArgs != 0 || params.cArgs == 0 || !params.rgvarg)
        return false;
    TYPEATTR* attr = nullptr;
    if (FAILED(info->GetTypeAttr(&attr)))
        return false;
    const WORD functions = attr->cFuncs;
    info->ReleaseTypeAttr(attr);
    bool changed = false;
    for (UINT f = 0; f < functions; ++f) {
        FUNCDESC* function = nullptr;
        if (FAILED(info->GetFuncDesc(f, &function)))
            continue;
        if (function->memid == id && (function->invkind & flags)) {
            const UINT count = params.cArgs;
            args.assign(params.rgvarg, params.rgvarg + count);
            for (SHORT p = 0; p < function->cParams && static_cast<UINT>(p) < count; ++p) {
                const TYPEDESC& type = function->lprgelemdescParam[p].tdesc;
                if (type.vt != VT_PTR || !type.lptdesc || type.lptdesc->vt == VT_VARIANT)
                    continue;
                VARIANT& arg = args[count - 1 - static_cast<UINT>(p)];
                VARIANT* inner =
                    V_VT(&arg) == (VT_VARIANT | VT_BYREF) ? V_VARIANTREF(&arg) : nullptr;
                if (!inner || (V_VT(inner) & VT_BYREF))
                    continue;
                const VARTYPE target = type.lptdesc->vt;
                if (V_VT(inner) != target && FAILED(::VariantChangeType(inner, inner, 0, target)))
                    continue;
                V_VT(&arg) = static_cast<VARTYPE>(VT_BYREF | target);
                V_BYREF(&arg) = &V_I8(inner); // every member of the value union starts here
                changed = true;
            }
        }
        info->ReleaseFuncDesc(function);
        if (changed)
            break;
    }
    return changed;
}

} // namespace

HRESULT TypeInfoDispatch::GetTypeInfoCount(UINT* count) noexcept {
    if (!count)
        return E_POINTER;
    *count = 1;
    return S_OK;
}

HRESULT TypeInfoDispatch::GetTypeInfo(DualInterface which, UINT index, ITypeInfo** info) noexcept {
    try {
        if (!info)
            return E_POINTER;
        *info = nullptr;
        if (index != 0)
            return DISP_E_BADINDEX;
        const DualInfo& dual = Info(which);
        if (!dual.dispatch)
            return TYPE_E_ELEMENTNOTFOUND;
        return dual.dispatch.CopyTo(info);
    } catch (...) {
        return E_UNEXPECTED;
    }
}

HRESULT TypeInfoDispatch::GetIDsOfNames(DualInterface which, LPOLESTR* names, UINT count,
                                        DISPID* ids) noexcept {
    try {
        const DualInfo& dual = Info(which);
        if (!dual.dispatch)
            return E_UNEXPECTED;
        return dual.dispatch->GetIDsOfNames(names, count, ids);
    } catch (...) {
        return E_UNEXPECTED;
    }
}

HRESULT TypeInfoDispatch::Invoke(DualInterface which, void* self, DISPID id, WORD flags,
                                 DISPPARAMS* params, VARIANT* result, EXCEPINFO* exception,
                                 UINT* argError) noexcept {
    try {
        const DualInfo& dual = Info(which);
        if (!dual.vtable)
            return E_UNEXPECTED;
        DISPPARAMS none{};
        if (!params)
            params = &none;
        std::vector<VARIANT> args;
        DISPPARAMS adjusted = *params;
        if (PointByRefVariants(dual.vtable.Get(), id, flags, *params, args))
            adjusted.rgvarg = args.data();
        return dual.vtable->Invoke(self, id, flags, &adjusted, result, exception, argError);
    } catch (...) {
        return E_UNEXPECTED;
    }
}

} // namespace kestova::addin::win
