// Reads snmprec lines: types 2 (INTEGER), 4 and 4x (octet string, plain or hex), 6 (OID),
// 64-70 (the application types); a variation module's tag ("2:writecache") keeps its type and
// takes its value= setting.
#include "recording.h"

#include <fstream>
#include <sstream>

namespace snmptest {
namespace {

using namespace vyxsnmp;

std::string FromHex(const std::string& hex) {
    std::string bytes;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
        bytes += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
    }
    return bytes;
}

bool ParseValue(std::string type, std::string text, Value& value) {
    const std::size_t colon = type.find(':');
    if (colon != std::string::npos) {
        type = type.substr(0, colon);
        const std::size_t set = text.find("value=");
        text = set == std::string::npos ? "" : text.substr(set + 6);
    }
    if (type == "4" || type == "4x") {
        value = Value::Text(type == "4x" ? FromHex(text) : text);
        return true;
    }
    if (type == "6") {
        value.type = tag::kOid;
        return Oid::Parse(text, value.oid);
    }
    static const struct {
        const char* code;
        std::uint8_t tag;
    } kNumbers[] = {{"2", tag::kInteger},    {"65", tag::kCounter32}, {"66", tag::kGauge32},
                    {"67", tag::kTimeTicks}, {"70", tag::kCounter64}};
    for (const auto& number : kNumbers) {
        if (type == number.code) {
            value.type = number.tag;
            value.number = std::stoll(text);
            return true;
        }
    }
    return false;
}

}  // namespace

bool ReadRecording(const std::string& path, Objects& objects) {
    std::ifstream file(path);
    std::stringstream text;
    text << file.rdbuf();
    return file && ParseRecording(text.str(), objects);
}

bool ParseRecording(const std::string& text, Objects& objects) {
    std::istringstream file(text);
    std::string line;
    std::size_t loaded = 0;
    while (std::getline(file, line)) {
        const std::size_t first = line.find('|');
        const std::size_t second = line.find('|', first + 1);
        Oid oid;
        Value value;
        if (first == std::string::npos || second == std::string::npos ||
            !Oid::Parse(line.substr(0, first), oid) ||
            !ParseValue(line.substr(first + 1, second - first - 1), line.substr(second + 1), value)) {
            return false;
        }
        objects[oid] = value;
        ++loaded;
    }
    return loaded != 0;
}

}  // namespace snmptest
