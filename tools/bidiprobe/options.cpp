// Parses the command line; every command and the program itself answer --help.
#include "options.h"

#include <cerrno>
#include <cwchar>
#include <cwctype>
#include <vector>

#include "text.h"

namespace bidiprobe {
namespace {

const char kOptionsHelp[] =
    "Options (before or after the command):\n"
    "  --dll PATH      the VYXBIDI.dll to load (default: VYXBIDI.dll beside bidiprobe.exe)\n"
    "  --caller PATH   the caller's path given to VyxBiDi_Initialize (default: the path of the\n"
    "                  VYXBIDI.dll loaded); the query module and its printer description are\n"
    "                  found from it\n"
    "  --no-caller     give VyxBiDi_Initialize a null caller's path\n"
    "  --reduced       caller's path <DLL folder>\\reduced\\VYXBIDI.dll: the reduced simulated\n"
    "                  printer, which lacks five entry points\n"
    "  --printer URI   a real printer: ipp://HOST[:PORT]/PATH, ipps://..., a bare HOST[:PORT]\n"
    "                  (IPP), or snmp://HOST[:PORT]; the caller's path becomes <DLL folder>\\ipp\\\n"
    "                  or <DLL folder>\\snmp\\VYXBIDI.dll, so that the library loads that query\n"
    "                  module, and URI is the first connection string\n"
    "  --first TEXT    first connection string for VyxBiDi_Connect (default: a null pointer)\n"
    "  --second TEXT   second connection string (default: a null pointer); for a printer, its\n"
    "                  module's options\n"
    "  --json          the report as JSON (UTF-8) instead of text\n"
    "  --help          this help; after a command, that command's help\n";

const char kProgramHelp[] =
    "Usage: bidiprobe [OPTIONS] COMMAND [ARGUMENTS]\n"
    "\n"
    "Loads VYXBIDI.dll, initialises and connects it, runs the command between the sessions it\n"
    "needs, disconnects and terminates, and reports every call with its result code.\n"
    "\n"
    "Commands:\n"
    "  dump                    everything: colour features with details, trays, toners,\n"
    "                          installable options, e-mail notification (value 0), templates\n"
    "                          with items\n"
    "  features                the colour feature keys\n"
    "  feature NAME            one colour feature: its options and the selected one\n"
    "  select FEATURE OPTION   select an option, reading the feature before and after\n"
    "  trays                   the paper trays\n"
    "  toners                  the toner colours\n"
    "  installables            the nine installable options and the presence mask\n"
    "  templates [--items]     the job templates, with --items their items as well\n"
    "  email VALUE             the e-mail notification answer for VALUE (decimal or 0x hex)\n"
    "\n"
    "Administrator's commands (they load no VYXBIDI.dll; --json is their only option):\n"
    "  credential set URI USER         store the printer's user and password(s), read from\n"
    "                                  standard input one line each, never from the command line\n"
    "  credential set URI --community  store an SNMP v1/v2c community read from standard input\n"
    "  credential show URI             the credential's target name, its user and which secrets\n"
    "                                  it holds (never a secret)\n"
    "  credential delete URI           remove the printer's credential\n"
    "  trust show URI                  the certificate fingerprint pinned for an ipps:// printer,\n"
    "                                  and one refused as changed\n"
    "  trust forget URI                remove the pin: the next connection trusts on first use\n"
    "See bidiprobe credential --help and bidiprobe trust --help.\n"
    "\n"
    "Exit status: 0 when every call answered BIDI_OK or only said what the printer lacks (the\n"
    "e-mail answers 0x200B and 0x220A; BIDI_ERR_FAILED from Attrib_GetInstallableOptions with\n"
    "a record: nothing fitted); 1 when a call failed, or an export the command needs is\n"
    "missing (a message on standard error names the first one); 2 for a usage error; 3 when\n"
    "VYXBIDI.dll cannot be loaded. In dump, an export missing from the DLL only skips its\n"
    "section.\n"
    "The administrator's commands: 0 when done (credential show and trust show also when\n"
    "nothing is stored); 1 when the store fails, or there is nothing to delete or forget; 2 for\n"
    "a usage error, a URI neither module takes, or standard input that does not give the\n"
    "passwords asked for.\n";

const char kCredentialHelp[] =
    "The printer's secrets in the Windows credential store: one generic credential of the\n"
    "current user per printer and protocol, named VYXBIDI: and the printer's normalised URI\n"
    "(snmp://host:port; ipp:// or ipps://host:port/path), which credential show prints.\n"
    "\n"
    "  set URI USER         snmp://: an SNMPv3 user; standard input gives the authentication\n"
    "                       password, then optionally the privacy password (no second line, or\n"
    "                       an empty one: none). ipp:// or ipps://: an IPP user and its one\n"
    "                       password (the IPP module sends it only over ipps://).\n"
    "  set URI --community  snmp:// only: the SNMP v1/v2c community, one line.\n"
    "  show URI             the target name, the user and which secrets are stored\n"
    "                       (authentication, privacy, password or community), never a secret.\n"
    "  delete URI           removes the credential (exit status 1 when there was none).\n"
    "\n"
    "Standard input is read as UTF-8 text (a byte-order mark first is skipped), one password a\n"
    "line, each line's LF or CR LF removed and empty lines at the end ignored; an empty\n"
    "password, a line more than asked for, a password over 512 characters or input that is not\n"
    "UTF-8 is refused and nothing is stored. From a console the passwords are asked for without\n"
    "echo. Example: type passwords.txt | bidiprobe credential set snmp://printer operator\n";

const char kTrustHelp[] =
    "Certificates trusted on first use: the SHA-256 fingerprint pinned for an ipps:// printer\n"
    "(HKEY_CURRENT_USER\\Software\\VYXBIDI\\Trust, one value per ipps://host:port) and the\n"
    "one last refused because it differed from the pin (Trust\\Offered).\n"
    "\n"
    "  show URI    the pinned and the offered fingerprint (none when nothing is kept).\n"
    "  forget URI  removes the pin and the offered fingerprint, so that the next connection\n"
    "              takes the certificate it meets (exit status 1 when there was no pin).\n";

struct CommandInfo {
    const wchar_t* name;
    Command command;
    int arguments;
    const char* usage;
    const char* help;
};

const CommandInfo kCommands[] = {
    {L"dump", Command::kDump, 0, "dump",
     "Runs every section in the caller's order: the colour session (feature list, then each\n"
     "feature's details), the attribute session (trays, toners, installable options), the e-mail\n"
     "notification query with value 0, and the job templates with their items.\n"},
    {L"features", Command::kFeatures, 0, "features",
     "Lists the colour feature keys (ClrBiDi_GetFeatureList) within a colour session.\n"},
    {L"feature", Command::kFeature, 1, "feature NAME",
     "Shows one colour feature (ClrBiDi_GetFeatureInfo): its key, options and the selected\n"
     "option.\n"},
    {L"select", Command::kSelect, 2, "select FEATURE OPTION",
     "Within one colour session: reads FEATURE, selects OPTION (ClrBiDi_SelectOption) and reads\n"
     "FEATURE again, so the report shows the selection before and after.\n"},
    {L"trays", Command::kTrays, 0, "trays",
     "Lists the paper trays (Attrib_GetPaperConsumables) within an attribute session.\n"},
    {L"toners", Command::kToners, 0, "toners",
     "Lists the toner colours (Attrib_GetTonerConsumables) within an attribute session.\n"},
    {L"installables", Command::kInstallables, 0, "installables",
     "Reads the nine installable options (Attrib_GetInstallableOptions) within an attribute\n"
     "session, with the presence mask decoded.\n"},
    {L"templates", Command::kTemplates, 0, "templates [--items]",
     "Lists the job templates with their tags (JobTplate_GetNames); with --items, with each\n"
     "template's items (JobTplate_GetAll).\n"},
    {L"email", Command::kEMail, 1, "email VALUE",
     "Asks Misc_GetEMailNotification with VALUE (decimal or 0x hex) and shows its answer.\n"},
    {L"credential", Command::kCredential, -1,
     "credential set URI USER | credential set URI --community | credential show URI | "
     "credential delete URI",
     kCredentialHelp},
    {L"trust", Command::kTrust, -1, "trust show URI | trust forget URI", kTrustHelp},
};

// The administrator's command line: VERB URI [USER], with --community and --json only.
ParsedCommandLine ParseAdministration(ParsedCommandLine parsed, const CommandInfo& command,
                                      const std::vector<std::wstring>& arguments,
                                      const std::vector<std::string>& probeOptions);

std::string CommandHelp(const CommandInfo& info) {
    if (IsAdministration(info.command)) {
        std::string usage = info.usage;
        for (std::size_t bar = usage.find(" | "); bar != std::string::npos;
             bar = usage.find(" | ", bar)) {
            usage.replace(bar, 3, "\n       bidiprobe [--json] ");
        }
        return "Usage: bidiprobe [--json] " + usage + "\n\n" + info.help;
    }
    std::string text = "Usage: bidiprobe [OPTIONS] " + std::string(info.usage) + "\n\n" +
                       info.help + "\n" + kOptionsHelp;
    return text;
}

// A value as wide as the export's pointer-sized argument: 32 bits on x86, 64 on x64.
bool ParseValue(const std::wstring& text, std::uintptr_t* value) {
    if (text.empty()) {
        return false;
    }
    const bool hex = text.size() > 2 && text[0] == L'0' && (text[1] == L'x' || text[1] == L'X');
    const wchar_t* digits = text.c_str() + (hex ? 2 : 0);
    wchar_t* end = nullptr;
    errno = 0;
    const unsigned long long number = std::wcstoull(digits, &end, hex ? 16 : 10);
    if (*end != L'\0' || errno != 0 || number > UINTPTR_MAX || *digits == L'-' ||
        *digits == L'+') {
        return false;
    }
    *value = static_cast<std::uintptr_t>(number);
    return true;
}

ParsedCommandLine UsageError(const std::string& message) {
    ParsedCommandLine parsed;
    parsed.outcome = ParsedCommandLine::Outcome::kUsageError;
    parsed.text = message + " (see bidiprobe --help)";
    return parsed;
}

}  // namespace

ParsedCommandLine ParseCommandLine(int argc, wchar_t** argv) {
    ParsedCommandLine parsed;
    Options& options = parsed.options;
    const CommandInfo* command = nullptr;
    std::vector<std::wstring> arguments;
    bool help = false;
    bool positionalOnly = false;  // after "--", so that a name may begin with "-"
    std::vector<std::string> probeOptions;  // the options that belong to a probe run

    for (int i = 1; i < argc; ++i) {
        const std::wstring arg = argv[i];
        auto value = [&](std::optional<std::wstring>& into) {
            if (i + 1 >= argc) {
                return false;
            }
            into = argv[++i];
            return true;
        };
        if (positionalOnly || arg.empty() || arg[0] != L'-') {
            if (!command) {
                for (const CommandInfo& info : kCommands) {
                    if (arg == info.name) {
                        command = &info;
                    }
                }
                if (!command) {
                    return UsageError("unknown command " + Utf8(arg));
                }
            } else {
                arguments.push_back(arg);
            }
        } else if (arg == L"--") {
            positionalOnly = true;
        } else if (arg == L"--help" || arg == L"-h") {
            help = true;
        } else if (arg == L"--json") {
            options.json = true;
        } else if (arg == L"--community") {
            options.community = true;
        } else if (arg == L"--items") {
            options.items = true;
            probeOptions.push_back(Utf8(arg));
        } else if (arg == L"--no-caller") {
            options.nullCaller = true;
            probeOptions.push_back(Utf8(arg));
        } else if (arg == L"--reduced") {
            options.reduced = true;
            probeOptions.push_back(Utf8(arg));
        } else if (arg == L"--dll" || arg == L"--caller" || arg == L"--first" ||
                   arg == L"--second" || arg == L"--printer") {
            probeOptions.push_back(Utf8(arg));
            std::optional<std::wstring>& into = arg == L"--dll"       ? options.dll
                                                : arg == L"--caller"  ? options.caller
                                                : arg == L"--first"   ? options.first
                                                : arg == L"--printer" ? options.printer
                                                                      : options.second;
            if (!value(into)) {
                return UsageError(Utf8(arg) + " needs a value");
            }
        } else {
            return UsageError("unknown option " + Utf8(arg));
        }
    }

    if (help) {
        parsed.outcome = ParsedCommandLine::Outcome::kHelp;
        parsed.text =
            command ? CommandHelp(*command) : std::string(kProgramHelp) + "\n" + kOptionsHelp;
        return parsed;
    }
    if (!command) {
        return UsageError("no command given");
    }
    if (IsAdministration(command->command)) {
        return ParseAdministration(std::move(parsed), *command, arguments, probeOptions);
    }
    if (options.community) {
        return UsageError("--community belongs to credential set");
    }
    if (static_cast<int>(arguments.size()) != command->arguments) {
        return UsageError("usage: bidiprobe [OPTIONS] " + std::string(command->usage));
    }
    if (options.items && command->command != Command::kTemplates) {
        return UsageError("--items belongs to the templates command");
    }
    if ((options.caller ? 1 : 0) + options.nullCaller + options.reduced +
            (options.printer ? 1 : 0) >
        1) {
        return UsageError("--caller, --no-caller, --reduced and --printer exclude one another");
    }
    if (options.printer && options.first) {
        return UsageError("--printer is the first connection string; give --first without it");
    }
    if (options.printer) {
        options.first = options.printer;
    }
    options.command = command->command;
    if (command->command == Command::kFeature || command->command == Command::kSelect) {
        options.feature = arguments[0];
    }
    if (command->command == Command::kSelect) {
        options.option = arguments[1];
    }
    if (command->command == Command::kEMail && !ParseValue(arguments[0], &options.emailValue)) {
        return UsageError("VALUE must be a number from 0 to 0xFFFFFFFF");
    }
    return parsed;
}

namespace {

ParsedCommandLine ParseAdministration(ParsedCommandLine parsed, const CommandInfo& command,
                                      const std::vector<std::wstring>& arguments,
                                      const std::vector<std::string>& probeOptions) {
    Options& options = parsed.options;
    const std::string usage = "usage: bidiprobe [--json] " + std::string(command.usage);
    if (!probeOptions.empty()) {
        return UsageError(probeOptions.front() + " belongs to the commands that load VYXBIDI.dll, "
                          "not to " + Utf8(command.name));
    }
    if (arguments.size() < 2) {
        return UsageError(usage);
    }
    const std::wstring& verb = arguments[0];
    const bool credential = command.command == Command::kCredential;
    if (verb == L"show") {
        options.verb = Verb::kShow;
    } else if (credential && verb == L"set") {
        options.verb = Verb::kSet;
    } else if (credential && verb == L"delete") {
        options.verb = Verb::kDelete;
    } else if (!credential && verb == L"forget") {
        options.verb = Verb::kForget;
    } else {
        return UsageError(usage);
    }
    const std::size_t wanted =
        options.verb == Verb::kSet && !options.community ? 3 : 2;
    if (arguments.size() != wanted) {
        const std::string name = Utf8(command.name) + " " + Utf8(verb);
        return UsageError("usage: bidiprobe [--json] " + name +
                          (options.verb == Verb::kSet
                               ? " URI USER, or bidiprobe [--json] " + name + " URI --community"
                               : " URI"));
    }
    if (options.community && options.verb != Verb::kSet) {
        return UsageError("--community belongs to credential set");
    }
    options.command = command.command;
    options.uri = arguments[1];
    if (wanted == 3) {
        options.user = arguments[2];
    }
    return parsed;
}

}  // namespace

bool IsAdministration(Command command) {
    return command == Command::kCredential || command == Command::kTrust;
}

std::wstring ModuleFolderFor(const std::wstring& uri) {
    std::wstring scheme = uri.substr(0, uri.find(L"://") == std::wstring::npos ? 0 : uri.find(L"://"));
    for (wchar_t& c : scheme) {
        c = static_cast<wchar_t>(std::towlower(c));
    }
    return scheme == L"snmp" ? L"snmp" : L"ipp";
}

}  // namespace bidiprobe
