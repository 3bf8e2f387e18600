// What this module reads of a printer's MIBs (the Printer MIB, the Finisher MIB, the Host
// Resources device table and the system description), and how that becomes the shared printer
// model. The walk brings back rows per column; the mapping joins them by index.
#pragma once

#include <array>
#include <cstddef>
#include <vector>

#include "printer.h"
#include "text.h"
#include "walk.h"

namespace vyxsnmp {

// The columns this module walks. Printer MIB tables are indexed by hrDeviceIndex first.
enum Column : std::size_t {
    kSysDescr,                   // sysDescr (a scalar: walked as a column of one row, .0)
    kGeneralLocalization,        // prtGeneralCurrentLocalization
    kLocalizationCharset,        // prtLocalizationCharacterSet
    kInputType,                  // prtInputType
    kInputDimUnit,               // prtInputDimUnit
    kInputFeedDim,               // prtInputMediaDimFeedDirDeclared
    kInputCrossFeedDim,          // prtInputMediaDimXFeedDirDeclared
    kInputMaxCapacity,           // prtInputMaxCapacity
    kInputCurrentLevel,          // prtInputCurrentLevel
    kInputStatus,                // prtInputStatus
    kInputMediaName,             // prtInputMediaName
    kInputName,                  // prtInputName
    kInputDescription,           // prtInputDescription
    kInputMediaType,             // prtInputMediaType
    kOutputName,                 // prtOutputName
    kOutputDescription,          // prtOutputDescription
    kOutputDelivery,             // prtOutputPageDeliveryOrientation
    kMarkerProcessColorants,     // prtMarkerProcessColorants
    kSuppliesColorant,           // prtMarkerSuppliesColorantIndex
    kSuppliesType,               // prtMarkerSuppliesType
    kSuppliesDescription,        // prtMarkerSuppliesDescription
    kSuppliesUnit,               // prtMarkerSuppliesSupplyUnit
    kSuppliesMaxCapacity,        // prtMarkerSuppliesMaxCapacity
    kSuppliesLevel,              // prtMarkerSuppliesLevel
    kColorantValue,              // prtMarkerColorantValue
    kMediaPathType,              // prtMediaPathType
    kMediaPathDescription,       // prtMediaPathDescription
    kFinisherType,               // finDeviceType
    kFinisherPresent,            // finDevicePresentOnOff
    kFinisherDescription,        // finDeviceDescription
    kDeviceType,                 // hrDeviceType
    kDeviceDescr,                // hrDeviceDescr
    kColumnCount
};

// The OID of a column (the object itself, without an index).
const Oid& ColumnOid(Column column);

// Which parts of the model a snapshot fills.
enum class Parts { kColour, kAttributes, kAll };

// The columns a snapshot of `parts` walks, in the order they are asked for.
std::vector<Column> ColumnsFor(Parts parts);

// The most columns one walk of a snapshot takes. From an agent that answers 64 bindings at a
// time (snmpsimd, and about what many printers' answers hold) a walk of 16 columns gets 4 rows
// of each per answer, so that a whole snapshot in two walks side by side reads a printer with a
// handful of inputs and a dozen supplies in two round trips.
constexpr std::size_t kColumnsPerWalk = 16;

// The columns of ColumnsFor(parts) as walks to go side by side: a table's columns stay in one
// walk (they have the same rows, so no repetition is spent on a column that has ended while its
// neighbours go on), the tables dealt largest first into the first walk with room for them.
// Each walk keeps the columns in ColumnsFor's order.
std::vector<std::vector<Column>> WalksFor(Parts parts);

// Walked rows by column; columns that were not walked stay empty.
struct MibData {
    std::array<Rows, kColumnCount> rows;
};

enum class MapStatus {
    kOk,
    kNotAPrinter,  // attributes were asked for and the agent reports none of the Printer MIB
};

// Fills the parts of `printer` that `parts` names from `data`; texts go through `decoder` in
// the printer's current localization. Templates stay empty (SNMP has none) and the e-mail
// setting is left alone (the MIB does not report one).
MapStatus MapPrinter(const MibData& data, Parts parts, const TextDecoder& decoder,
                     vyxserve::Printer& printer);

// The feature key and option values of the colour mode, for tests and the module's source.
constexpr const char* kColourModeKey = "ColorMode";
constexpr const char* kColourValue = "Color";
constexpr const char* kMonoValue = "Mono";

}  // namespace vyxsnmp
