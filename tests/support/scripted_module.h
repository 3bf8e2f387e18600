// The test side of the test query module: hooks written as lambdas, and a log of every call.
#pragma once

#include <windows.h>
#include <vyxquery.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "../querymodule/test_query_module.h"

namespace vyxtest {

// One argument of a logged call, as the module saw it when the call began.
struct CallArg {
    std::uintptr_t raw = 0;              // the value passed (pointers as addresses)
    std::optional<std::string> text;     // char* arguments: the text up to its terminator
    std::size_t blockBytes = 0;          // char* arguments: size of the global block it lies in
    std::string block;                   // char* arguments: every byte of that block
    std::optional<LONG> number;          // LONG* arguments: the value it pointed to
    std::optional<std::wstring> name;    // TemplateRecord* arguments: the record's name
};

struct ModuleCall {
    std::string name;
    VyxQueryContext* context = nullptr;
    std::vector<CallArg> args;
    LONG result = 0;
};

// Directory of the running test program, with a trailing backslash.
std::wstring ProgramDirectory();
// Path of a test-module variant: "full", "without_<EntryPoint>", "no_installables".
std::wstring VariantPath(std::wstring_view variant);
// The longest caller's path from which the library derives a module name.
constexpr std::size_t kLongestDerivablePath = 127;
// The caller's path whose first candidate is that variant (its last three letters become SNM).
// Throws when the program's folder is too deep for the library to derive it.
std::wstring CallerPathFor(std::wstring_view variant);

// Copies exactly these bytes into a module's output buffer: no terminator is added, so a zero
// byte must be part of `bytes` when one is wanted beyond the zero-filled block's own.
void Fill(char* dest, std::string_view bytes);

class ScriptedModule {
public:
    // Loads the module file and hooks every entry point with a default: 0, except the two colour
    // cursors, which answer 1 (no further item). Outputs are left as the library gave them.
    explicit ScriptedModule(const std::wstring& modulePath = VariantPath(L"full"));
    ~ScriptedModule();
    ScriptedModule(const ScriptedModule&) = delete;
    ScriptedModule& operator=(const ScriptedModule&) = delete;

    HMODULE module() const { return module_; }

    // Sets what `entry` does: `handler` gets the call's arguments (context first), returns the
    // result. Every call is logged whether or not a handler was set.
    template <typename Pfn, typename Handler>
    void On(vyxquery::EntryPoint<Pfn> entry, Handler handler);

    // Makes `entry` answer `result` and write nothing.
    template <typename Pfn>
    void Returns(vyxquery::EntryPoint<Pfn> entry, LONG result);

    const std::vector<ModuleCall>& Calls() const { return calls_; }
    std::vector<std::string> CallNames() const;
    std::size_t CountCalls(std::string_view name) const;
    void ClearCalls() { calls_.clear(); }

private:
    template <typename Pfn>
    struct Slot;

    void Install(const char* name, void (*function)(), void* user);
    ModuleCall& BeginCall(const char* name, VyxQueryContext* context);

    HMODULE module_ = nullptr;
    PFN_TestQueryModule_SetHook setHook_ = nullptr;
    std::vector<std::shared_ptr<void>> slots_;
    std::vector<ModuleCall> calls_;

    template <typename Pfn>
    friend struct Slot;
};

// A handle on a test-module variant, made with VyxBiDi_Initialize (whose call is then cleared
// from the log) and terminated at the end. Hooks set on module() apply to every later call.
class ScriptedHandle {
public:
    explicit ScriptedHandle(std::wstring_view variant = L"full");
    ~ScriptedHandle();
    ScriptedHandle(const ScriptedHandle&) = delete;
    ScriptedHandle& operator=(const ScriptedHandle&) = delete;

    BiDiHandle* get() const { return handle_; }
    operator BiDiHandle*() const { return handle_; }
    ScriptedModule& module() { return module_; }

private:
    ScriptedModule module_;
    BiDiHandle* handle_ = nullptr;
};

// How each kind of argument is logged.
CallArg LogArg(const char* text);
CallArg LogArg(LONG* number);
CallArg LogArg(TemplateRecord* record);
CallArg LogArg(void* pointer);

template <typename... Arguments>
struct ScriptedModule::Slot<LONG(WINAPI*)(VyxQueryContext*, Arguments...)> {
    ScriptedModule* owner;
    const char* name;
    std::function<LONG(VyxQueryContext*, Arguments...)> handler;

    static LONG Invoke(void* user, VyxQueryContext* context, Arguments... arguments) {
        auto* self = static_cast<Slot*>(user);
        // Log first: the handler may write into the very buffers being logged.
        const std::size_t index = self->owner->calls_.size();
        self->owner->BeginCall(self->name, context).args = {LogArg(arguments)...};
        const LONG result = self->handler(context, arguments...);
        self->owner->calls_[index].result = result;
        return result;
    }
};

template <typename Pfn, typename Handler>
void ScriptedModule::On(vyxquery::EntryPoint<Pfn> entry, Handler handler) {
    auto slot = std::make_shared<Slot<Pfn>>(Slot<Pfn>{this, entry.name, std::move(handler)});
    Install(entry.name, reinterpret_cast<void (*)()>(&Slot<Pfn>::Invoke), slot.get());
    slots_.push_back(slot);
}

template <typename Pfn>
void ScriptedModule::Returns(vyxquery::EntryPoint<Pfn> entry, LONG result) {
    On(entry, [result](auto&&...) { return result; });
}

}  // namespace vyxtest
