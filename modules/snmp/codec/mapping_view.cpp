// The helpers the mapping's families share (mapping_view.h): the joined rows, the printer's
// localization their texts are read in, and the words and colorants found in them.
#include "mapping_view.h"

#include <algorithm>
#include <cctype>
#include <set>

namespace vyxsnmp::mapping {
namespace {

bool IsPrinterTable(Column column) {
    return column >= kGeneralLocalization && column <= kFinisherDescription;
}

bool IsWordChar(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) != 0;
}

}  // namespace

View::View(const MibData& data, const TextDecoder& decoder) : decoder_(decoder) {
    for (std::size_t c = 0; c < kColumnCount; ++c) {
        for (const auto& row : data.rows[c]) {
            cells_[c].emplace(row.first, &row.second);
            if (IsPrinterTable(static_cast<Column>(c)) && !row.first.empty()) {
                device_ = device_ ? std::min(*device_, row.first[0]) : row.first[0];
            }
        }
    }
    if (device_) {
        const auto localization = Number(kGeneralLocalization, Oid{*device_});
        if (localization && *localization > 0 && *localization <= 0xFFFF) {
            const auto set = Number(kLocalizationCharset,
                                    Oid{*device_, static_cast<std::uint32_t>(*localization)});
            if (set && *set > 0 && *set <= 0xFFFF) {
                charset_ = static_cast<int>(*set);
            }
        }
    }
}

std::vector<Oid> View::Rows(std::initializer_list<Column> columns) const {
    std::set<Oid> found;
    for (const Column column : columns) {
        for (const auto& cell : cells_[column]) {
            if (device_ && cell.first.size() == 2 && cell.first[0] == *device_) {
                found.insert(cell.first);
            }
        }
    }
    return std::vector<Oid>(found.begin(), found.end());
}

std::vector<Oid> View::AllRows(Column column) const {
    std::vector<Oid> found;
    for (const auto& cell : cells_[column]) {
        found.push_back(cell.first);
    }
    return found;
}

std::optional<std::int64_t> View::Number(Column column, const Oid& index) const {
    const Value* value = At(column, index);
    if (!value || value->type == tag::kOctetString || value->type == tag::kOid ||
        value->type == tag::kNull || value->type == tag::kIpAddress ||
        value->type == tag::kOpaque || value->IsException()) {
        return std::nullopt;
    }
    return value->number;
}

std::string View::Text(Column column, const Oid& index) const {
    const Value* value = At(column, index);
    if (!value || value->type != tag::kOctetString) {
        return std::string();
    }
    return decoder_.ToUtf8(value->bytes, charset_);
}

std::string View::DisplayText(Column column, const Oid& index) const {
    const Value* value = At(column, index);
    if (!value || value->type != tag::kOctetString) {
        return std::string();
    }
    return decoder_.ToUtf8(value->bytes, charset::kUnknown);
}

std::string Lower(std::string text) {
    for (char& c : text) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return text;
}

bool HasWord(const std::string& text, const std::string& word) {
    const std::string lower = Lower(text);
    for (std::size_t at = lower.find(word); at != std::string::npos;
         at = lower.find(word, at + 1)) {
        const bool before = at == 0 || !IsWordChar(lower[at - 1]);
        const std::size_t end = at + word.size();
        const bool after = end == lower.size() || !IsWordChar(lower[end]);
        if (before && after) {
            return true;
        }
    }
    return false;
}

std::int32_t Clamp32(std::int64_t value) {
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(value, INT32_MIN, INT32_MAX));
}

std::map<std::uint32_t, std::string> Colorants(const View& view) {
    std::map<std::uint32_t, std::string> names;
    for (const Oid& index : view.Rows({kColorantValue})) {
        names[index[1]] = view.Text(kColorantValue, index);
    }
    return names;
}

std::string SupplyColorant(const View& view, const std::map<std::uint32_t, std::string>& colorants,
                           const Oid& index) {
    const auto colorant = view.Number(kSuppliesColorant, index);
    const auto named = colorant && *colorant > 0
                           ? colorants.find(static_cast<std::uint32_t>(*colorant))
                           : colorants.end();
    return named != colorants.end() ? named->second : std::string();
}

}  // namespace vyxsnmp::mapping
