#include "ContextoVisual.h"

#include <windows.h>
// After windows.h, which it needs.
#include <commctrl.h>

namespace kova {
namespace {

// The context of the module's manifest, made once for the process and kept: a DLL that leaves
// while a window of it still shows has worse problems than this handle.
HANDLE Contexto() {
    static const HANDLE contexto = [] {
        ACTCTXW pedido{};
        pedido.cbSize = sizeof pedido;
        pedido.dwFlags = ACTCTX_FLAG_RESOURCE_NAME_VALID | ACTCTX_FLAG_HMODULE_VALID;
        pedido.hModule = static_cast<HMODULE>(ContextoVisual::Modulo());
        pedido.lpResourceName = MAKEINTRESOURCEW(2);
        return CreateActCtxW(&pedido);
    }();
    return contexto;
}

}  // namespace

ContextoVisual::ContextoVisual() {
    const HANDLE contexto = Contexto();
    ULONG_PTR cookie = 0;
    ativo_ = contexto != INVALID_HANDLE_VALUE && ActivateActCtx(contexto, &cookie) != FALSE;
    cookie_ = cookie;
    // The classes of comctl32 6 are registered in the context they were asked for in (the
    // first object's, which is this module's whenever its manifest is there).
    static const bool registradas = [] {
        INITCOMMONCONTROLSEX icc{sizeof(INITCOMMONCONTROLSEX),
                                 ICC_STANDARD_CLASSES | ICC_LISTVIEW_CLASSES};
        return InitCommonControlsEx(&icc) != FALSE;
    }();
    (void)registradas;
}

ContextoVisual::~ContextoVisual() {
    if (ativo_) DeactivateActCtx(0, cookie_);
}

void* ContextoVisual::Modulo() {
    HMODULE modulo = nullptr;
    GetModuleHandleExW(
        GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
        reinterpret_cast<LPCWSTR>(&ContextoVisual::Modulo), &modulo);
    return modulo;
}

}  // namespace kova
