// The property-sheet benchmark: one bidiprobe dump's worth of export calls through a network
// query module against a local printer, the requests it sends counted at the module's imports,
// and timed against the floor of the same requests sent raw through the same transport. With
// --v3-user, the SNMP printer once more over SNMPv3 at authPriv as that user of the
// snmp-v3-users.txt beside the benchmark, its passwords stored in the credential store for the
// run's length.
//   vyxnetbench --ipp PORT [--snmp PORT --community NAME [--v3-user NAME]] [--rounds N]
#include <winsock2.h>
#include <windows.h>
#include <winhttp.h>
#include <vyxbidi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "../sampling.h"
#include "credentials.h"
#include "http_transport.h"
#include "import_patch.h"
#include "ipp_mapping.h"
#include "printer_mib.h"
#include "udp_channel.h"

namespace {

using namespace bench;

// ---- Requests seen at the module's imports -------------------------------------------------
// The module is the library's business, so the benchmark counts what it sends where it leaves
// the process: WinHttpSendRequest for IPP, send for SNMP. What is sent is kept, so that the
// floor can send the very same bytes.

struct Seen {
    int count = 0;
    std::vector<std::string> bodies;
};
Seen g_seen;

using PFN_SendRequest = BOOL(WINAPI*)(HINTERNET, LPCWSTR, DWORD, LPVOID, DWORD, DWORD, DWORD_PTR);
using PFN_Send = int(WSAAPI*)(SOCKET, const char*, int, int);
PFN_SendRequest g_sendRequest = nullptr;
PFN_Send g_send = nullptr;

BOOL WINAPI CountedSendRequest(HINTERNET request, LPCWSTR headers, DWORD headersLength,
                               LPVOID body, DWORD bodyLength, DWORD total, DWORD_PTR context) {
    ++g_seen.count;
    g_seen.bodies.emplace_back(static_cast<const char*>(body), bodyLength);
    return g_sendRequest(request, headers, headersLength, body, bodyLength, total, context);
}

int WSAAPI CountedSend(SOCKET s, const char* data, int length, int flags) {
    ++g_seen.count;
    g_seen.bodies.emplace_back(data, length > 0 ? length : 0);
    return g_send(s, data, length, flags);
}

bool PatchModule(HMODULE module) {
    if (void** slot = vyximport::ImportSlot(module, "WINHTTP.dll", "WinHttpSendRequest")) {
        g_sendRequest = reinterpret_cast<PFN_SendRequest>(
            vyximport::SwapSlot(slot, reinterpret_cast<void*>(&CountedSendRequest)));
        return true;
    }
    if (void** slot = vyximport::ImportSlot(module, "WS2_32.dll", "send")) {
        g_send = reinterpret_cast<PFN_Send>(
            vyximport::SwapSlot(slot, reinterpret_cast<void*>(&CountedSend)));
        return true;
    }
    return false;
}

// ---- One dump: bidiprobe's calls, in its order ---------------------------------------------

// Requests made at each step of a dump; a step that is not a snapshot point must make none.
struct DumpCounts {
    int connect = 0, colourOpen = 0, colourCalls = 0, attributeOpen = 0, attributeCalls = 0,
        email = 0, templates = 0, rest = 0;
    int total() const {
        return connect + colourOpen + colourCalls + attributeOpen + attributeCalls + email +
               templates + rest;
    }
};

struct Dumper {
    BiDiHandle* handle;
    std::wstring first, second;
    LONG emailExpected;  // what Misc_GetEMailNotification answers for this printer
    std::string failure;

    bool Check(LONG result, const char* call, LONG expected = BIDI_OK) {
        if (result != expected && failure.empty()) {
            failure = std::string(call) + " returned " + std::to_string(result);
        }
        return result == expected;
    }

    // Runs one dump; `counts` gets the requests of each step.
    void Run(DumpCounts& counts) {
        int mark = g_seen.count;
        auto step = [&mark](int& into) {
            into += g_seen.count - mark;
            mark = g_seen.count;
        };
        Check(VyxBiDi_Connect(handle, first.c_str(), second.c_str()), "VyxBiDi_Connect");
        step(counts.connect);

        Check(ClrBiDi_OpenSession(handle, L"", L"", L"", L"", L"", L""), "ClrBiDi_OpenSession");
        step(counts.colourOpen);
        FeatureList* list = nullptr;
        if (Check(ClrBiDi_GetFeatureList(handle, &list), "ClrBiDi_GetFeatureList")) {
            for (SHORT i = 0; i < list->featureCount; ++i) {
                FeatureInfo* info = nullptr;
                Check(ClrBiDi_GetFeatureInfo(handle, list->features[i]->first, &info),
                      "ClrBiDi_GetFeatureInfo");
                ClrBiDi_DeleteFeatureInfo(handle, &info);
            }
        }
        ClrBiDi_DeleteFeatureList(handle, &list);
        Check(ClrBiDi_CloseSession(handle), "ClrBiDi_CloseSession");
        step(counts.colourCalls);

        Check(Attrib_OpenSession(handle, nullptr, nullptr), "Attrib_OpenSession");
        step(counts.attributeOpen);
        TrayRecord* trays = nullptr;
        TonerRecord* toners = nullptr;
        InstallablesRecord* installables = nullptr;
        LONG count = 0;
        DWORD presence = 0;
        Check(Attrib_GetPaperConsumables(handle, &trays, &count), "Attrib_GetPaperConsumables");
        Attrib_FreePaperConsBuffers(handle, &trays);
        Check(Attrib_GetTonerConsumables(handle, &toners, &count), "Attrib_GetTonerConsumables");
        Attrib_FreeTonerConsBuffers(handle, &toners);
        // Not every option is fitted, so this may answer BIDI_ERR_FAILED only if none is.
        Check(Attrib_GetInstallableOptions(handle, &installables, &presence),
              "Attrib_GetInstallableOptions");
        Attrib_FreeInstallablesBuffers(handle, &installables);
        Check(Attrib_CloseSession(handle), "Attrib_CloseSession");
        step(counts.attributeCalls);

        Check(Misc_GetEMailNotification(handle, nullptr), "Misc_GetEMailNotification",
              emailExpected);
        step(counts.email);

        TemplateList templates{};
        Check(JobTplate_GetAll(handle, &templates), "JobTplate_GetAll");
        JobTplate_GetAll_Free(handle, &templates);
        step(counts.templates);

        Check(VyxBiDi_Disconnect(handle), "VyxBiDi_Disconnect");
        step(counts.rest);
    }
};

// ---- Floors: the same requests, raw, through the module's own transports -----------------

std::string Narrow(const std::wstring& text) {
    return std::string(text.begin(), text.end());  // the benchmark's URIs are ASCII
}

std::function<void()> IppFloor(const std::wstring& uri, const std::vector<std::string>& bodies,
                               std::string& failure) {
    return [uri, &bodies, &failure] {
        vyxipp::Target target;
        vyxipp::Options options;
        vyxipp::ParseTarget(Narrow(uri), target);
        auto transport = vyxipp::MakeHttpTransport(target, options);
        for (const std::string& body : bodies) {
            std::string reply;
            if (transport->Exchange(body, reply) != 0 && failure.empty()) {
                failure = "a raw IPP request failed";
            }
        }
    };
}

std::function<void()> SnmpFloor(const std::wstring& printer,
                                const std::vector<std::string>& datagrams, std::string& failure) {
    return [printer, &datagrams, &failure] {
        vyxsnmp::Endpoint endpoint;
        vyxsnmp::ParsePrinter(Narrow(printer), endpoint);
        LONG code = 0;
        auto channel = vyxsnmp::UdpChannel::Open(endpoint, code);
        if (!channel) {
            failure = "the raw SNMP channel cannot open";
            return;
        }
        for (const std::string& datagram : datagrams) {
            vyxsnmp::Bytes answer;
            channel->Send(vyxsnmp::Bytes(datagram.begin(), datagram.end()));
            if (channel->Receive(answer, 2000) != vyxsnmp::Datagrams::Wait::kDatagram &&
                failure.empty()) {
                failure = "a raw SNMP request went unanswered";
            }
        }
    };
}

// ---- The report ------------------------------------------------------------------------------

std::wstring Beside(const wchar_t* name) {
    wchar_t path[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path, length < MAX_PATH ? length : 0);
    return folder.substr(0, folder.find_last_of(L'\\') + 1) + name;
}

std::string Time(double seconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2f ms", seconds * 1e3);
    return text;
}

struct Printer {
    const char* label;
    const wchar_t* module;  // the folder beside the benchmark that holds its VYXBIDI.SNM
    std::wstring first, second;
    LONG emailExpected;
    int requestGoal;        // at most this many requests per dump: the connection's snapshot
    bool ipp;
};

int Measure(const Printer& printer, const Settings& settings) {
    BiDiHandle* handle = nullptr;
    const std::wstring caller = Beside(printer.module) + L"\\VYXBIDI.dll";
    if (VyxBiDi_Initialize(&handle, caller.c_str()) != BIDI_OK || !PatchModule(handle->module)) {
        std::printf("%s: the query module cannot be loaded from %ls\n", printer.label,
                    caller.c_str());
        return 1;
    }
    Dumper dumper{handle, printer.first, printer.second, printer.emailExpected, {}};
    DumpCounts counts;
    g_seen = Seen();
    dumper.Run(counts);
    const std::vector<std::string> requests = g_seen.bodies;
    std::string floorFailure;
    const auto floor = printer.ipp ? IppFloor(printer.first, requests, floorFailure)
                                   : SnmpFloor(printer.first, requests, floorFailure);
    DumpCounts again;
    const RoundSamples samples = TimeAlternating({[&] { dumper.Run(again); }, floor}, settings);
    const Spread dump = Summarise(samples[0]);
    const Spread raw = Summarise(samples[1]);
    const Spread ratio = RatioByRound(samples[0], samples[1]);
    VyxBiDi_Terminate(handle);

    const std::string failure = !dumper.failure.empty() ? dumper.failure : floorFailure;
    const bool steady = again.total() % counts.total() == 0;  // every dump asks as much
    std::printf("%s\n", printer.label);
    std::printf("  requests per dump        %d (connect %d, colour session %d + %d, attribute "
                "session %d + %d, e-mail %d, templates %d, disconnect %d)%s\n",
                counts.total(), counts.connect, counts.colourOpen, counts.colourCalls,
                counts.attributeOpen, counts.attributeCalls, counts.email, counts.templates,
                counts.rest, steady ? "" : "; NOT the same in every dump");
    std::printf("  requests outside a snapshot point: %d (goal 0: %s)\n",
                counts.colourCalls + counts.attributeCalls + counts.email + counts.rest,
                counts.colourCalls + counts.attributeCalls + counts.email + counts.rest == 0
                    ? "met"
                    : "not met");
    if (printer.requestGoal > 0) {
        std::printf("  request goal             at most %d: %s\n", printer.requestGoal,
                    counts.total() <= printer.requestGoal ? "met" : "not met");
    }
    std::printf("  dump (family calls)      %s (quartiles %s-%s)\n", Time(dump.median).c_str(),
                Time(dump.lower).c_str(), Time(dump.upper).c_str());
    std::printf("  floor (same requests)    %s (quartiles %s-%s)\n", Time(raw.median).c_str(),
                Time(raw.lower).c_str(), Time(raw.upper).c_str());
    std::printf("  ratio, round by round    %.2f (quartiles %.2f-%.2f; goal 1.5: %s)\n",
                ratio.median, ratio.lower, ratio.upper, ratio.median <= 1.5 ? "met" : "not met");
    std::printf("  REQUESTS=%d\n", counts.total());
    if (!failure.empty()) {
        std::printf("  FAILED: %s\n", failure.c_str());
        return 1;
    }
    return 0;
}

// Stores `user` of snmp-v3-users.txt (beside the benchmark) for `printer`, with both passwords;
// the credential goes when the object does.
class StoredV3User {
  public:
    StoredV3User(const std::wstring& printer, const std::string& user) {
        vyxsnmp::Endpoint endpoint;
        vyxsnmp::ParsePrinter(Narrow(printer), endpoint);
        uri_ = vyxsnmp::NormalisedUri(endpoint);
        std::ifstream file(Narrow(Beside(L"snmp-v3-users.txt")));
        for (std::string line; std::getline(file, line);) {
            std::istringstream fields(line);
            std::string name, auth, authPassword, priv, privPassword;
            if (fields >> name >> auth >> authPassword >> priv >> privPassword && name == user) {
                vyxserve::StoredCredential credential;
                credential.user = std::wstring(user.begin(), user.end());
                credential.secrets.emplace_back(authPassword.data(), authPassword.size());
                credential.secrets.emplace_back(privPassword.data(), privPassword.size());
                stored_ = vyxserve::WriteCredential(uri_, credential) == 0;
            }
        }
    }
    ~StoredV3User() {
        if (stored_) {
            vyxserve::DeleteCredential(uri_);
        }
    }
    bool stored() const { return stored_; }

  private:
    std::string uri_;
    bool stored_ = false;
};

std::wstring Argument(int argc, wchar_t** argv, const wchar_t* name) {
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::wcscmp(argv[i], name) == 0) {
            return argv[i + 1];
        }
    }
    return {};
}

// For the native peers (ipptool, snmpbulkwalk) run beside the benchmark: the attributes of the
// IPP module's snapshot of everything, and the SNMP tables its columns belong to.
void PrintPeerQueries() {
    std::string attributes;
    for (const std::string& name : vyxipp::RequestedAttributes(vyxipp::kEverything)) {
        attributes += (attributes.empty() ? "" : ",") + name;
    }
    std::printf("IPP_ATTRIBUTES=%s\n", attributes.c_str());
    std::vector<std::string> tables;
    for (const vyxsnmp::Column column : vyxsnmp::ColumnsFor(vyxsnmp::Parts::kAll)) {
        const vyxsnmp::Oid& oid = vyxsnmp::ColumnOid(column);
        // A table column is table.entry.column; sysDescr stands for the system group.
        const bool system = oid.size() == 8 && oid[6] == 1;
        std::string table;
        for (std::size_t i = 0; i + (system ? 1 : 2) < oid.size(); ++i) {
            table += (i ? "." : "") + std::to_string(oid[i]);
        }
        if (std::find(tables.begin(), tables.end(), table) == tables.end()) {
            tables.push_back(table);
        }
    }
    std::printf("SNMP_TABLES=");
    for (const std::string& table : tables) {
        std::printf("%s ", table.c_str());
    }
    std::printf("\n");
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc == 2 && std::wcscmp(argv[1], L"--peer-queries") == 0) {
        PrintPeerQueries();
        return 0;
    }
    Settings settings;
    settings.batchSeconds = 0;  // a dump is long enough to be timed alone
    if (const std::wstring rounds = Argument(argc, argv, L"--rounds"); !rounds.empty()) {
        settings.rounds = std::max(1, _wtoi(rounds.c_str()));
    }
    const std::wstring ipp = Argument(argc, argv, L"--ipp");
    const std::wstring snmp = Argument(argc, argv, L"--snmp");
    const std::wstring community = Argument(argc, argv, L"--community");
    int status = 0;
    if (!ipp.empty()) {
        status |= Measure({"IPP module, ippeveprinter (colour MFP)", L"ipp",
                           L"ipp://127.0.0.1:" + ipp + L"/ipp/print", L"", BIDI_OK, 1, true},
                          settings);
    }
    if (!snmp.empty()) {
        status |= Measure({"SNMP module, snmpsimd (colour MFP)", L"snmp",
                           L"snmp://127.0.0.1:" + snmp, L"community=" + community, 0x220A, 4,
                           false},
                          settings);
    }
    const std::wstring v3User = Argument(argc, argv, L"--v3-user");
    if (!snmp.empty() && !v3User.empty()) {
        const std::wstring printer = L"snmp://127.0.0.1:" + snmp;
        const StoredV3User stored(printer, Narrow(v3User));
        if (!stored.stored()) {
            std::printf("SNMPv3: no user %ls in snmp-v3-users.txt to store\n", v3User.c_str());
            return 1;
        }
        // The walk's requests and the engine's discovery before them.
        status |= Measure({"SNMP module, snmpsimd (colour MFP), SNMPv3 authPriv (SHA, AES-128)",
                           L"snmp", printer, L"version=3;context=" + community, 0x220A, 5, false},
                          settings);
    }
    return status;
}
