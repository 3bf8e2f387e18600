// Owner of one loaded query module: unloaded on every path unless handed over.
#pragma once

#include <windows.h>

namespace vyx {

class LoadedModule {
public:
    explicit LoadedModule(HMODULE module = nullptr) noexcept : module_(module) {}
    LoadedModule(const LoadedModule&) = delete;
    LoadedModule& operator=(const LoadedModule&) = delete;
    ~LoadedModule() {
        if (module_) {
            FreeLibrary(module_);
        }
    }

    explicit operator bool() const noexcept { return module_ != nullptr; }
    HMODULE get() const noexcept { return module_; }

    [[nodiscard]] HMODULE release() noexcept {
        HMODULE m = module_;
        module_ = nullptr;
        return m;
    }

private:
    HMODULE module_;
};

}  // namespace vyx
