// The property sheet on a slow, lossy network: the same dump as on loopback, through the
// impairment relay (bench/net/relay.py) that run-net-bench.sh starts between the modules and the
// printers, at each round trip and loss of the table. The relay counts what each sheet sent,
// lost and waited for (requests, connections, round trips), since it sees every datagram and
// segment; the benchmark times the sheet. Each row loads its module once: its first sheet is
// the first connection in the process and is reported on its own; then the cells take turns,
// sheet by sheet.
//   vyxnetbench --table CONTROL_PORT --relay-tcp PORT --relay-udp PORT --community NAME
//               [--v3-user NAME] [--sheets N] [--round-trips 0,20,50] [--losses 0,2]
//               [--seed S] [--rows ipp,ipps,v2c,v3]
#include "net_table.h"

#include <winsock2.h>
#include <windows.h>
#include <vyxbidi.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "../sampling.h"
#include "connection.h"
#include "sheet.h"
#include "trust_store.h"

namespace bench {
namespace {

// ---- The relay's control connection: one line asked, one line answered ---------------------

class RelayControl {
  public:
    explicit RelayControl(int port) {
        WSADATA data;
        started_ = WSAStartup(MAKEWORD(2, 2), &data) == 0;
        socket_ = started_ ? ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP) : INVALID_SOCKET;
        if (socket_ == INVALID_SOCKET) {
            return;
        }
        const DWORD waitMs = 60000;  // a cell's set-up never takes this long
        setsockopt(socket_, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&waitMs),
                   sizeof waitMs);
        sockaddr_in relay{};
        relay.sin_family = AF_INET;
        relay.sin_port = htons(static_cast<u_short>(port));
        relay.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (connect(socket_, reinterpret_cast<const sockaddr*>(&relay), sizeof relay) != 0) {
            closesocket(socket_);
            socket_ = INVALID_SOCKET;
        }
    }
    ~RelayControl() {
        if (socket_ != INVALID_SOCKET) {
            closesocket(socket_);
        }
        if (started_) {
            WSACleanup();
        }
    }
    RelayControl(const RelayControl&) = delete;
    RelayControl& operator=(const RelayControl&) = delete;

    bool connected() const { return socket_ != INVALID_SOCKET; }

    // The answer to `line`, or empty when the relay is gone.
    std::string Ask(const std::string& line) {
        const std::string sent = line + "\n";
        if (!connected() || send(socket_, sent.data(), static_cast<int>(sent.size()), 0) !=
                                static_cast<int>(sent.size())) {
            return {};
        }
        std::size_t end;
        while ((end = buffer_.find('\n')) == std::string::npos) {
            char chunk[4096];
            const int got = recv(socket_, chunk, sizeof chunk, 0);
            if (got <= 0 || buffer_.size() > 65536) {
                return {};
            }
            buffer_.append(chunk, static_cast<std::size_t>(got));
        }
        std::string answer = buffer_.substr(0, end);
        buffer_.erase(0, end + 1);
        return answer;
    }

  private:
    bool started_ = false;
    SOCKET socket_ = INVALID_SOCKET;
    std::string buffer_;
};

// What the relay saw in one sheet.
struct RelayCount {
    int roundTrips = 0, requests = 0, resent = 0, connections = 0, lost = 0;
    std::vector<double> resendMs;  // each resend's time after the sending before it
};

bool ParseCount(const std::string& line, RelayCount& count) {
    const std::map<std::string, int*> numbers = {{"roundtrips", &count.roundTrips},
                                                 {"requests", &count.requests},
                                                 {"resent", &count.resent},
                                                 {"connections", &count.connections},
                                                 {"lost", &count.lost}};
    std::istringstream words(line);
    std::size_t fields = 0;
    for (std::string word; words >> word;) {
        const std::size_t equals = word.find('=');
        if (equals == std::string::npos) {
            return false;
        }
        const std::string name = word.substr(0, equals), value = word.substr(equals + 1);
        if (const auto number = numbers.find(name); number != numbers.end()) {
            *number->second = std::atoi(value.c_str());
            ++fields;
        } else if (name == "resend_ms") {
            std::istringstream list(value);
            for (std::string ms; std::getline(list, ms, ',');) {
                count.resendMs.push_back(std::atof(ms.c_str()));
            }
        }
    }
    return fields == numbers.size();
}

// ---- Rows and cells --------------------------------------------------------------------------

struct Row {
    std::string key;  // ipp, ipps, v2c, v3
    const char* label;
    const wchar_t* module;  // the folder beside the benchmark that holds its VYXBIDI.SNM
    std::wstring first, second;
    LONG emailExpected;
    bool ipp;
};

struct Sheet {
    double seconds = 0;
    int httpRequests = 0;  // counted at WinHttpSendRequest: written, and refused before that
    int httpRefused = 0;
    std::string failure;  // the first call that answered otherwise than on loopback
    RelayCount relay;
};

struct Cell {
    int roundTripMs = 0;
    int lossPercent = 0;
    std::vector<Sheet> sheets;
};

struct RowResult {
    Sheet first;  // the first connection in the process
    std::vector<Cell> cells;
    std::string problem;  // why the row could not be measured
};

// One sheet over the link of `roundTripMs` and `lossPercent`, its losses seeded by `seed`: timed
// here, counted at the relay. False with `problem` set when the relay does not take part.
bool RunSheet(RelayControl& relay, BiDiHandle* handle, const Row& row, int roundTripMs,
              int lossPercent, int seed, Sheet& sheet, std::string& problem) {
    char set[96];
    std::snprintf(set, sizeof set, "set delay_ms=%g loss=%g seed=%d", roundTripMs / 2.0,
                  lossPercent / 100.0, seed);
    if (relay.Ask(set) != "ok" || relay.Ask("count").empty()) {
        problem = "the relay refused: " + std::string(set);
        return false;
    }
    Dumper dumper{handle, row.first, row.second, row.emailExpected, {}};
    DumpCounts steps;
    const int before = g_seen.count, refusedBefore = g_seen.refused;
    const double start = Now();
    dumper.Run(steps);
    sheet.seconds = Now() - start;
    sheet.httpRefused = g_seen.refused - refusedBefore;
    sheet.httpRequests = g_seen.count - before - sheet.httpRefused;
    sheet.failure = dumper.failure;
    g_seen.bodies.clear();
    if (!ParseCount(relay.Ask("count"), sheet.relay)) {
        problem = "the relay did not count";
        return false;
    }
    return true;
}

// Runs a row: the module loaded once, a first sheet over the longest round trip without loss,
// then `count` sheets of every cell, the cells taking turns so that the machine's changing load
// touches them alike. Each cell and sheet has losses of its own seed, the same in every row.
RowResult RunRow(RelayControl& relay, const Row& row, const std::vector<int>& roundTrips,
                 const std::vector<int>& losses, int seed, int count) {
    RowResult result;
    for (const int roundTrip : roundTrips) {
        for (const int loss : losses) {
            result.cells.push_back(Cell{roundTrip, loss, {}});
        }
    }
    BiDiHandle* handle = nullptr;
    const std::wstring caller = Beside(row.module) + L"\\VYXBIDI.dll";
    if (VyxBiDi_Initialize(&handle, caller.c_str()) != BIDI_OK) {
        result.problem = "the query module cannot be loaded";
        return result;
    }
    PatchModule(handle->module);
    const int longest = *std::max_element(roundTrips.begin(), roundTrips.end());
    if (RunSheet(relay, handle, row, longest, 0, seed, result.first, result.problem)) {
        for (int i = 0; i < count && result.problem.empty(); ++i) {
            for (std::size_t c = 0; c < result.cells.size() && result.problem.empty(); ++c) {
                Cell& cell = result.cells[c];
                if (!RunSheet(relay, handle, row, cell.roundTripMs, cell.lossPercent,
                              seed + 1 + static_cast<int>(c) * 1000 + i, cell.sheets.emplace_back(),
                              result.problem)) {
                    cell.sheets.pop_back();
                }
            }
        }
    }
    VyxBiDi_Terminate(handle);
    return result;
}

// ---- The table -------------------------------------------------------------------------------

template <typename T>
T Median(std::vector<T> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? T{} : values[(values.size() - 1) / 2];
}

// The nearest-rank percentile.
double Percentile(std::vector<double> values, double fraction) {
    std::sort(values.begin(), values.end());
    if (values.empty()) {
        return 0;
    }
    const auto rank = static_cast<std::size_t>(std::ceil(fraction * values.size()));
    return values[std::clamp<std::size_t>(rank, 1, values.size()) - 1];
}

std::string Ms(double seconds) {
    char text[32];
    std::snprintf(text, sizeof text, seconds < 0.1 ? "%.1f ms" : "%.0f ms", seconds * 1e3);
    return text;
}

// "4-6" when the sheets differ, else empty.
std::string Range(const std::vector<int>& values) {
    const auto [low, high] = std::minmax_element(values.begin(), values.end());
    if (values.empty() || *low == *high) {
        return {};
    }
    return std::to_string(*low) + "-" + std::to_string(*high);
}

// "4", or "4 (4-6)" when the sheets differ: the median and the range.
std::string Spread(const std::vector<int>& values) {
    const std::string range = Range(values);
    return std::to_string(Median(values)) + (range.empty() ? "" : " (" + range + ")");
}

struct Summary {
    double median = 0, p95 = 0;
    int roundTrips = 0;  // the median sheet's
};

Summary Summarise(const Cell& cell) {
    std::vector<double> times;
    std::vector<int> roundTrips;
    for (const Sheet& sheet : cell.sheets) {
        times.push_back(sheet.seconds);
        roundTrips.push_back(sheet.relay.roundTrips);
    }
    return {Median(times), Percentile(times, 0.95), Median(roundTrips)};
}

std::vector<double> ResendMs(const Cell& cell) {
    std::vector<double> all;
    for (const Sheet& sheet : cell.sheets) {
        all.insert(all.end(), sheet.relay.resendMs.begin(), sheet.relay.resendMs.end());
    }
    return all;
}

// One line of the table; `loopback` is the row's median at 0 ms and no loss (0: not measured).
void PrintCell(const Row& row, const Cell& cell, double loopback) {
    if (cell.sheets.empty()) {
        return;
    }
    std::vector<int> requests, refused, connections, roundTrips;
    int lost = 0, hit = 0, resent = 0, failed = 0;
    for (const Sheet& sheet : cell.sheets) {
        requests.push_back(row.ipp ? sheet.httpRequests : sheet.relay.requests);
        refused.push_back(sheet.httpRefused);
        connections.push_back(sheet.relay.connections);
        roundTrips.push_back(sheet.relay.roundTrips);
        lost += sheet.relay.lost;
        hit += sheet.relay.lost > 0;
        resent += sheet.relay.resent;
        failed += !sheet.failure.empty();
    }
    const Summary summary = Summarise(cell);
    std::string requestText = Spread(requests);
    if (row.ipp) {
        if (*std::max_element(refused.begin(), refused.end()) > 0) {
            requestText += " + " + Spread(refused) + " refused";
        }
        requestText += ", " + Spread(connections) + " conn.";
    }
    const std::string floor =
        loopback > 0 ? Ms(summary.roundTrips * cell.roundTripMs / 1e3 + loopback) : "-";
    std::string resends = row.ipp ? "-" : std::to_string(resent);
    if (resent > 0) {
        resends += ", after " + Ms(Median(ResendMs(cell)) / 1e3);
    }
    std::string losses = std::to_string(lost);
    if (lost > 0) {
        losses += " in " + std::to_string(hit) + (hit == 1 ? " sheet" : " sheets");
    }
    std::printf("| %s | %d ms | %d %% | %s | %s | %s | %s | %s | %s | %s | %d |\n", row.label,
                cell.roundTripMs, cell.lossPercent, requestText.c_str(), Spread(roundTrips).c_str(),
                Ms(summary.median).c_str(), Ms(summary.p95).c_str(), floor.c_str(), losses.c_str(),
                resends.c_str(), failed);
    std::fflush(stdout);
}

std::vector<int> Numbers(const std::wstring& text, std::vector<int> otherwise) {
    if (text.empty()) {
        return otherwise;
    }
    std::vector<int> numbers;
    std::wistringstream list(text);
    for (std::wstring number; std::getline(list, number, L',');) {
        numbers.push_back(_wtoi(number.c_str()));
    }
    return numbers;
}

const char* Verdict(bool met) {
    return met ? "met" : "not met";
}

// The goals of a sheet over a 50 ms round trip, where that cell was measured.
void PrintGoals(const std::map<std::string, RowResult>& results,
                const std::map<std::string, double>& loopback) {
    const auto find = [&](const std::string& key, int lossPercent) -> const Cell* {
        const auto row = results.find(key);
        if (row == results.end()) {
            return nullptr;
        }
        for (const Cell& cell : row->second.cells) {
            if (cell.roundTripMs == 50 && cell.lossPercent == lossPercent && !cell.sheets.empty()) {
                return &cell;
            }
        }
        return nullptr;
    };
    for (const char* key : {"ipp", "ipps"}) {
        if (const Cell* cell = find(key, 0)) {
            std::vector<int> requests;
            for (const Sheet& sheet : cell->sheets) {
                requests.push_back(sheet.httpRequests);
            }
            const int most = *std::max_element(requests.begin(), requests.end());
            std::printf("  %s at 50 ms, no loss: at most %d request per sheet (goal 1): %s\n",
                        std::string(key) == "ipp" ? "ipp://" : "ipps://", most, Verdict(most <= 1));
        }
    }
    if (const Cell* cell = find("v2c", 0)) {
        const int roundTrips = Summarise(*cell).roundTrips;
        std::printf("  SNMP v2c at 50 ms, no loss: %d round trips (goal at most 2): %s\n",
                    roundTrips, Verdict(roundTrips <= 2));
    }
    if (const Cell* cell = find("v3", 0)) {
        const int first = results.at("v3").first.relay.roundTrips;
        const int later = Summarise(*cell).roundTrips;
        std::printf(
            "  SNMPv3 at 50 ms, no loss: %d round trips on a first connection (goal at "
            "most 3): %s; %d on a later one (goal at most 2): %s\n",
            first, Verdict(first <= 3), later, Verdict(later <= 2));
    }
    if (const Cell* cell = find("v2c", 2); cell && loopback.count("v2c")) {
        const std::vector<double> resends = ResendMs(*cell);
        const double interval = resends.empty() ? 0 : Median(resends) / 1e3;
        const double goal = loopback.at("v2c") + 3 * 0.05 + interval;
        const double p95 = Summarise(*cell).p95;
        std::printf(
            "  SNMP v2c at 50 ms, 2 %% loss: 95th percentile %s against the loopback "
            "sheet + 3 round trips + one resend interval (%s) = %s: %s\n",
            Ms(p95).c_str(), resends.empty() ? "none seen" : Ms(interval).c_str(), Ms(goal).c_str(),
            Verdict(p95 <= goal));
    }
}

}  // namespace

int RunNetTable(int argc, wchar_t** argv) {
    const double start = Now();
    RelayControl relay(_wtoi(Argument(argc, argv, L"--table").c_str()));
    if (!relay.connected()) {
        std::printf("the relay's control port does not answer\n");
        return 1;
    }
    const std::wstring tcp = Argument(argc, argv, L"--relay-tcp");
    const std::wstring udp = Argument(argc, argv, L"--relay-udp");
    const std::wstring community = Argument(argc, argv, L"--community");
    const std::wstring v3User = Argument(argc, argv, L"--v3-user");
    const int sheets = std::max(1, Numbers(Argument(argc, argv, L"--sheets"), {50})[0]);
    const int seed = Numbers(Argument(argc, argv, L"--seed"), {20240611})[0];
    const std::vector<int> roundTrips =
        Numbers(Argument(argc, argv, L"--round-trips"), {0, 20, 50});
    const std::vector<int> losses = Numbers(Argument(argc, argv, L"--losses"), {0, 2});
    std::wstring rows = Argument(argc, argv, L"--rows");
    rows = rows.empty() ? L",ipp,ipps,v2c,v3," : L"," + rows + L",";

    const std::wstring snmpPrinter = L"snmp://127.0.0.1:" + udp;
    const std::vector<Row> table = {
        {"ipp", "IPP, ipp://", L"ipp", L"ipp://127.0.0.1:" + tcp + L"/ipp/print", L"", BIDI_OK,
         true},
        {"ipps", "IPP, ipps://", L"ipp", L"ipps://127.0.0.1:" + tcp + L"/ipp/print", L"", BIDI_OK,
         true},
        {"v2c", "SNMP v2c", L"snmp", snmpPrinter, L"community=" + community, 0x220A, false},
        {"v3", "SNMPv3 authPriv", L"snmp", snmpPrinter, L"version=3;context=" + community, 0x220A,
         false},
    };

    std::printf(
        "A property sheet on a slow, lossy network (bench/net/relay.py between module "
        "and printer; %d sheets a cell, the cells taking turns; losses seeded from %d)\n\n",
        sheets, seed);
    std::printf(
        "| Printer | Round trip | Loss | Requests per sheet | Round trips per sheet | "
        "Median | 95th percentile | Floor | Lost | Resent | Failed |\n");
    std::printf("|---|---|---|---|---|---|---|---|---|---|---|\n");
    std::map<std::string, RowResult> results;
    std::map<std::string, double> loopback;  // each row's median at 0 ms and no loss
    int status = 0;
    for (const Row& row : table) {
        if (rows.find(L"," + std::wstring(row.key.begin(), row.key.end()) + L",") ==
            std::wstring::npos) {
            continue;
        }
        vyxipp::Target target;
        vyxipp::ParseTarget(Narrow(row.first), target);
        const std::string pinned = row.key == "ipps" ? vyxipp::Origin(target) : "";
        if (!pinned.empty()) {
            vyxserve::ForgetPin(pinned);  // trusted on first use in each run alike
        }
        std::unique_ptr<StoredV3User> user;
        if (row.key == "v3") {
            user = std::make_unique<StoredV3User>(row.first, Narrow(v3User));
            if (!user->stored()) {
                std::printf("| %s | no user %ls in snmp-v3-users.txt to store |\n", row.label,
                            v3User.c_str());
                status = 1;
                continue;
            }
        }
        RowResult& result = results[row.key] = RunRow(relay, row, roundTrips, losses, seed, sheets);
        for (const Cell& cell : result.cells) {
            if (cell.roundTripMs == 0 && cell.lossPercent == 0 && !cell.sheets.empty()) {
                loopback[row.key] = Summarise(cell).median;
            }
        }
        for (const Cell& cell : result.cells) {
            const auto known = loopback.find(row.key);
            PrintCell(row, cell, known == loopback.end() ? 0 : known->second);
        }
        if (!result.problem.empty()) {
            std::printf("| %s | %s |\n", row.label, result.problem.c_str());
            status = 1;
        }
        if (!pinned.empty()) {
            vyxserve::ForgetPin(pinned);
        }
    }
    std::printf(
        "\nFloor: the sheet's round trips times the round trip, plus its median at 0 ms "
        "and no loss.\nFirst connection in the process (the module loaded afresh; "
        "%d ms, no loss):",
        *std::max_element(roundTrips.begin(), roundTrips.end()));
    const char* separator = "";
    for (const Row& row : table) {
        if (const auto result = results.find(row.key); result != results.end()) {
            const Sheet& first = result->second.first;
            std::printf("%s %s %d round trips, %s", separator, row.label, first.relay.roundTrips,
                        Ms(first.seconds).c_str());
            separator = ";";
        }
    }
    std::printf("\n");
    for (const Row& row : table) {
        if (const auto result = results.find(row.key); result != results.end()) {
            for (const Cell& cell : result->second.cells) {
                for (const Sheet& sheet : cell.sheets) {
                    if (!sheet.failure.empty()) {
                        std::printf("Failed: %s, %d ms, %d %%: %s after %s\n", row.label,
                                    cell.roundTripMs, cell.lossPercent, sheet.failure.c_str(),
                                    Ms(sheet.seconds).c_str());
                    }
                }
            }
        }
    }
    std::printf("Goals at a 50 ms round trip\n");
    PrintGoals(results, loopback);
    std::printf("The table took %.0f s.\n", Now() - start);
    return status;
}

}  // namespace bench
