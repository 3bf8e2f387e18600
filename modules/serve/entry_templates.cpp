// Job templates: their number, each one's name and tag by 0-based index, and its item text.
#define VYXQUERY_DECLARE_ENTRY_POINTS
#include <windows.h>
#include <vyxquery.h>

#include "query_context.h"

using namespace vyxserve;

namespace {

constexpr std::size_t kNameBytes = 64;
constexpr std::size_t kItemTextBytes = 32768;

LONG RequireConnection(const QueryContext& context) {
    return context.connected && context.templates ? 0 : kNotConnected;
}

// The item text: one "key TAB value LF" line per item, as many whole lines as fit with the
// terminator. A template's raw text is sent as it stands instead.
std::string ItemText(const JobTemplate& jobTemplate, LONG& lines) {
    lines = 0;
    if (jobTemplate.rawItems) {
        return ToAnsi(*jobTemplate.rawItems);
    }
    std::string text;
    for (const ItemPair& item : jobTemplate.items) {
        const std::string line = ToAnsi(item.first) + '\t' + ToAnsi(item.second) + '\n';
        if (text.size() + line.size() > kItemTextBytes - 1) {
            break;
        }
        text += line;
        ++lines;
    }
    return text;
}

}  // namespace

extern "C" LONG WINAPI JobTPlate_QueryTemplateNames(VyxQueryContext* slot, LONG* count) {
    return Serve(slot, vyxquery::JobTPlate_QueryTemplateNames,
                 [&](QueryContext& context, const Answers&) {
                     if (const LONG refused = RequireConnection(context)) {
                         return refused;
                     }
                     if (!count) {
                         return kNullArgument;
                     }
                     std::shared_ptr<Printer> printer;
                     if (const LONG failed = context.TakeSnapshot(Scope::kTemplates, printer)) {
                         return failed;
                     }
                     context.templates = std::move(printer);
                     *count = ReportedCount(context.templates->templates.size(),
                                            context.source->faults().extraTemplates);
                     return LONG{0};
                 });
}

extern "C" LONG WINAPI JobTPlate_GetTemplateNames(VyxQueryContext* slot, LONG* index, LPSTR name,
                                                  LONG* tag) {
    return Serve(slot, vyxquery::JobTPlate_GetTemplateNames,
                 [&](QueryContext& context, const Answers& answers) {
                     if (const LONG refused = RequireConnection(context)) {
                         return refused;
                     }
                     if (!index) {
                         return kNullArgument;
                     }
                     const auto& templates = context.templates->templates;
                     if (*index < 0 || static_cast<std::size_t>(*index) >= templates.size()) {
                         return kBadIndex;
                     }
                     const JobTemplate& jobTemplate = templates[*index];
                     answers.Text(name, kNameBytes, jobTemplate.name);
                     if (tag) {
                         *tag = jobTemplate.tag;
                     }
                     return LONG{0};
                 });
}

// The template is found by its tag: the record's name has been through the ANSI code page and
// back, so a name that the code page cannot hold would no longer match.
extern "C" LONG WINAPI JobTPlate_GetTemplateItems(VyxQueryContext* slot, TemplateRecord* record,
                                                  LPSTR text, LONG* lines) {
    return Serve(slot, vyxquery::JobTPlate_GetTemplateItems,
                 [&](QueryContext& context, const Answers& answers) {
                     if (const LONG refused = RequireConnection(context)) {
                         return refused;
                     }
                     if (!record) {
                         return kNullArgument;
                     }
                     for (const JobTemplate& jobTemplate : context.templates->templates) {
                         if (jobTemplate.tag == record->tag) {
                             LONG written = 0;
                             answers.Raw(text, kItemTextBytes, ItemText(jobTemplate, written));
                             if (lines) {
                                 *lines = written;
                             }
                             return LONG{0};
                         }
                     }
                     return kUnknownTemplate;
                 });
}
