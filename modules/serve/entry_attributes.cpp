// Printer attributes: the session, trays and toners by 1-based index, the nine installable
// options, and the e-mail notification answer.
#define VYXQUERY_DECLARE_ENTRY_POINTS
#include <windows.h>
#include <vyxquery.h>

#include <cstdint>

#include "query_context.h"

using namespace vyxserve;

namespace {

constexpr std::size_t kConsumableTextBytes = 32;
constexpr std::size_t kInstallableTextBytes = 64;

LONG RequireAttributeSession(const QueryContext& context) {
    if (!context.connected) {
        return kNotConnected;
    }
    return context.attributes.open ? 0 : kNoSession;
}

const Printer& Attributes(const QueryContext& context) {
    return *context.attributes.printer;
}

LONG AnswerCount(LONG* count, std::size_t held, LONG extra) {
    if (!count) {
        return kNullArgument;
    }
    *count = ReportedCount(held, extra);
    return 0;
}

// Checks a 1-based index against what the printer really holds (not the overstated count).
LONG CheckIndex(const LONG* index, std::size_t held) {
    if (!index) {
        return kNullArgument;
    }
    return *index >= 1 && static_cast<std::size_t>(*index) <= held ? 0 : kBadIndex;
}

void SetValue(LONG* out, LONG value) {
    if (out) {
        *out = value;
    }
}

// Both texts are written whether or not the option is fitted, as a real module reports them.
template <typename Pfn>
LONG AnswerInstallable(VyxQueryContext* slot, vyxquery::EntryPoint<Pfn> entry,
                       InstallableKind which, LPSTR text1, LPSTR text2) {
    return Serve(slot, entry, [&](QueryContext& context, const Answers& answers) {
        if (const LONG refused = RequireAttributeSession(context)) {
            return refused;
        }
        const Installable& installable = Attributes(context).installables[which];
        answers.Display(text1, kInstallableTextBytes, installable.text1);
        answers.Display(text2, kInstallableTextBytes, installable.text2);
        return installable.installed ? LONG{0} : kNotInstalled;
    });
}

}  // namespace

extern "C" LONG WINAPI Attribute_OpenSession(VyxQueryContext* slot, LPCSTR, LPCSTR) {
    return Serve(slot, vyxquery::Attribute_OpenSession, [&](QueryContext& context, const Answers&) {
        if (!context.connected) {
            return kNotConnected;
        }
        if (context.attributes.open) {
            return kSessionOpen;
        }
        std::shared_ptr<Printer> printer;
        if (const LONG failed = context.TakeSnapshot(Scope::kAttributes, printer)) {
            return failed;
        }
        context.email = printer->email;
        context.attributes = AttributeSession{true, std::move(printer)};
        return LONG{0};
    });
}

extern "C" LONG WINAPI Attribute_CloseSession(VyxQueryContext* slot) {
    return Serve(slot, vyxquery::Attribute_CloseSession,
                 [&](QueryContext& context, const Answers&) {
                     if (const LONG refused = RequireAttributeSession(context)) {
                         return refused;
                     }
                     context.attributes = AttributeSession();
                     return LONG{0};
                 });
}

extern "C" LONG WINAPI Attribute_GetNumTrays(VyxQueryContext* slot, LONG* count) {
    return Serve(slot, vyxquery::Attribute_GetNumTrays, [&](QueryContext& context, const Answers&) {
        if (const LONG refused = RequireAttributeSession(context)) {
            return refused;
        }
        return AnswerCount(count, Attributes(context).trays.size(),
                           context.source->faults().extraTrays);
    });
}

extern "C" LONG WINAPI Attribute_GetNumColors(VyxQueryContext* slot, LONG* count) {
    return Serve(
        slot, vyxquery::Attribute_GetNumColors, [&](QueryContext& context, const Answers&) {
            if (const LONG refused = RequireAttributeSession(context)) {
                return refused;
            }
            return AnswerCount(count, Attributes(context).toners.size(),
                               context.source->faults().extraToners);
        });
}

extern "C" LONG WINAPI Attribute_GetIndexedTrays(VyxQueryContext* slot, LONG* index, LPSTR text1,
                                                 LONG* value1, LONG* value2, LPSTR text2,
                                                 LPSTR text3, LPSTR text4) {
    return Serve(slot, vyxquery::Attribute_GetIndexedTrays,
                 [&](QueryContext& context, const Answers& answers) {
                     if (const LONG refused = RequireAttributeSession(context)) {
                         return refused;
                     }
                     if (const LONG refused = CheckIndex(index, Attributes(context).trays.size())) {
                         return refused;
                     }
                     const Tray& tray = Attributes(context).trays[*index - 1];
                     answers.Display(text1, kConsumableTextBytes, tray.text1);
                     SetValue(value1, tray.value1);
                     SetValue(value2, tray.value2);
                     answers.Display(text2, kConsumableTextBytes, tray.text2);
                     answers.Display(text3, kConsumableTextBytes, tray.text3);
                     answers.Display(text4, kConsumableTextBytes, tray.text4);
                     return LONG{0};
                 });
}

extern "C" LONG WINAPI Attribute_GetIndexedColors(VyxQueryContext* slot, LONG* index, LPSTR text1,
                                                  LONG* value1, LONG* value2) {
    return Serve(slot, vyxquery::Attribute_GetIndexedColors,
                 [&](QueryContext& context, const Answers& answers) {
                     if (const LONG refused = RequireAttributeSession(context)) {
                         return refused;
                     }
                     if (const LONG refused = CheckIndex(index, Attributes(context).toners.size())) {
                         return refused;
                     }
                     const Toner& toner = Attributes(context).toners[*index - 1];
                     answers.Display(text1, kConsumableTextBytes, toner.text1);
                     SetValue(value1, toner.value1);
                     SetValue(value2, toner.value2);
                     return LONG{0};
                 });
}

extern "C" LONG WINAPI Attribute_GetSorter(VyxQueryContext* slot, LPSTR text1, LPSTR text2) {
    return AnswerInstallable(slot, vyxquery::Attribute_GetSorter, kSorter, text1, text2);
}

extern "C" LONG WINAPI Attribute_GetDuplex(VyxQueryContext* slot, LPSTR text1, LPSTR text2) {
    return AnswerInstallable(slot, vyxquery::Attribute_GetDuplex, kDuplex, text1, text2);
}

extern "C" LONG WINAPI Attribute_GetLowerTray(VyxQueryContext* slot, LPSTR text1, LPSTR text2) {
    return AnswerInstallable(slot, vyxquery::Attribute_GetLowerTray, kLowerTray, text1, text2);
}

extern "C" LONG WINAPI Attribute_GetFax(VyxQueryContext* slot, LPSTR text1, LPSTR text2) {
    return AnswerInstallable(slot, vyxquery::Attribute_GetFax, kFax, text1, text2);
}

extern "C" LONG WINAPI Attribute_GetFinisher(VyxQueryContext* slot, LPSTR text1, LPSTR text2) {
    return AnswerInstallable(slot, vyxquery::Attribute_GetFinisher, kFinisher, text1, text2);
}

extern "C" LONG WINAPI Attribute_GetFaceDownUnit(VyxQueryContext* slot, LPSTR text1, LPSTR text2) {
    return AnswerInstallable(slot, vyxquery::Attribute_GetFaceDownUnit, kFaceDownUnit, text1,
                             text2);
}

extern "C" LONG WINAPI Attribute_GetFinisherType(VyxQueryContext* slot, LPSTR text1, LPSTR text2) {
    return AnswerInstallable(slot, vyxquery::Attribute_GetFinisherType, kFinisherType, text1,
                             text2);
}

extern "C" LONG WINAPI Attribute_GetFinisherOption(VyxQueryContext* slot, LPSTR text1,
                                                   LPSTR text2) {
    return AnswerInstallable(slot, vyxquery::Attribute_GetFinisherOption, kFinisherOption, text1,
                             text2);
}

extern "C" LONG WINAPI Attribute_GetMFPOption(VyxQueryContext* slot, LPSTR text1, LPSTR text2) {
    return AnswerInstallable(slot, vyxquery::Attribute_GetMFPOption, kMfpOption, text1, text2);
}

// The caller's value is a plain number: the notification events it asks about, as a bit mask.
// The answer is 0 when e-mail notification is on and covers every one of them.
extern "C" LONG WINAPI Misc_GetEMail_Notification(VyxQueryContext* slot, void* value) {
    return Serve(
        slot, vyxquery::Misc_GetEMail_Notification, [&](QueryContext& context, const Answers&) {
            if (!context.connected) {
                return kNotConnected;
            }
            const EMailNotification& email = context.email;
            if (email.unreported != 0) {
                return static_cast<LONG>(email.unreported);
            }
            // All of the pointer-sized value counts: on x64 a bit above the 32 is an event too.
            const std::uint64_t asked = reinterpret_cast<std::uintptr_t>(value);
            return email.enabled && (asked & ~email.events) == 0 ? LONG{0} : kEMailOff;
        });
}
