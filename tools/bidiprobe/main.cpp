// bidiprobe: loads VYXBIDI.dll as a driver does and reports what the printer answers through it.
#include <windows.h>

#include "admin.h"
#include "exports.h"
#include "options.h"
#include "probe.h"
#include "text.h"

using namespace bidiprobe;

namespace {

constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;
constexpr int kExitNoLibrary = 3;

std::wstring FolderOf(const std::wstring& path) {
    const std::size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash + 1);
}

std::wstring ProgramFolder() {
    wchar_t path[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    return FolderOf(std::wstring(path, length < MAX_PATH ? length : 0));
}

std::optional<std::wstring> CallerPath(const Options& options, const Library& library) {
    if (options.nullCaller) {
        return std::nullopt;
    }
    if (options.reduced) {
        return FolderOf(library.path()) + L"reduced\\VYXBIDI.dll";
    }
    if (options.printer) {
        return FolderOf(library.path()) + ModuleFolderFor(*options.printer) + L"\\VYXBIDI.dll";
    }
    return options.caller ? *options.caller : library.path();
}

// Why VyxBiDi_Initialize found no module for a caller's path that the library takes no module
// name from, and what to do; empty for any other path.
std::string CallerPathAdvice(const std::optional<std::wstring>& caller) {
    if (!caller) {
        return "";
    }
    const int bytes = WideCharToMultiByte(CP_ACP, 0, caller->c_str(),
                                          static_cast<int>(caller->size()), nullptr, 0, nullptr,
                                          nullptr);
    const std::string shorter =
        "bidiprobe: give a shorter --caller or --dll path, e.g. through a drive letter mapped "
        "to the module's folder (make run reaches the build tree as X:)\n";
    if (bytes > 255) {
        return "bidiprobe: the caller's path is " + std::to_string(bytes) +
               " bytes in the ANSI code page; the library refuses one over 255\n" + shorter;
    }
    if (caller->size() > 127) {
        return "bidiprobe: the caller's path has " + std::to_string(caller->size()) +
               " characters; from a path over 127 the library derives no module name and tries "
               "only D:\\BIDITST\\SNMQRY32.DLL and D:\\BIDITST\\VYXQUERY.DLL\n" +
               shorter;
    }
    return "";
}

// Why a printer's query module did not load: it is not where --printer points the library.
std::string ModuleAdvice(const Options& options, const std::optional<std::wstring>& caller) {
    if (!options.printer || !caller) {
        return "";
    }
    const std::wstring module = caller->substr(0, caller->size() - 3) + L"SNM";
    if (GetFileAttributesW(module.c_str()) != INVALID_FILE_ATTRIBUTES) {
        return "";
    }
    return "bidiprobe: no query module at " + Utf8(module) +
           " (the build puts the IPP and SNMP modules in ipp\\ and snmp\\ beside VYXBIDI.dll)\n";
}

int Probe(int argc, wchar_t** argv) {
    const ParsedCommandLine parsed = ParseCommandLine(argc, argv);
    if (parsed.outcome == ParsedCommandLine::Outcome::kHelp) {
        WriteOut(parsed.text);
        return 0;
    }
    if (parsed.outcome == ParsedCommandLine::Outcome::kUsageError) {
        WriteError("bidiprobe: " + parsed.text + "\n");
        return kExitUsage;
    }
    const Options& options = parsed.options;
    if (IsAdministration(options.command)) {
        return RunAdministration(options);
    }
    const std::wstring dllPath = options.dll ? *options.dll : ProgramFolder() + L"VYXBIDI.dll";

    Library library;
    DWORD error = 0;
    if (!library.Load(dllPath, &error)) {
        WriteError("bidiprobe: cannot load " + Utf8(dllPath) + " (error " + std::to_string(error) +
                   ")\n");
        return kExitNoLibrary;
    }
    const std::optional<std::wstring> caller = CallerPath(options, library);
    const ProbeRun run = RunProbe(library, options, caller);
    WriteOut(options.json ? run.report.dump(2, ' ', false, Json::error_handler_t::replace) + "\n"
                          : RenderText(run.report));
    if (run.failure) {
        WriteError("bidiprobe: " + run.failure->Explained() + "\n");
        const std::string advice = CallerPathAdvice(caller) + ModuleAdvice(options, caller);
        if (run.failure->exportName == "VyxBiDi_Initialize" && !run.failure->missing &&
            !advice.empty()) {
            WriteError(advice);
        }
        return kExitFailure;
    }
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    try {
        return Probe(argc, argv);
    } catch (const std::exception& e) {
        WriteError(std::string("bidiprobe: ") + e.what() + "\n");
        return kExitFailure;
    }
}
