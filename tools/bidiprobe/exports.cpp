// Loading VYXBIDI.dll and looking its exports up by name.
#include "exports.h"

#include <cstring>

namespace bidiprobe {

bool Exports::Has(const char* name) const {
#define BIDIPROBE_EXPORT_HAS_(export_name)      \
    if (std::strcmp(name, #export_name) == 0) { \
        return export_name != nullptr;          \
    }
    BIDIPROBE_EXPORTS(BIDIPROBE_EXPORT_HAS_)
#undef BIDIPROBE_EXPORT_HAS_
    return false;
}

Library::~Library() {
    if (module_) {
        FreeLibrary(module_);
    }
}

bool Library::Load(const std::wstring& path, DWORD* error) {
    module_ = LoadLibraryW(path.c_str());
    if (!module_) {
        *error = GetLastError();
        return false;
    }
    wchar_t loaded[MAX_PATH];
    const DWORD length = GetModuleFileNameW(module_, loaded, MAX_PATH);
    path_.assign(loaded, length > 0 && length < MAX_PATH ? length : 0);
    if (path_.empty()) {
        path_ = path;
    }
    // Through a generic function pointer once, so the compiler sees an intended conversion.
#define BIDIPROBE_EXPORT_RESOLVE_(name)                  \
    exports_.name = reinterpret_cast<decltype(&::name)>( \
        reinterpret_cast<void (*)()>(GetProcAddress(module_, #name)));
    BIDIPROBE_EXPORTS(BIDIPROBE_EXPORT_RESOLVE_)
#undef BIDIPROBE_EXPORT_RESOLVE_
    return true;
}

}  // namespace bidiprobe
