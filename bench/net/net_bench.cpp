// The property-sheet benchmark: one bidiprobe dump's worth of export calls through a network
// query module against a local printer, the requests it sends counted at the module's imports,
// and timed against the floor of the same requests sent raw through the same transport. With
// --v3-user, the SNMP printer once more over SNMPv3 at authPriv as that user of the
// snmp-v3-users.txt beside the benchmark, its passwords stored in the credential store for the
// run's length.
//   vyxnetbench --ipp PORT [--snmp PORT --community NAME [--v3-user NAME]] [--rounds N]
// With --table, the property sheet on a slow, lossy network instead (net_table.cpp).
#include <winsock2.h>
#include <windows.h>
#include <vyxbidi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "../sampling.h"
#include "http_transport.h"
#include "ipp_mapping.h"
#include "net_table.h"
#include "printer_mib.h"
#include "sheet.h"
#include "udp_channel.h"

namespace {

using namespace bench;

// ---- Floors: the same requests, raw, through the module's own transports -----------------

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
    int requestGoal;  // at most this many requests per dump: the connection's snapshot
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
    std::printf(
        "  requests per dump        %d (connect %d, colour session %d + %d, attribute "
        "session %d + %d, e-mail %d, templates %d, disconnect %d)%s\n",
        counts.total(), counts.connect, counts.colourOpen, counts.colourCalls, counts.attributeOpen,
        counts.attributeCalls, counts.email, counts.templates, counts.rest,
        steady ? "" : "; NOT the same in every dump");
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
    if (!Argument(argc, argv, L"--table").empty()) {
        return RunNetTable(argc, argv);
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
        status |=
            Measure({"SNMP module, snmpsimd (colour MFP)", L"snmp", L"snmp://127.0.0.1:" + snmp,
                     L"community=" + community, 0x220A, 4, false},
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
