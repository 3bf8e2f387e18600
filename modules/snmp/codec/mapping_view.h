// What the mapping's families share: the walked rows joined by index for the printer the agent
// lists first, read as numbers and texts, the words found in those texts, and the colorant
// table. Only the mapping's own files include it; printer_mib.h is the mapping's entry point.
#pragma once

#include <array>
#include <cstdint>
#include <initializer_list>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "printer.h"
#include "printer_mib.h"

namespace vyxsnmp::mapping {

// The Printer MIB's special quantities.
constexpr std::int32_t kUnknownQuantity = -2;

// The walked rows, joined by index, for the printer the agent lists first.
class View {
  public:
    View(const MibData& data, const TextDecoder& decoder);

    bool HasPrinter() const { return device_.has_value(); }

    // The row indexes (hrDeviceIndex, own index) of the printer's rows in any of `columns`.
    std::vector<Oid> Rows(std::initializer_list<Column> columns) const;

    // Every row index of a column, whatever device it belongs to.
    std::vector<Oid> AllRows(Column column) const;

    const Value* At(Column column, const Oid& index) const {
        const auto found = cells_[column].find(index);
        return found == cells_[column].end() ? nullptr : found->second;
    }

    std::optional<std::int64_t> Number(Column column, const Oid& index) const;

    // A Printer MIB text, decoded in the printer's localization.
    std::string Text(Column column, const Oid& index) const;

    // A DisplayString of another MIB (sysDescr, hrDeviceDescr): ASCII by definition, so its
    // bytes are only guessed at when they are not.
    std::string DisplayText(Column column, const Oid& index) const;

    std::uint32_t device() const { return device_.value_or(0); }

  private:
    const TextDecoder& decoder_;
    std::array<std::map<Oid, const Value*>, kColumnCount> cells_;
    std::optional<std::uint32_t> device_;
    int charset_ = charset::kUnknown;
};

std::string Lower(std::string text);

// True when `text` holds `word` (lower case ASCII) as a word of its own, in any case.
bool HasWord(const std::string& text, const std::string& word);

std::int32_t Clamp32(std::int64_t value);

// The colorant table's names by prtMarkerColorantIndex.
std::map<std::uint32_t, std::string> Colorants(const View& view);

// The colorant a supply names through prtMarkerSuppliesColorantIndex; empty without one.
std::string SupplyColorant(const View& view, const std::map<std::uint32_t, std::string>& colorants,
                           const Oid& index);

// The families, each filling its part of the model from the view (mapping_<family>.cpp).
void MapFeatures(const View& view, vyxserve::Printer& printer);

void MapTrays(const View& view, vyxserve::Printer& printer);

void MapToners(const View& view, vyxserve::Printer& printer);

void MapInstallables(const View& view, vyxserve::Printer& printer);

}  // namespace vyxsnmp::mapping
