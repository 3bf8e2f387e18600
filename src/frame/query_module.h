// The one way into the query module: look the entry point up by name, then call it.
#pragma once

#include <windows.h>
#include <vyxquery.h>

namespace vyx {

// Calls `entry` in the handle's query module with the address of the handle's query context
// followed by `arguments`. The entry point is looked up anew at every call, so nothing cached
// can go stale; a module without it gives BIDI_ERR_NO_ENTRY_POINT and no call.
template <typename Pfn, typename... Arguments>
LONG CallModule(BiDiHandle* handle, vyxquery::EntryPoint<Pfn> entry,
                Arguments... arguments) noexcept {
    const FARPROC found = GetProcAddress(handle->module, entry.name);
    if (!found) {
        return BIDI_ERR_NO_ENTRY_POINT;
    }
    // Through a generic function pointer once, so the compiler sees an intended conversion.
    const Pfn function = reinterpret_cast<Pfn>(reinterpret_cast<void (*)()>(found));
    return function(&handle->queryContext, arguments...);
}

}  // namespace vyx
