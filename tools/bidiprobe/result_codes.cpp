// The table of result codes, read once from the text the build compiled in.
#include "result_codes.h"

#include <cstdio>
#include <map>

#include <nlohmann/json.hpp>

namespace bidiprobe {

// result_codes.json as it stood at the build (result_codes_table.cpp, made by CMake).
extern const char kResultCodesTable[];

namespace {

// Codes on a base carry a number below this.
constexpr long long kPlusRange = 0x10000;

struct Meaning {
    std::string sentence;
    std::string plus;  // for a base: what the added number is ("HTTP status")
    bool plusInHex = false;
};

std::map<LONG, Meaning> ReadTable() {
    std::map<LONG, Meaning> table;
    const nlohmann::json parsed = nlohmann::json::parse(kResultCodesTable);
    for (const auto& group : parsed.at("groups")) {
        for (const auto& entry : group.at("codes")) {
            Meaning meaning{entry.at("meaning").get<std::string>(), entry.value("plus", ""),
                            entry.value("plus_in_hex", false)};
            // Codes are 32-bit: 0x80000003 is the LONG -2147483645.
            const long long code = std::stoll(entry.at("code").get<std::string>(), nullptr, 0);
            table[static_cast<LONG>(static_cast<unsigned long>(code))] = std::move(meaning);
        }
    }
    return table;
}

const std::map<LONG, Meaning>& Table() {
    static const std::map<LONG, Meaning> table = ReadTable();
    return table;
}

}  // namespace

std::string MeaningOf(LONG code) {
    const auto& table = Table();
    const auto exact = table.find(code);
    if (exact != table.end() && exact->second.plus.empty()) {
        return exact->second.sentence;
    }
    // The nearest base at or below the code, when the code lies within its range.
    auto base = table.upper_bound(code);
    if (base != table.begin()) {
        --base;
        const long long added = static_cast<long long>(code) - base->first;
        if (!base->second.plus.empty() && added < kPlusRange) {
            char number[16];
            std::snprintf(number, sizeof number, base->second.plusInHex ? "0x%04llX" : "%lld",
                          added);
            return base->second.plus + " " + number + ": " + base->second.sentence;
        }
    }
    return "not a code of this library or of this project's query modules; the query module's "
           "own documentation says what it means";
}

}  // namespace bidiprobe
