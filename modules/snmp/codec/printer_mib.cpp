// The Printer MIB mapping: the OID of each column, which columns each snapshot walks, and which
// family (mapping_<family>.cpp) fills each part of the printer model.
#include "printer_mib.h"

#include <algorithm>

#include "mapping_view.h"

namespace vyxsnmp {
namespace {

Oid Mib2(std::initializer_list<std::uint32_t> tail) {
    return Oid{1, 3, 6, 1, 2, 1}.Plus(tail);
}
Oid Prt(std::initializer_list<std::uint32_t> tail) {
    return Oid{1, 3, 6, 1, 2, 1, 43}.Plus(tail);
}

}  // namespace

const Oid& ColumnOid(Column column) {
    // clang-format off
    static const std::array<Oid, kColumnCount> kOids = {
        Mib2({1, 1}),                                                    // sysDescr
        Prt({5, 1, 1, 2}),  Prt({7, 1, 1, 4}),                             // localization
        Prt({8, 2, 1, 2}),  Prt({8, 2, 1, 3}),  Prt({8, 2, 1, 4}),  Prt({8, 2, 1, 5}),
        Prt({8, 2, 1, 9}),  Prt({8, 2, 1, 10}), Prt({8, 2, 1, 11}), Prt({8, 2, 1, 12}),
        Prt({8, 2, 1, 13}), Prt({8, 2, 1, 18}), Prt({8, 2, 1, 21}),        // inputs
        Prt({9, 2, 1, 7}),  Prt({9, 2, 1, 12}), Prt({9, 2, 1, 20}),        // outputs
        Prt({10, 2, 1, 6}),                                                // markers
        Prt({11, 1, 1, 3}), Prt({11, 1, 1, 5}), Prt({11, 1, 1, 6}), Prt({11, 1, 1, 7}),
        Prt({11, 1, 1, 8}), Prt({11, 1, 1, 9}),                            // supplies
        Prt({12, 1, 1, 4}),                                                // colorants
        Prt({13, 4, 1, 9}), Prt({13, 4, 1, 10}),                           // media paths
        Prt({30, 1, 1, 2}), Prt({30, 1, 1, 3}), Prt({30, 1, 1, 10}),       // finishers
        Mib2({25, 3, 2, 1, 2}), Mib2({25, 3, 2, 1, 3}),                    // hrDeviceTable
    };
    // clang-format on
    return kOids[column];
}

std::vector<Column> ColumnsFor(Parts parts) {
    std::vector<Column> columns;
    for (std::size_t c = 0; c < kColumnCount; ++c) {
        const Column column = static_cast<Column>(c);
        // Colour: the markers, the colorants, and the supplies' colorants and descriptions
        // (read in the printer's localization) for a printer that reports neither of the first.
        const bool colour = column == kMarkerProcessColorants || column == kColorantValue ||
                            column == kSuppliesColorant || column == kSuppliesDescription ||
                            column == kGeneralLocalization || column == kLocalizationCharset;
        const bool attributes = column != kMarkerProcessColorants;
        if (parts == Parts::kAll || (parts == Parts::kColour ? colour : attributes)) {
            columns.push_back(column);
        }
    }
    return columns;
}

std::vector<std::vector<Column>> WalksFor(Parts parts) {
    // The tables, each its columns (a table's columns are its entry's children; sysDescr stands
    // in the system group), in the order of their first column.
    std::vector<std::vector<Column>> tables;
    std::vector<Oid> entries;
    for (const Column column : ColumnsFor(parts)) {
        const Oid& oid = ColumnOid(column);
        const Oid entry(std::vector<std::uint32_t>(oid.parts().begin(), oid.parts().end() - 1));
        const auto at = std::find(entries.begin(), entries.end(), entry);
        if (at == entries.end()) {
            entries.push_back(entry);
            tables.push_back({column});
        } else {
            tables[static_cast<std::size_t>(at - entries.begin())].push_back(column);
        }
    }
    std::stable_sort(tables.begin(), tables.end(),
                     [](const auto& a, const auto& b) { return a.size() > b.size(); });
    std::vector<std::vector<Column>> walks;
    for (const std::vector<Column>& table : tables) {
        auto room = std::find_if(walks.begin(), walks.end(), [&](const auto& walk) {
            return walk.size() + table.size() <= kColumnsPerWalk;
        });
        if (room == walks.end()) {
            walks.emplace_back();
            room = walks.end() - 1;
        }
        room->insert(room->end(), table.begin(), table.end());
    }
    for (std::vector<Column>& walk : walks) {
        std::sort(walk.begin(), walk.end());
    }
    return walks;
}

MapStatus MapPrinter(const MibData& data, Parts parts, const TextDecoder& decoder,
                     vyxserve::Printer& printer) {
    const mapping::View view(data, decoder);
    if (parts != Parts::kColour && !view.HasPrinter()) {
        return MapStatus::kNotAPrinter;
    }
    if (parts != Parts::kAttributes) {
        mapping::MapFeatures(view, printer);
    }
    if (parts != Parts::kColour) {
        mapping::MapTrays(view, printer);
        mapping::MapToners(view, printer);
        mapping::MapInstallables(view, printer);
    }
    printer.templates.clear();
    return MapStatus::kOk;
}

}  // namespace vyxsnmp
