// A template's items: fetched from the query module and attached to its record.
#pragma once

#include <windows.h>
#include <vyxbidi.h>

namespace vyx {

// Asks the query module for the item text of the template in `record` (name and tag filled,
// items still null) and stores the parsed item block and its count in the record. On failure
// (the module's result, BIDI_ERR_NO_ENTRY_POINT, or BIDI_ERR_FAILED without memory) the library
// has left the record alone and released everything it took.
LONG FetchTemplateItems(BiDiHandle* handle, TemplateRecord* record) noexcept;

}  // namespace vyx
