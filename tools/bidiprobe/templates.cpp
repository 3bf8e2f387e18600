// The template section: names and tags, or names with their items.
#include <vyxbidi.h>

#include <algorithm>

#include "sections.h"
#include "text.h"

namespace bidiprobe {
namespace {

Json Items(const TemplateRecord& record) {
    Json items = Json::array();
    if (!record.items) {
        return items;
    }
    for (LONG i = 0; i < std::clamp<LONG>(record.itemCount, 0, BIDI_MAX_TEMPLATE_ITEMS); ++i) {
        const TemplateItem& item = record.items[i];
        items.push_back(Json{{"key", FieldText(item.key)}, {"value", FieldText(item.value)}});
    }
    return items;
}

}  // namespace

Json Templates(Session& session, bool items) {
    Json section{{"withItems", items}};
    const bool available =
        items ? session.Require(section, {"JobTplate_GetAll", "JobTplate_GetAll_Free"})
              : session.Require(section, {"JobTplate_GetNames", "JobTplate_GetNames_Free"});
    if (!available) {
        return section;
    }
    Json calls = Json::array();
    TemplateList list{nullptr, 0};
    if (items) {
        BIDIPROBE_CALL(session, calls, JobTplate_GetAll, session.handle, &list);
    } else {
        BIDIPROBE_CALL(session, calls, JobTplate_GetNames, session.handle, &list);
    }
    Json templates = Json::array();
    if (list.templates) {
        for (LONG i = 0; i < std::clamp<LONG>(list.count, 0, BIDI_MAX_TEMPLATES); ++i) {
            const TemplateRecord& record = list.templates[i];
            Json entry{{"name", FieldText(record.name)}, {"tag", record.tag}};
            if (items) {
                entry["items"] = Items(record);
            }
            templates.push_back(std::move(entry));
        }
        if (items) {
            BIDIPROBE_CALL(session, calls, JobTplate_GetAll_Free, session.handle, &list);
        } else {
            BIDIPROBE_CALL(session, calls, JobTplate_GetNames_Free, session.handle, &list);
        }
    }
    section["calls"] = std::move(calls);
    section["count"] = list.count;
    section["templates"] = std::move(templates);
    return section;
}

}  // namespace bidiprobe
