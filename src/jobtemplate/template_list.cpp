// The job template listings, by name and tag or with each template's items, and their release.
#include <windows.h>
#include <vyxbidi.h>

#include <algorithm>

#include "frame/global_buffer.h"
#include "frame/query_module.h"
#include "frame/text.h"
#include "jobtemplate/template_items.h"

namespace vyx {
namespace {

constexpr std::size_t kNameBytes = 64;

// Releases the item blocks of the first `count` records; a count beyond the array is cut to it.
void ReleaseItemBlocks(const TemplateRecord* records, LONG count) noexcept {
    const LONG walked = std::min<LONG>(count, BIDI_MAX_TEMPLATES);
    for (LONG i = 0; i < walked; ++i) {
        ReleaseGlobal(records[i].items);
    }
}

// The record array while a listing fills it: unless handed over, it goes back together with the
// item blocks of the records completed so far. Only those are released, so nothing that the
// module may have written into the record it was shown is ever taken for a block.
class TemplateArray {
  public:
    TemplateArray() noexcept : records_(BIDI_MAX_TEMPLATES) {}
    TemplateArray(const TemplateArray&) = delete;
    TemplateArray& operator=(const TemplateArray&) = delete;
    ~TemplateArray() { ReleaseItemBlocks(records_.get(), completed_); }

    explicit operator bool() const noexcept { return static_cast<bool>(records_); }
    TemplateRecord* At(LONG index) const noexcept { return &records_[index]; }
    void Completed(LONG count) noexcept { completed_ = count; }

    [[nodiscard]] TemplateRecord* release() noexcept {
        completed_ = 0;
        return records_.release();
    }

  private:
    GlobalBuffer<TemplateRecord> records_;
    LONG completed_ = 0;
};

// Asks for the name and tag of the template at `*index` (the listing's own counter, passed by
// address) and stores them in `record`.
LONG FetchTemplateName(BiDiHandle* handle, LONG* index, TemplateRecord* record) noexcept {
    GlobalBuffer<AnsiBlock<kNameBytes>> name;
    if (!name) {
        return BIDI_ERR_FAILED;
    }
    LONG tag = 0;  // kept when the module answers without writing a tag
    const LONG result =
        CallModule(handle, vyxquery::JobTPlate_GetTemplateNames, index, name->text, &tag);
    if (result != BIDI_OK) {
        return result;
    }
    WidenText(record->name, *name);
    record->tag = tag;
    return BIDI_OK;
}

// Both listings: names and, with `withItems`, items, template by template. The caller's list is
// cleared first and written again only on success.
LONG ListTemplates(BiDiHandle* handle, TemplateList* list, bool withItems) noexcept {
    if (!handle || !list) {
        return BIDI_ERR_BAD_ARGUMENT;
    }
    list->templates = nullptr;
    list->count = 0;
    TemplateArray records;
    if (!records) {
        return BIDI_ERR_FAILED;
    }
    LONG reported = 0;
    if (const LONG failed = CallModule(handle, vyxquery::JobTPlate_QueryTemplateNames, &reported)) {
        return failed;
    }
    // Templates beyond the array's 64 are never asked for.
    const LONG wanted = std::min<LONG>(reported, BIDI_MAX_TEMPLATES);
    LONG i = 0;
    while (i < wanted) {
        const LONG index = i;
        TemplateRecord* record = records.At(index);
        const LONG failed = FetchTemplateName(handle, &i, record);
        // The module sees the counter's address; whatever it writes there, the walk goes on
        // from the index it was asked for.
        i = index;
        if (failed) {
            return failed;
        }
        if (withItems) {
            if (const LONG itemsFailed = FetchTemplateItems(handle, record)) {
                return itemsFailed;
            }
        }
        ++i;
        records.Completed(i);
    }
    list->templates = records.release();
    list->count = i;
    return BIDI_OK;
}

}  // namespace
}  // namespace vyx

using namespace vyx;

extern "C" LONG WINAPI JobTplate_GetNames(BiDiHandle* handle, TemplateList* list) {
    return ListTemplates(handle, list, false);
}

extern "C" LONG WINAPI JobTplate_GetAll(BiDiHandle* handle, TemplateList* list) {
    return ListTemplates(handle, list, true);
}

extern "C" LONG WINAPI JobTplate_GetNames_Free(BiDiHandle*, TemplateList* list) {
    if (list) {
        ReleaseGlobal(list->templates);
    }
    return BIDI_OK;
}

extern "C" LONG WINAPI JobTplate_GetAll_Free(BiDiHandle*, TemplateList* list) {
    if (list && list->templates) {
        ReleaseItemBlocks(list->templates, list->count);
        ReleaseGlobal(list->templates);
    }
    return BIDI_OK;
}
