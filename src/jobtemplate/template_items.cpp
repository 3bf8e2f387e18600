// Fetching one template's item text and turning it into the record's item block.
#include "template_items.h"

#include "frame/global_buffer.h"
#include "frame/query_module.h"
#include "jobtemplate/item_parser.h"

namespace vyx {
namespace {

constexpr std::size_t kItemTextBytes = 32768;

}  // namespace

LONG FetchTemplateItems(BiDiHandle* handle, TemplateRecord* record) noexcept {
    GlobalBuffer<TemplateItem> items(BIDI_MAX_TEMPLATE_ITEMS);
    GlobalBuffer<AnsiBlock<kItemTextBytes>> text;
    if (!items || !text) {
        return BIDI_ERR_FAILED;
    }
    // The module reads the record itself (its wide name first); the last argument is its own.
    LONG moduleOwned = 0;
    const LONG result =
        CallModule(handle, vyxquery::JobTPlate_GetTemplateItems, record, text->text, &moduleOwned);
    if (result != BIDI_OK) {
        return result;
    }
    LONG count = 0;
    ParseTemplateItems(items.get(), text->text, kItemTextBytes, &count);
    record->items = items.release();
    record->itemCount = count;
    return BIDI_OK;
}

}  // namespace vyx
