// Routing a loaded module's calls to one imported function through a replacement of our own.
#pragma once

#include <windows.h>

#include <cstring>

namespace vyximport {

// The import table's slots hold addresses: 4 bytes on x86, 8 on x64.
static_assert(sizeof(IMAGE_THUNK_DATA) == sizeof(void*), "one import slot holds one address");

// The import-address-table slot through which `module` calls `function` of `library` (by name),
// or null when the module does not import it. The headers and thunks are those of the running
// architecture (a module of the other one never loads): 32-bit thunks on x86, 64-bit on x64.
inline void** ImportSlot(HMODULE module, const char* library, const char* function) {
    auto* base = reinterpret_cast<BYTE*>(module);
    auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(
        base + reinterpret_cast<IMAGE_DOS_HEADER*>(base)->e_lfanew);
    const IMAGE_DATA_DIRECTORY& dir =
        nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    for (auto* d = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + dir.VirtualAddress); d->Name;
         ++d) {
        if (lstrcmpiA(reinterpret_cast<char*>(base + d->Name), library) != 0) {
            continue;
        }
        auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + d->OriginalFirstThunk);
        auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + d->FirstThunk);
        for (; names->u1.AddressOfData; ++names, ++slots) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) {
                continue;
            }
            auto* byName = reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
            if (std::strcmp(reinterpret_cast<char*>(byName->Name), function) == 0) {
                return reinterpret_cast<void**>(&slots->u1.Function);
            }
        }
    }
    return nullptr;
}

// Puts `replacement` into `slot` and gives back what was there.
inline void* SwapSlot(void** slot, void* replacement) {
    DWORD protection = 0;
    VirtualProtect(slot, sizeof(void*), PAGE_READWRITE, &protection);
    void* previous = *slot;
    *slot = replacement;
    VirtualProtect(slot, sizeof(void*), protection, &protection);
    return previous;
}

}  // namespace vyximport
