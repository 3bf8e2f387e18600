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
    kEMail,
    // The administrator's commands: the credential store and the certificate pins. They load no
    // VYXBIDI.dll.
    kCredential,
    kTrust
};

// credential set|show|delete, trust show|forget.
enum class Verb { kNone, kSet, kShow, kDelete, kForget };

struct Options {
    Command command = Command::kDump;
    std::wstring feature;  // feature, select
    std::wstring option;   // select
    std::uintptr_t emailValue = 0;  // email; dump asks with 0
    bool items = false;    // templates --items
    bool json = false;

    Verb verb = Verb::kNone;  // credential, trust
    std::wstring uri;         // credential, trust: the printer
    std::wstring user;        // credential set URI USER
    bool community = false;   // credential set URI --community

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

// True for the commands that work on the stores rather than through VYXBIDI.dll.
bool IsAdministration(Command command);

}  // namespace bidiprobe
