// Follows the caller's order around the command's sections and gathers the report.
#include "probe.h"

#include "admin.h"
#include "result_codes.h"
#include "sections.h"
#include "text.h"

namespace bidiprobe {
namespace {

const char* CommandName(Command command) {
    switch (command) {
        case Command::kDump:
            return "dump";
        case Command::kFeatures:
            return "features";
        case Command::kFeature:
            return "feature";
        case Command::kSelect:
            return "select";
        case Command::kTrays:
            return "trays";
        case Command::kToners:
            return "toners";
        case Command::kInstallables:
            return "installables";
        case Command::kTemplates:
            return "templates";
        case Command::kEMail:
            return "email";
        case Command::kCredential:
            return "credential";
        case Command::kTrust:
            return "trust";
    }
    return "";
}

Json Nullable(const std::optional<std::wstring>& text) {
    return text ? Json(Utf8(*text)) : Json(nullptr);
}

const wchar_t* Pointer(const std::optional<std::wstring>& text) {
    return text ? text->c_str() : nullptr;
}

void RunSections(Session& session, const Options& options, Json& report) {
    switch (options.command) {
        case Command::kDump:
            report["colour"] = ColourFeatures(session, true);
            report["attributes"] = Attributes(session, kTrays | kToners | kInstallables);
            report["email"] = EMailNotification(session, 0);
            report["templates"] = Templates(session, true);
            break;
        case Command::kFeatures:
            report["colour"] = ColourFeatures(session, false);
            break;
        case Command::kFeature:
            report["colour"] = ColourFeature(session, options.feature);
            break;
        case Command::kSelect:
            report["colour"] = ColourSelect(session, options.feature, options.option);
            break;
        case Command::kTrays:
            report["attributes"] = Attributes(session, kTrays);
            break;
        case Command::kToners:
            report["attributes"] = Attributes(session, kToners);
            break;
        case Command::kInstallables:
            report["attributes"] = Attributes(session, kInstallables);
            break;
        case Command::kTemplates:
            report["templates"] = Templates(session, options.items);
            break;
        case Command::kEMail:
            report["email"] = EMailNotification(session, options.emailValue);
            break;
        case Command::kCredential:
        case Command::kTrust:
            break;  // run without the library (admin.cpp)
    }
}

}  // namespace

ProbeRun RunProbe(const Library& library, const Options& options,
                  const std::optional<std::wstring>& caller) {
    Session session(library.exports(), options.command != Command::kDump);
    Json report{
        {"dll", Utf8(library.path())},
        {"caller", Nullable(caller)},
        {"connection", {{"first", Nullable(options.first)}, {"second", Nullable(options.second)}}},
        {"command", CommandName(options.command)}};

    if (session.Require(
            report,
            {"VyxBiDi_Initialize", "VyxBiDi_Terminate", "VyxBiDi_Connect", "VyxBiDi_Disconnect"},
            true)) {
        Json open = Json::array();
        Json close = Json::array();
        if (BIDIPROBE_CALL(session, open, VyxBiDi_Initialize, &session.handle, Pointer(caller)) ==
            BIDI_OK) {
            const LONG connected = BIDIPROBE_CALL(session, open, VyxBiDi_Connect, session.handle,
                                                  Pointer(options.first), Pointer(options.second));
            report["open"] = std::move(open);
            if (connected == BIDI_OK) {
                RunSections(session, options, report);
                BIDIPROBE_CALL(session, close, VyxBiDi_Disconnect, session.handle);
            }
            BIDIPROBE_CALL(session, close, VyxBiDi_Terminate, session.handle);
        } else {
            report["open"] = std::move(open);
        }
        report["close"] = std::move(close);
    }
    // What the IPP module keeps of an ipps:// printer's certificate, as it stands after the run.
    if (options.printer) {
        Json trust = TrustReport(*options.printer);
        if (!trust.is_null()) {
            report["trust"] = std::move(trust);
        }
    }

    const std::optional<Failure>& failure = session.failure();
    Json failed(nullptr);
    if (failure) {
        failed = Json{{"export", failure->exportName}, {"message", failure->Message()}};
        if (failure->missing) {
            failed["missing"] = true;
        } else {
            failed["result"] = ResultName(failure->result);
            failed["code"] = failure->result;
            failed["meaning"] = MeaningOf(failure->result);
        }
    }
    report["failure"] = std::move(failed);
    report["lacking"] = session.lacking();
    return ProbeRun{std::move(report), failure};
}

}  // namespace bidiprobe
