// A snapshot: the needed columns walked side by side, mapped to the model.
#include "snapshot.h"

#include "codes.h"

namespace vyxsnmp {

std::int32_t TakeSnapshot(Walker& walker, Parts parts, const WalkLimits& limits,
                          const TextDecoder& decoder, vyxserve::Printer& printer) {
    std::vector<Column> columns;
    std::vector<std::vector<Oid>> walks;
    for (const std::vector<Column>& walk : WalksFor(parts)) {
        walks.emplace_back();
        for (const Column column : walk) {
            columns.push_back(column);
            walks.back().push_back(ColumnOid(column));
        }
    }
    std::vector<Rows> rows;
    const WalkOutcome outcome = walker.WalkSideBySide(walks, rows, limits);
    if (outcome.status != WalkStatus::kOk) {
        return CodeFor(outcome);
    }
    MibData data;
    for (std::size_t i = 0; i < columns.size(); ++i) {
        data.rows[columns[i]] = std::move(rows[i]);
    }
    vyxserve::Printer fresh = printer;
    if (MapPrinter(data, parts, decoder, fresh) != MapStatus::kOk) {
        return code::kNotAPrinter;
    }
    printer = std::move(fresh);
    return 0;
}

}  // namespace vyxsnmp
