// The attribute section (trays, toners, installable options) and the e-mail notification query.
#include <vyxbidi.h>

#include <algorithm>
#include <cstdint>

#include "sections.h"
#include "text.h"

namespace bidiprobe {
namespace {

// The e-mail answers that only say the printer lacks notification by e-mail for the value asked
// about: the shared code every query module of this project answers when notification is off
// or does not cover the value (an IPP printer without mailto among its notify schemes), and
// the SNMP module's own code (the Printer MIB does not report it).
constexpr LONG kEMailNotCovered = 0x200B;
constexpr LONG kEMailNotReported = 0x220A;

const char* EMailLack(LONG result) {
    switch (result) {
        case kEMailNotCovered:
            return "e-mail notification off for this value";
        case kEMailNotReported:
            return "not reported by this printer";
        default:
            return nullptr;
    }
}

// How many records may be read from a block: the count the library gave, but never past the
// block's own size, so a wrong count cannot make the probe read foreign memory.
template <typename Record>
LONG ReadableRecords(const Record* block, LONG count) {
    if (!block || count <= 0) {
        return 0;
    }
    if (HGLOBAL handle = GlobalHandle(block)) {
        const SIZE_T size = GlobalSize(handle);
        if (size > 0) {
            return static_cast<LONG>(std::min<SIZE_T>(count, size / sizeof(Record)));
        }
    }
    return count;
}

Json Trays(Session& session) {
    Json part = Json::object();
    if (!session.Require(part, {"Attrib_GetPaperConsumables", "Attrib_FreePaperConsBuffers"})) {
        return part;
    }
    Json calls = Json::array();
    TrayRecord* trays = nullptr;
    LONG count = 0;
    BIDIPROBE_CALL(session, calls, Attrib_GetPaperConsumables, session.handle, &trays, &count);
    Json records = Json::array();
    for (LONG i = 0; i < ReadableRecords(trays, count); ++i) {
        const TrayRecord& tray = trays[i];
        records.push_back(Json{{"text1", FieldText(tray.text1)},
                               {"value1", tray.value1},
                               {"value2", tray.value2},
                               {"text2", FieldText(tray.text2)},
                               {"text3", FieldText(tray.text3)},
                               {"text4", FieldText(tray.text4)}});
    }
    if (trays) {
        BIDIPROBE_CALL(session, calls, Attrib_FreePaperConsBuffers, session.handle, &trays);
    }
    part["calls"] = std::move(calls);
    part["count"] = count;
    part["records"] = std::move(records);
    return part;
}

Json Toners(Session& session) {
    Json part = Json::object();
    if (!session.Require(part, {"Attrib_GetTonerConsumables", "Attrib_FreeTonerConsBuffers"})) {
        return part;
    }
    Json calls = Json::array();
    TonerRecord* toners = nullptr;
    LONG count = 0;
    BIDIPROBE_CALL(session, calls, Attrib_GetTonerConsumables, session.handle, &toners, &count);
    Json records = Json::array();
    for (LONG i = 0; i < ReadableRecords(toners, count); ++i) {
        const TonerRecord& toner = toners[i];
        records.push_back(Json{
            {"text1", FieldText(toner.text1)}, {"value1", toner.value1}, {"value2", toner.value2}});
    }
    if (toners) {
        BIDIPROBE_CALL(session, calls, Attrib_FreeTonerConsBuffers, session.handle, &toners);
    }
    part["calls"] = std::move(calls);
    part["count"] = count;
    part["records"] = std::move(records);
    return part;
}

struct InstallableField {
    const char* name;
    InstallableSlot InstallablesRecord::*slot;
    DWORD bit;
};

const InstallableField kInstallableFields[] = {
    {"sorter", &InstallablesRecord::sorter, BIDI_HAS_SORTER},
    {"duplex", &InstallablesRecord::duplex, BIDI_HAS_DUPLEX},
    {"lowerTray", &InstallablesRecord::lowerTray, BIDI_HAS_LOWER_TRAY},
    {"fax", &InstallablesRecord::fax, BIDI_HAS_FAX},
    {"finisher", &InstallablesRecord::finisher, BIDI_HAS_FINISHER},
    {"faceDownUnit", &InstallablesRecord::faceDownUnit, BIDI_HAS_FACE_DOWN_UNIT},
    {"finisherType", &InstallablesRecord::finisherType, BIDI_HAS_FINISHER_TYPE},
    {"finisherOption", &InstallablesRecord::finisherOption, BIDI_HAS_FINISHER_OPTION},
    {"mfpOption", &InstallablesRecord::mfpOption, BIDI_HAS_MFP_OPTION},
};

// The record is handed out also when no option answered (BIDI_ERR_FAILED), so it is released
// whenever one came back. That answer with a record means nothing is fitted; without one it is
// a failure.
Json Installables(Session& session) {
    Json part = Json::object();
    if (!session.Require(part,
                         {"Attrib_GetInstallableOptions", "Attrib_FreeInstallablesBuffers"})) {
        return part;
    }
    Json calls = Json::array();
    InstallablesRecord* record = nullptr;
    DWORD presence = 0;
    const auto nothingFitted = [&record, &presence](LONG result) {
        return result == BIDI_ERR_FAILED && record && presence == 0 ? "nothing fitted" : nullptr;
    };
    BIDIPROBE_CALL_JUDGED(session, calls, nothingFitted, Attrib_GetInstallableOptions,
                          session.handle, &record, &presence);
    Json options = Json::array();
    if (record) {
        for (const InstallableField& field : kInstallableFields) {
            const InstallableSlot& slot = record->*field.slot;
            options.push_back(Json{{"name", field.name},
                                   {"present", (presence & field.bit) != 0},
                                   {"text1", FieldText(slot.text1)},
                                   {"text2", FieldText(slot.text2)}});
        }
        BIDIPROBE_CALL(session, calls, Attrib_FreeInstallablesBuffers, session.handle, &record);
    }
    part["calls"] = std::move(calls);
    part["presence"] = presence;
    part["options"] = std::move(options);
    return part;
}

}  // namespace

Json Attributes(Session& session, int parts) {
    Json section = Json::object();
    if (!session.Require(section, {"Attrib_OpenSession", "Attrib_CloseSession"})) {
        return section;
    }
    Json open = Json::array();
    const LONG opened =
        BIDIPROBE_CALL(session, open, Attrib_OpenSession, session.handle, nullptr, nullptr);
    section["open"] = std::move(open);
    if (opened != BIDI_OK) {
        return section;
    }
    if (parts & kTrays) {
        section["trays"] = Trays(session);
    }
    if (parts & kToners) {
        section["toners"] = Toners(session);
    }
    if (parts & kInstallables) {
        section["installables"] = Installables(session);
    }
    Json close = Json::array();
    BIDIPROBE_CALL(session, close, Attrib_CloseSession, session.handle);
    section["close"] = std::move(close);
    return section;
}

// The value travels as the export's pointer-sized argument, unchanged.
Json EMailNotification(Session& session, std::uintptr_t value) {
    Json section{{"value", value}};
    if (!session.Require(section, {"Misc_GetEMailNotification"})) {
        return section;
    }
    Json calls = Json::array();
    BIDIPROBE_CALL_JUDGED(session, calls, EMailLack, Misc_GetEMailNotification, session.handle,
                          reinterpret_cast<void*>(value));
    section["calls"] = std::move(calls);
    return section;
}

}  // namespace bidiprobe
