// credential set|show|delete and trust show|forget, in the manner of cmdkey: secrets come in on
// standard input only, and nothing this program writes ever holds one.
#include "admin.h"

#include <cstdint>
#include <vector>

#include "credentials.h"
#include "ipp/codec/connection.h"
#include "snmp/codec/options.h"
#include "text.h"
#include "trust_store.h"

namespace bidiprobe {
namespace {

constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

// The most standard input may hold, and the longest password (in UTF-16 units, as stored: two
// of them and the separator stay within the store's 1280).
constexpr std::size_t kMaxInputBytes = 64 * 1024;
constexpr std::size_t kMaxPasswordUnits = 512;
// RFC 3414's usmUserName is 1 to 32 octets; an IPP (HTTP Basic) user has no colon.
constexpr std::size_t kMaxSnmpUserBytes = 32;
constexpr std::size_t kMaxIppUserChars = 255;

// A fixed block of bytes that may be secret: allocated once (so that nothing is ever copied
// into a larger one), wiped whole when it goes.
class WipedBlock {
  public:
    explicit WipedBlock(std::size_t size) : bytes_(size) {}
    ~WipedBlock() { SecureZeroMemory(bytes_.data(), bytes_.size()); }
    WipedBlock(const WipedBlock&) = delete;
    WipedBlock& operator=(const WipedBlock&) = delete;

    std::uint8_t* data() { return bytes_.data(); }
    std::size_t capacity() const { return bytes_.size(); }
    std::size_t used = 0;

  private:
    std::vector<std::uint8_t> bytes_;
};

template <typename Unit>
class WipedUnits {
  public:
    explicit WipedUnits(std::size_t size) : units_(size) {}
    ~WipedUnits() { SecureZeroMemory(units_.data(), units_.size() * sizeof(Unit)); }
    WipedUnits(const WipedUnits&) = delete;
    WipedUnits& operator=(const WipedUnits&) = delete;
    Unit* data() { return units_.data(); }
    std::size_t size() const { return units_.size(); }

  private:
    std::vector<Unit> units_;
};

struct Slice {
    std::size_t offset;
    std::size_t size;
};

// The lines of `input`: split at LF, each line's CR before it removed; a last LF starts no
// line; empty lines at the end are dropped (so "auth\n\n" is one line). A UTF-8 byte-order mark
// at the start is skipped.
std::vector<Slice> Lines(const std::uint8_t* input, std::size_t size) {
    std::size_t start = 0;
    if (size >= 3 && input[0] == 0xEF && input[1] == 0xBB && input[2] == 0xBF) {
        start = 3;
    }
    std::vector<Slice> lines;
    while (start < size) {
        std::size_t end = start;
        while (end < size && input[end] != '\n') {
            ++end;
        }
        std::size_t length = end - start;
        if (length > 0 && input[start + length - 1] == '\r') {
            --length;
        }
        lines.push_back({start, length});
        start = end + 1;
    }
    while (!lines.empty() && lines.back().size == 0) {
        lines.pop_back();
    }
    return lines;
}

// Standard input from a pipe or a file, to its end.
bool ReadStream(HANDLE input, WipedBlock& block, std::string& problem) {
    for (;;) {
        if (block.used > kMaxInputBytes) {
            problem = "standard input holds more than " + std::to_string(kMaxInputBytes) +
                      " bytes";
            return false;
        }
        DWORD read = 0;
        const BOOL ok = ReadFile(input, block.data() + block.used,
                                 static_cast<DWORD>(block.capacity() - block.used), &read, nullptr);
        block.used += read;
        if (!ok) {
            const DWORD error = GetLastError();
            if (error == ERROR_BROKEN_PIPE || error == ERROR_HANDLE_EOF) {
                return true;
            }
            problem = "cannot read standard input (error " + std::to_string(error) + ")";
            return false;
        }
        if (read == 0) {
            return true;
        }
    }
}

// One line typed at the console without echo, after `prompt` on standard error, appended to
// `block` as UTF-8 with an LF.
bool ReadConsoleLine(HANDLE console, DWORD mode, const char* prompt, WipedBlock& block,
                     std::string& problem) {
    WriteError(prompt);
    SetConsoleMode(console, (mode | ENABLE_LINE_INPUT | ENABLE_PROCESSED_INPUT) &
                                ~static_cast<DWORD>(ENABLE_ECHO_INPUT));
    WipedUnits<wchar_t> line(kMaxPasswordUnits * 2 + 2);
    std::size_t length = 0;
    bool ended = false;
    while (!ended && length < line.size()) {
        DWORD read = 0;
        if (!ReadConsoleW(console, line.data() + length, static_cast<DWORD>(line.size() - length),
                          &read, nullptr) ||
            read == 0) {
            break;
        }
        length += read;
        ended = line.data()[length - 1] == L'\n';
    }
    SetConsoleMode(console, mode);
    WriteError("\n");
    while (length > 0 && (line.data()[length - 1] == L'\n' || line.data()[length - 1] == L'\r')) {
        --length;
    }
    if (!ended && length >= line.size()) {
        problem = "a password over " + std::to_string(kMaxPasswordUnits) + " characters";
        return false;
    }
    const int room = static_cast<int>(block.capacity() - block.used - 1);
    const int bytes =
        length == 0 ? 0
                    : WideCharToMultiByte(CP_UTF8, 0, line.data(), static_cast<int>(length),
                                          reinterpret_cast<char*>(block.data() + block.used), room,
                                          nullptr, nullptr);
    if (length > 0 && bytes <= 0) {
        problem = "the typed text has no UTF-8 form";
        return false;
    }
    block.used += static_cast<std::size_t>(bytes);
    block.data()[block.used++] = '\n';
    return true;
}

// The passwords on standard input, one a line, at least one and at most `prompts.size()`:
// checked and handed over as UTF-8. `what` names them in messages ("password", "community").
bool ReadPasswords(const std::vector<const char*>& prompts, const char* what,
                   std::vector<vyxserve::Secret>& passwords, std::string& problem) {
    const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    WipedBlock block(kMaxInputBytes + 1);
    DWORD mode = 0;
    if (input == nullptr || input == INVALID_HANDLE_VALUE) {
        // no standard input: no password
    } else if (GetConsoleMode(input, &mode)) {
        for (const char* prompt : prompts) {
            if (!ReadConsoleLine(input, mode, prompt, block, problem)) {
                return false;
            }
        }
    } else if (!ReadStream(input, block, problem)) {
        return false;
    }
    const std::vector<Slice> lines = Lines(block.data(), block.used);
    if (lines.empty()) {
        problem = std::string("no ") + what + " on standard input";
        return false;
    }
    if (lines.size() > prompts.size()) {
        problem = "standard input has " + std::to_string(lines.size()) + " lines; " +
                  (prompts.size() == 1 ? std::string("one ") + what + " is read"
                                       : "at most " + std::to_string(prompts.size()) +
                                             " passwords are read (authentication, privacy)");
        return false;
    }
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::string where = lines.size() == 1 ? "" : " (line " + std::to_string(i + 1) + ")";
        const char* text = reinterpret_cast<const char*>(block.data() + lines[i].offset);
        const int size = static_cast<int>(lines[i].size);
        if (size == 0) {
            problem = std::string("an empty ") + what + where;
            return false;
        }
        for (int k = 0; k < size; ++k) {
            if (text[k] == '\0') {
                problem = std::string("a ") + what + " with a NUL character" + where;
                return false;
            }
        }
        const int units = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text, size, nullptr, 0);
        if (units <= 0) {
            problem = "standard input is not UTF-8 text" + where;
            return false;
        }
        if (static_cast<std::size_t>(units) > kMaxPasswordUnits) {
            problem = std::string("a ") + what + " over " + std::to_string(kMaxPasswordUnits) +
                      " characters" + where;
            return false;
        }
    }
    for (const Slice& line : lines) {
        passwords.emplace_back(block.data() + line.offset, line.size);
    }
    return true;
}

bool HasControl(const std::wstring& text) {
    for (const wchar_t c : text) {
        if (c < 0x20 || c == 0x7F) {
            return true;
        }
    }
    return false;
}

// Empty when the user name fits the printer's protocol; otherwise why not.
std::string UserProblem(const PrinterName& printer, const std::wstring& user) {
    if (user.empty()) {
        return "USER is empty (an SNMP community: credential set URI --community)";
    }
    if (HasControl(user)) {
        return "USER holds a control character";
    }
    if (printer.snmp) {
        if (Utf8(user).size() > kMaxSnmpUserBytes) {
            return "an SNMPv3 user has at most " + std::to_string(kMaxSnmpUserBytes) +
                   " bytes (UTF-8)";
        }
    } else {
        if (user.find(L':') != std::wstring::npos) {
            return "an IPP user name has no colon (HTTP Basic)";
        }
        if (user.size() > kMaxIppUserChars) {
            return "an IPP user name has at most " + std::to_string(kMaxIppUserChars) +
                   " characters";
        }
    }
    return "";
}

// What each stored secret is, by the printer's protocol and place.
std::vector<std::string> SecretNames(const PrinterName& printer,
                                     const vyxserve::StoredCredential& credential) {
    std::vector<std::string> names;
    for (std::size_t i = 0; i < credential.secrets.size(); ++i) {
        if (i == 1 && !(printer.snmp && !credential.user.empty())) {
            names.push_back("unused second secret");
        } else if (printer.snmp) {
            names.push_back(credential.user.empty() ? "community"
                            : i == 0               ? "authentication"
                                                   : "privacy");
        } else {
            names.push_back("password");
        }
    }
    return names;
}

std::string Joined(const std::vector<std::string>& names) {
    std::string text;
    for (const std::string& name : names) {
        text += (text.empty() ? "" : ", ") + name;
    }
    return text.empty() ? "(none)" : text;
}

std::string Field(const char* label, const std::string& value) {
    std::string line = label;
    line.resize(10, ' ');
    return line + value + "\n";
}

void Emit(const Options& options, const Json& report, const std::string& text) {
    WriteOut(options.json ? report.dump(2, ' ', false, Json::error_handler_t::replace) + "\n"
                          : text);
}

// A failure of the store: the report (for --json) with its message, the message on standard
// error, exit status 1.
int Fail(const Options& options, Json report, const std::string& message) {
    if (options.json) {
        report["failure"] = Json{{"message", message}};
        Emit(options, report, "");
    }
    WriteError("bidiprobe: " + message + "\n");
    return kExitFailure;
}

int Usage(const std::string& message) {
    WriteError("bidiprobe: " + message + " (see bidiprobe credential --help)\n");
    return kExitUsage;
}

Json CredentialReport(const char* command, const PrinterName& printer, const std::string& target) {
    return Json{{"command", command}, {"uri", printer.uri}, {"target", target}};
}

// The credential's user and secrets into the report, and as text.
std::string Describe(const PrinterName& printer, const vyxserve::StoredCredential& credential,
                     Json& report) {
    const std::vector<std::string> names = SecretNames(printer, credential);
    report["stored"] = true;
    report["user"] = credential.user.empty() ? Json(nullptr) : Json(Utf8(credential.user));
    report["secrets"] = names;
    return Field("user", credential.user.empty() ? "(none)" : Utf8(credential.user)) +
           Field("secrets", Joined(names));
}

int CredentialSet(const Options& options, const PrinterName& printer, const std::string& target) {
    if (options.community && !printer.snmp) {
        return Usage("--community belongs to snmp:// printers");
    }
    vyxserve::StoredCredential credential;
    std::vector<const char*> prompts;
    const char* what = "password";
    if (options.community) {
        prompts = {"Community: "};
        what = "community";
    } else {
        const std::string problem = UserProblem(printer, options.user);
        if (!problem.empty()) {
            return Usage(problem);
        }
        credential.user = options.user;
        prompts = printer.snmp ? std::vector<const char*>{"Authentication password: ",
                                                          "Privacy password (empty: none): "}
                               : std::vector<const char*>{"Password: "};
    }
    std::string problem;
    if (!ReadPasswords(prompts, what, credential.secrets, problem)) {
        return Usage(problem + "; nothing stored");
    }
    Json report = CredentialReport("credential set", printer, target);
    const DWORD status = vyxserve::WriteCredential(printer.uri, credential);
    if (status != 0) {
        report["stored"] = false;
        return Fail(options, report,
                    "cannot store the credential " + target + " (error " + std::to_string(status) +
                        ")");
    }
    const std::string text = Field("stored", target) + Describe(printer, credential, report);
    Emit(options, report, text);
    if (!printer.snmp && !printer.secure) {
        WriteError("bidiprobe: note: the IPP module sends a password only over ipps://\n");
    }
    return 0;
}

int CredentialShow(const Options& options, const PrinterName& printer, const std::string& target) {
    Json report = CredentialReport("credential show", printer, target);
    vyxserve::StoredCredential credential;
    switch (vyxserve::ReadCredential(printer.uri, credential)) {
        case vyxserve::CredentialLookup::kFound: {
            const std::string text = Field("target", target) + Describe(printer, credential, report);
            Emit(options, report, text);
            return 0;
        }
        case vyxserve::CredentialLookup::kNone:
            report["stored"] = false;
            report["user"] = nullptr;
            report["secrets"] = Json::array();
            Emit(options, report, Field("target", target) + "no credential stored\n");
            return 0;
        case vyxserve::CredentialLookup::kFailed:
            break;
    }
    const DWORD error = GetLastError();
    return Fail(options, report,
                error == ERROR_INVALID_DATA
                    ? "the credential " + target + " holds no secret this program reads (error " +
                          std::to_string(error) + ")"
                    : "cannot read the credential " + target + " (error " +
                          std::to_string(error) + ")");
}

int CredentialDelete(const Options& options, const PrinterName& printer,
                     const std::string& target) {
    Json report = CredentialReport("credential delete", printer, target);
    const DWORD status = vyxserve::DeleteCredential(printer.uri);
    report["deleted"] = status == 0;
    if (status == ERROR_NOT_FOUND) {
        return Fail(options, report, "no credential " + target + " to delete");
    }
    if (status != 0) {
        return Fail(options, report,
                    "cannot delete the credential " + target + " (error " +
                        std::to_string(status) + ")");
    }
    Emit(options, report, Field("deleted", target));
    return 0;
}

Json Fingerprint(const std::string& hex) {
    return hex.empty() ? Json(nullptr) : Json(hex);
}

int Trust(const Options& options, const PrinterName& printer) {
    if (!printer.secure) {
        WriteError("bidiprobe: certificates are pinned for ipps:// printers only, not " +
                   printer.uri + " (see bidiprobe trust --help)\n");
        return kExitUsage;
    }
    if (options.verb == Verb::kShow) {
        const std::string pinned = vyxserve::ReadPin(printer.origin);
        const std::string offered = vyxserve::ReadOffered(printer.origin);
        const Json report{{"command", "trust show"},
                          {"uri", printer.uri},
                          {"trust",
                           {{"printer", printer.origin},
                            {"pinned", Fingerprint(pinned)},
                            {"offered", Fingerprint(offered)}}}};
        Emit(options, report,
             Field("printer", printer.origin) +
                 Field("pinned", pinned.empty() ? "(none)" : pinned) +
                 Field("offered", offered.empty() ? "(none)" : offered + " (refused as changed)"));
        return 0;
    }
    Json report{{"command", "trust forget"}, {"uri", printer.uri}, {"printer", printer.origin}};
    const DWORD status = vyxserve::ForgetPin(printer.origin);
    report["forgotten"] = status == 0;
    if (status == ERROR_FILE_NOT_FOUND) {
        return Fail(options, report, "no certificate pinned for " + printer.origin);
    }
    if (status != 0) {
        return Fail(options, report,
                    "cannot forget the pin of " + printer.origin + " (error " +
                        std::to_string(status) + ")");
    }
    Emit(options, report, Field("forgotten", printer.origin));
    return 0;
}

}  // namespace

bool NamePrinter(const std::wstring& text, PrinterName& name) {
    const std::string uri = Utf8(text);
    PrinterName named;
    if (ModuleFolderFor(text) == L"snmp") {
        vyxsnmp::Endpoint endpoint;
        if (!vyxsnmp::ParsePrinter(uri, endpoint)) {
            return false;
        }
        named.snmp = true;
        named.uri = vyxsnmp::NormalisedUri(endpoint);
    } else {
        vyxipp::Target target;
        if (vyxipp::ParseTarget(uri, target) != 0) {
            return false;
        }
        named.secure = target.secure;
        named.uri = vyxipp::NormalisedUri(target);
        named.origin = vyxipp::Origin(target);
    }
    name = named;
    return true;
}

int RunAdministration(const Options& options) {
    PrinterName printer;
    if (!NamePrinter(options.uri, printer)) {
        WriteError("bidiprobe: " + Utf8(options.uri) +
                   " is a URI neither module takes (snmp://HOST[:PORT], ipp:// or "
                   "ipps://HOST[:PORT][/PATH])\n");
        return kExitUsage;
    }
    if (options.command == Command::kTrust) {
        return Trust(options, printer);
    }
    const std::string target = Utf8(vyxserve::CredentialTarget(printer.uri));
    switch (options.verb) {
        case Verb::kSet:
            return CredentialSet(options, printer, target);
        case Verb::kShow:
            return CredentialShow(options, printer, target);
        case Verb::kDelete:
            return CredentialDelete(options, printer, target);
        default:
            return kExitUsage;
    }
}

Json TrustReport(const std::wstring& printer) {
    PrinterName name;
    if (!NamePrinter(printer, name) || !name.secure) {
        return nullptr;
    }
    return Json{{"printer", name.origin},
                {"pinned", Fingerprint(vyxserve::ReadPin(name.origin))},
                {"offered", Fingerprint(vyxserve::ReadOffered(name.origin))}};
}

}  // namespace bidiprobe
