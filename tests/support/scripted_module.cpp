// Loading the test query module, installing the hooks, and logging what the library passed.
#include "scripted_module.h"

#include <algorithm>
#include <stdexcept>

namespace vyxtest {

std::wstring ProgramDirectory() {
    wchar_t path[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring dir(path, length);
    return dir.substr(0, dir.find_last_of(L'\\') + 1);
}

std::wstring VariantPath(std::wstring_view variant) {
    return ProgramDirectory() + L"qm\\" + std::wstring(variant) + L".SNM";
}

std::wstring CallerPathFor(std::wstring_view variant) {
    const std::wstring path = ProgramDirectory() + L"qm\\" + std::wstring(variant) + L".dll";
    // Past 127 characters the library derives no module name and every test on a handle would
    // fail with nothing but BIDI_ERR_FAILED; say why instead.
    if (path.size() > kLongestDerivablePath) {
        throw std::runtime_error(
            "the test modules lie too deep for the library to find them (" +
            std::to_string(path.size()) +
            " characters to a caller's path, 127 at most): run the test program through "
            "tools/wine/run.sh, whose prefix reaches the build tree as drive X:");
    }
    return path;
}

void Fill(char* dest, std::string_view bytes) {
    std::copy(bytes.begin(), bytes.end(), dest);
}

CallArg LogArg(const char* text) {
    CallArg arg;
    arg.raw = reinterpret_cast<std::uintptr_t>(text);
    if (!text) {
        return arg;
    }
    if (HGLOBAL block = GlobalHandle(text)) {
        arg.blockBytes = GlobalSize(block);
        arg.block.assign(text, arg.blockBytes);
        arg.text = std::string(text, strnlen(text, arg.blockBytes));
    } else {
        arg.text = std::string(text);
    }
    return arg;
}

CallArg LogArg(LONG* number) {
    CallArg arg;
    arg.raw = reinterpret_cast<std::uintptr_t>(number);
    if (number) {
        arg.number = *number;
    }
    return arg;
}

CallArg LogArg(TemplateRecord* record) {
    CallArg arg;
    arg.raw = reinterpret_cast<std::uintptr_t>(record);
    if (record) {
        arg.name = std::wstring(record->name, wcsnlen(record->name, 64));
    }
    return arg;
}

CallArg LogArg(void* pointer) {
    CallArg arg;
    arg.raw = reinterpret_cast<std::uintptr_t>(pointer);
    return arg;
}

ScriptedModule::ScriptedModule(const std::wstring& modulePath) {
    module_ = LoadLibraryW(modulePath.c_str());
    if (!module_) {
        throw std::runtime_error("cannot load the test query module");
    }
    setHook_ = reinterpret_cast<PFN_TestQueryModule_SetHook>(
        reinterpret_cast<void (*)()>(GetProcAddress(module_, "TestQueryModule_SetHook")));
    if (!setHook_) {
        throw std::runtime_error("the test query module has no TestQueryModule_SetHook");
    }
#define VYXTEST_DEFAULT_(name, params) Returns(vyxquery::name, 0);
    VYXQUERY_ENTRY_POINTS(VYXTEST_DEFAULT_)
#undef VYXTEST_DEFAULT_
    Returns(vyxquery::Color_SetNextKey, 1);
    Returns(vyxquery::Color_GetNextOption, 1);
}

ScriptedModule::~ScriptedModule() {
#define VYXTEST_UNHOOK_(name, params) setHook_(#name, nullptr, nullptr);
    VYXQUERY_ENTRY_POINTS(VYXTEST_UNHOOK_)
#undef VYXTEST_UNHOOK_
    FreeLibrary(module_);
}

void ScriptedModule::Install(const char* name, void (*function)(), void* user) {
    // Entry points that this variant lacks are not exported, but the hook table still has them.
    if (!setHook_(name, function, user)) {
        throw std::runtime_error(std::string("no hook slot for ") + name);
    }
}

ModuleCall& ScriptedModule::BeginCall(const char* name, VyxQueryContext* context) {
    calls_.push_back(ModuleCall{name, context, {}, 0});
    return calls_.back();
}

ScriptedHandle::ScriptedHandle(std::wstring_view variant) : module_(VariantPath(variant)) {
    if (VyxBiDi_Initialize(&handle_, CallerPathFor(variant).c_str()) != BIDI_OK || !handle_) {
        throw std::runtime_error("VyxBiDi_Initialize failed on the test module");
    }
    module_.ClearCalls();
}

ScriptedHandle::~ScriptedHandle() {
    module_.Returns(vyxquery::VyxQuery_Terminate, 0);
    VyxBiDi_Terminate(handle_);
}

std::vector<std::string> ScriptedModule::CallNames() const {
    std::vector<std::string> names;
    for (const ModuleCall& call : calls_) {
        names.push_back(call.name);
    }
    return names;
}

std::size_t ScriptedModule::CountCalls(std::string_view name) const {
    return std::count_if(calls_.begin(), calls_.end(),
                         [&](const ModuleCall& call) { return call.name == name; });
}

}  // namespace vyxtest
