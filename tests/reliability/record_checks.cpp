// Structural checks of handed-out records, by field, with the first fault named.
#include "record_checks.h"

#include <cstddef>
#include <string>

namespace vyxtest {
namespace {

std::size_t BlockSize(const void* record) {
    const HGLOBAL block = GlobalHandle(record);
    return block ? GlobalSize(block) : 0;
}

// A terminated string, then zeros to the field's end.
template <std::size_t N>
bool SoundField(const WCHAR (&field)[N]) {
    std::size_t i = 0;
    while (i < N && field[i] != L'\0') {
        ++i;
    }
    if (i == N) {
        return false;
    }
    for (; i < N; ++i) {
        if (field[i] != L'\0') {
            return false;
        }
    }
    return true;
}

bool AllZero(const void* bytes, std::size_t size) {
    const auto* p = static_cast<const BYTE*>(bytes);
    for (std::size_t i = 0; i < size; ++i) {
        if (p[i] != 0) {
            return false;
        }
    }
    return true;
}

std::string At(const char* what, long index) {
    return std::string(what) + " at " + std::to_string(index);
}

std::string SizeFault(const char* record, std::size_t actual, std::size_t expected) {
    return std::string(record) + " block holds " + std::to_string(actual) + " bytes, not " +
           std::to_string(expected);
}

// The pairs of a list or an info record: `count` sound pairs, then null slots.
template <std::size_t N>
std::string CheckPairs(TextPair* const (&pairs)[N], SHORT count) {
    if (count < 0 || count > static_cast<SHORT>(N)) {
        return "count " + std::to_string(count) + " outside 0.." + std::to_string(N);
    }
    for (SHORT i = 0; i < count; ++i) {
        const TextPair* pair = pairs[i];
        if (!pair) {
            return At("null pair", i);
        }
        if (BlockSize(pair) != sizeof(TextPair)) {
            return SizeFault("TextPair", BlockSize(pair), sizeof(TextPair));
        }
        if (!SoundField(pair->first) || !SoundField(pair->second)) {
            return At("unterminated or unclean pair string", i);
        }
    }
    for (std::size_t i = count; i < N; ++i) {
        if (pairs[i]) {
            return At("pair slot past the count is not null", static_cast<long>(i));
        }
    }
    return {};
}

}  // namespace

std::string CheckFeatureList(const FeatureList* list) {
    if (BlockSize(list) != sizeof(FeatureList)) {
        return SizeFault("FeatureList", BlockSize(list), sizeof(FeatureList));
    }
    if (list->reserved != 0) {
        return "FeatureList.reserved is not zero";
    }
    return CheckPairs(list->features, list->featureCount);
}

std::string CheckFeatureInfo(const FeatureInfo* info) {
    if (BlockSize(info) != sizeof(FeatureInfo)) {
        return SizeFault("FeatureInfo", BlockSize(info), sizeof(FeatureInfo));
    }
    if (info->reserved != 0) {
        return "FeatureInfo.reserved is not zero";
    }
    if (!SoundField(info->currentKey.first) || !SoundField(info->currentKey.second)) {
        return "FeatureInfo.currentKey string unterminated or unclean";
    }
    if (!SoundField(info->selectedOption.first) || !SoundField(info->selectedOption.second)) {
        return "FeatureInfo.selectedOption string unterminated or unclean";
    }
    return CheckPairs(info->options, info->optionCount);
}

std::string CheckTrays(const TrayRecord* trays, LONG count) {
    const std::size_t expected = static_cast<std::size_t>(count) * sizeof(TrayRecord);
    if (BlockSize(trays) != expected) {
        return SizeFault("tray", BlockSize(trays), expected);
    }
    for (LONG i = 0; i < count; ++i) {
        const TrayRecord& t = trays[i];
        if (!SoundField(t.text1) || !SoundField(t.text2) || !SoundField(t.text3) ||
            !SoundField(t.text4)) {
            return At("unterminated or unclean tray text", i);
        }
    }
    return {};
}

std::string CheckToners(const TonerRecord* toners, LONG count) {
    const std::size_t expected = static_cast<std::size_t>(count) * sizeof(TonerRecord);
    if (BlockSize(toners) != expected) {
        return SizeFault("toner", BlockSize(toners), expected);
    }
    for (LONG i = 0; i < count; ++i) {
        if (!SoundField(toners[i].text1)) {
            return At("unterminated or unclean toner text", i);
        }
    }
    return {};
}

std::string CheckInstallables(const InstallablesRecord* record) {
    if (BlockSize(record) != sizeof(InstallablesRecord)) {
        return SizeFault("InstallablesRecord", BlockSize(record), sizeof(InstallablesRecord));
    }
    const auto* slots = reinterpret_cast<const InstallableSlot*>(record);
    for (int i = 0; i < 9; ++i) {
        if (!SoundField(slots[i].text2) || !SoundField(slots[i].text1)) {
            return At("unterminated or unclean installable text in slot", i);
        }
    }
    return {};
}

namespace {

// Items 0 to count-1 sound; the entry at `count` may hold the key of an unfinished line; every
// byte after that is zero.
std::string CheckItems(const TemplateItem* items, LONG count) {
    if (BlockSize(items) != sizeof(TemplateItem) * BIDI_MAX_TEMPLATE_ITEMS) {
        return SizeFault("item", BlockSize(items), sizeof(TemplateItem) * BIDI_MAX_TEMPLATE_ITEMS);
    }
    if (count < 0 || count > BIDI_MAX_TEMPLATE_ITEMS) {
        return "itemCount " + std::to_string(count) + " outside 0..128";
    }
    for (LONG i = 0; i < count; ++i) {
        if (!SoundField(items[i].key) || !SoundField(items[i].value)) {
            return At("unterminated or unclean item", i);
        }
    }
    if (count == BIDI_MAX_TEMPLATE_ITEMS) {
        return {};
    }
    if (!SoundField(items[count].key) || !AllZero(items[count].value, sizeof items[count].value)) {
        return At("item past the count holds more than an unfinished key", count);
    }
    const std::size_t rest = (BIDI_MAX_TEMPLATE_ITEMS - count - 1) * sizeof(TemplateItem);
    return AllZero(items + count + 1, rest) ? std::string() : "bytes after the items are not zero";
}

}  // namespace

std::string CheckTemplates(const TemplateList& list, bool withItems) {
    const TemplateRecord* records = list.templates;
    const std::size_t arrayBytes = sizeof(TemplateRecord) * BIDI_MAX_TEMPLATES;
    if (!records) {
        return "null template array";
    }
    if (BlockSize(records) != arrayBytes) {
        return SizeFault("template", BlockSize(records), arrayBytes);
    }
    if (list.count < 0 || list.count > BIDI_MAX_TEMPLATES) {
        return "template count " + std::to_string(list.count) + " outside 0..64";
    }
    for (LONG i = 0; i < list.count; ++i) {
        const TemplateRecord& r = records[i];
        if (!SoundField(r.name)) {
            return At("unterminated or unclean template name", i);
        }
        if (!withItems) {
            if (r.items || r.itemCount) {
                return At("name-only template with items", i);
            }
            continue;
        }
        if (!r.items) {
            return At("template without an item block", i);
        }
        const std::string items = CheckItems(r.items, r.itemCount);
        if (!items.empty()) {
            return At("template", i) + ": " + items;
        }
    }
    const std::size_t rest = (BIDI_MAX_TEMPLATES - list.count) * sizeof(TemplateRecord);
    return AllZero(records + list.count, rest) ? std::string()
                                               : "bytes past the last template are not zero";
}

void AddBlock(const void* record, std::set<HGLOBAL>& blocks) {
    if (record) {
        blocks.insert(GlobalHandle(record));
    }
}

void AddBlocks(const FeatureList* list, std::set<HGLOBAL>& blocks) {
    AddBlock(list, blocks);
    for (SHORT i = 0; i < list->featureCount && i < BIDI_MAX_FEATURES; ++i) {
        AddBlock(list->features[i], blocks);
    }
}

void AddBlocks(const FeatureInfo* info, std::set<HGLOBAL>& blocks) {
    AddBlock(info, blocks);
    for (SHORT i = 0; i < info->optionCount && i < BIDI_MAX_OPTIONS; ++i) {
        AddBlock(info->options[i], blocks);
    }
}

void AddBlocks(const TemplateList& list, std::set<HGLOBAL>& blocks) {
    AddBlock(list.templates, blocks);
    for (LONG i = 0; i < list.count && i < BIDI_MAX_TEMPLATES; ++i) {
        AddBlock(list.templates[i].items, blocks);
    }
}

}  // namespace vyxtest
