// Captures the fuzz targets' seeds from the test peers: the module's own requests sent to
// ippeveprinter and snmpsimd, and what they answered, written as the targets read them.
//   capture_seeds IPP_PORT SNMP_PORT OUT_DIR
// IPP: one Get-Printer-Attributes per snapshot kind, over HTTP/1.0 (so the body is not
// chunked). SNMP: one walk per snapshot kind and recording, through the module's own walker,
// every response datagram kept.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "ipp_codec.h"
#include "ipp_mapping.h"
#include "printer_mib.h"
#include "walk.h"

namespace {

void Save(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

std::string Post(int port, const std::string& body) {
    const int s = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in at = {};
    at.sin_family = AF_INET;
    at.sin_port = htons(static_cast<std::uint16_t>(port));
    at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    std::string reply;
    if (connect(s, reinterpret_cast<sockaddr*>(&at), sizeof at) == 0) {
        const std::string request = "POST /ipp/print HTTP/1.0\r\nHost: 127.0.0.1\r\n"
                                    "Content-Type: application/ipp\r\nContent-Length: " +
                                    std::to_string(body.size()) + "\r\n\r\n" + body;
        if (send(s, request.data(), request.size(), 0) == static_cast<ssize_t>(request.size())) {
            pollfd wait = {s, POLLIN, 0};
            char buffer[16384];
            ssize_t got = 0;
            while (poll(&wait, 1, 5000) == 1 && (got = recv(s, buffer, sizeof buffer, 0)) > 0) {
                reply.append(buffer, static_cast<std::size_t>(got));
            }
        }
    }
    close(s);
    const std::size_t end = reply.find("\r\n\r\n");
    return end == std::string::npos ? std::string() : reply.substr(end + 4);
}

// Datagrams to the agent on loopback, every answer also written out as a seed.
class Capture : public vyxsnmp::Datagrams {
  public:
    Capture(int port, std::string prefix) : prefix_(std::move(prefix)) {
        socket_ = socket(AF_INET, SOCK_DGRAM, 0);
        sockaddr_in at = {};
        at.sin_family = AF_INET;
        at.sin_port = htons(static_cast<std::uint16_t>(port));
        at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        connect(socket_, reinterpret_cast<sockaddr*>(&at), sizeof at);
    }
    ~Capture() override { close(socket_); }

    bool Send(const vyxsnmp::Bytes& datagram) override {
        return send(socket_, datagram.data(), datagram.size(), 0) ==
               static_cast<ssize_t>(datagram.size());
    }
    Wait Receive(vyxsnmp::Bytes& datagram, std::uint32_t milliseconds) override {
        pollfd wait = {socket_, POLLIN, 0};
        if (poll(&wait, 1, static_cast<int>(milliseconds)) != 1) {
            return Wait::kTimeout;
        }
        datagram.resize(65536);
        const ssize_t got = recv(socket_, datagram.data(), datagram.size(), 0);
        if (got < 0) {
            return Wait::kFailed;
        }
        datagram.resize(static_cast<std::size_t>(got));
        Save(prefix_ + std::to_string(++count_), std::string(datagram.begin(), datagram.end()));
        return Wait::kDatagram;
    }
    std::uint64_t Now() override {
        timespec now = {};
        clock_gettime(CLOCK_MONOTONIC, &now);
        return static_cast<std::uint64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
    }

  private:
    int socket_ = -1;
    std::string prefix_;
    int count_ = 0;
};

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: capture_seeds IPP_PORT SNMP_PORT OUT_DIR\n");
        return 2;
    }
    const int ippPort = std::stoi(argv[1]), snmpPort = std::stoi(argv[2]);
    const std::string out = argv[3];
    int failures = 0;

    const struct { unsigned parts; const char* name; } kSnapshots[] = {
        {vyxipp::kFeatures, "colour"}, {vyxipp::kAttributes, "attributes"},
        {vyxipp::kTemplates, "templates"}, {vyxipp::kEverything, "everything"}};
    for (const auto& snapshot : kSnapshots) {
        const std::string uri = "ipp://127.0.0.1:" + std::to_string(ippPort) + "/ipp/print";
        std::string request;
        vyxipp::Encode(vyxipp::PrinterAttributesRequest(uri, "vyxbidi", snapshot.parts, 1), request);
        const std::string reply = Post(ippPort, request);
        vyxipp::Message decoded;
        if (vyxipp::Decode(reinterpret_cast<const std::uint8_t*>(reply.data()), reply.size(),
                           vyxipp::DecodeLimits(), decoded) != vyxipp::DecodeStatus::kOk) {
            std::fprintf(stderr, "capture_seeds: no IPP reply for %s\n", snapshot.name);
            ++failures;
            continue;
        }
        Save(out + "/ipp_reply_fuzzer/ippeveprinter-" + snapshot.name, reply);
        // The mapping target's first byte picks the parts: (byte % 7) + 1.
        Save(out + "/ipp_mapping_fuzzer/ippeveprinter-" + snapshot.name,
             std::string(1, static_cast<char>(snapshot.parts - 1)) + reply);
    }

    const struct { vyxsnmp::Parts parts; const char* name; } kWalks[] = {
        {vyxsnmp::Parts::kColour, "colour"}, {vyxsnmp::Parts::kAll, "everything"}};
    for (const char* community : {"colour-mfp", "mono-laser"}) {
        for (const auto& walk : kWalks) {
            Capture agent(snmpPort, out + "/snmp_message_fuzzer/snmpsimd-" + community + "-" +
                                        walk.name + "-");
            vyxsnmp::ClientSettings settings;
            settings.community = community;
            vyxsnmp::Client client(agent, settings, 1);
            vyxsnmp::Walker walker(client, vyxsnmp::VersionChoice::kV2c);
            std::vector<vyxsnmp::Oid> columns;
            for (const vyxsnmp::Column column : vyxsnmp::ColumnsFor(walk.parts)) {
                columns.push_back(vyxsnmp::ColumnOid(column));
            }
            std::vector<vyxsnmp::Rows> rows;
            if (walker.Walk(columns, rows, vyxsnmp::WalkLimits()).status != vyxsnmp::WalkStatus::kOk) {
                std::fprintf(stderr, "capture_seeds: the walk of %s failed\n", community);
                ++failures;
                continue;
            }
            // The texts, for the text target: its first byte picks the charset (0: guessed,
            // 3: UTF-8 of the colour printer, 9: the hook, Shift_JIS of the mono printer).
            int n = 0;
            for (const vyxsnmp::Rows& column : rows) {
                for (const auto& row : column) {
                    if (row.second.type == vyxsnmp::tag::kOctetString && !row.second.bytes.empty() &&
                        walk.parts == vyxsnmp::Parts::kAll && n < 12) {
                        const char selector = std::string(community) == "mono-laser" ? 9 : 3;
                        Save(out + "/snmp_text_fuzzer/snmpsimd-" + community + "-" +
                                 std::to_string(++n),
                             std::string(1, selector) + row.second.bytes);
                    }
                }
            }
        }
    }
    return failures == 0 ? 0 : 1;
}
