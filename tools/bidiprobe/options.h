// The command line: which report to make, against which DLL, caller path and connection.
#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>

namespace bidiprobe {

enum class Command {
    kDump,
    kFeatures,
    kFeature,
    kSelect,
    kTrays,
    kToners,
    kInstallables,
    kTemplates,
    kEMail
};

struct Options {
    Command command = Command::kDump;
    std::wstring feature;  // feature, select
    std::wstring option;   // select
    std::uintptr_t emailValue = 0;  // email; dump asks with 0
    bool items = false;    // templates --items
    bool json = false;

    std::optional<std::wstring> dll;     // default: VYXBIDI.dll beside the probe
    std::optional<std::wstring> caller;  // default: the loaded DLL's path
    bool nullCaller = false;             // pass a null caller's path
    bool reduced = false;                // the reduced simulator under <DLL folder>\reduced
    std::optional<std::wstring> printer;  // a real printer's URI: picks the module, is `first`
    std::optional<std::wstring> first;    // connection strings; null pointers when absent
    std::optional<std::wstring> second;
};

struct ParsedCommandLine {
    enum class Outcome { kRun, kHelp, kUsageError } outcome = Outcome::kRun;
    Options options;
    std::string text;  // the help text, or the usage error
};

ParsedCommandLine ParseCommandLine(int argc, wchar_t** argv);

// The folder, beside VYXBIDI.dll, of the query module that talks to the printer at `uri`:
// "snmp" for snmp://, "ipp" for ipp://, ipps:// and a bare host[:port].
std::wstring ModuleFolderFor(const std::wstring& uri);

}  // namespace bidiprobe
