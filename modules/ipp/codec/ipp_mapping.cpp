// The IPP module's mapping: which attributes each snapshot asks for, the requests and the checks
// of a reply, and which family (mapping_<family>.cpp) fills each part of the printer model. The
// mapping table of docs/ipp.md describes the same, attribute by attribute.
#include "ipp_mapping.h"

#include <algorithm>
#include <cstdint>

#include "ipp_codes.h"
#include "ipp_keywords.h"
#include "mapping_reply.h"

namespace vyxipp {
namespace {

using vyxserve::Printer;

const char* const kAttributeNames[] = {
    "printer-input-tray",
    "media-col-ready",
    "media-ready",
    "media-source-supported",
    "printer-supply",
    "printer-supply-description",
    "marker-names",
    "marker-levels",
    "marker-colors",
    "marker-types",
    "sides-supported",
    "output-bin-supported",
    "printer-output-tray",
    "printer-finisher",
    "printer-finisher-description",
    "finishings-supported",
    "ipp-features-supported",
    "printer-service-type",
    "printer-fax-modem-info",
    "printer-fax-modem-name",
    "printer-fax-modem-number",
    "notify-schemes-supported",
};

Message Request(std::uint16_t operation, const std::string& printerUri, const std::string& user,
                std::int32_t requestId) {
    Message m;
    m.code = operation;
    m.requestId = requestId;
    Group operationGroup{kOperationGroup, {}};
    operationGroup.attributes.push_back({"attributes-charset", {Value::String(kCharset, "utf-8")}});
    operationGroup.attributes.push_back(
        {"attributes-natural-language", {Value::String(kNaturalLanguage, "en")}});
    operationGroup.attributes.push_back({"printer-uri", {Value::String(kUri, printerUri)}});
    operationGroup.attributes.push_back(
        {"requesting-user-name", {Value::String(kNameWithoutLanguage, user)}});
    m.groups.push_back(std::move(operationGroup));
    return m;
}

}  // namespace

std::vector<std::string> RequestedAttributes(unsigned parts) {
    std::vector<std::string> names;
    if (parts & kFeatures) {
        for (const FeatureSource& f : kFeatureSources) {
            for (const char* attribute : {f.attribute, f.older}) {
                if (attribute) {
                    names.push_back(std::string(attribute) + "-supported");
                    names.push_back(std::string(attribute) + "-default");
                }
            }
        }
        names.push_back("operations-supported");
    }
    if (parts & kAttributes) {
        names.insert(names.end(), std::begin(kAttributeNames), std::end(kAttributeNames));
    }
    if (parts & kTemplates) {
        names.push_back("job-presets-supported");
    }
    return names;
}

Message PrinterAttributesRequest(const std::string& printerUri, const std::string& user,
                                 unsigned parts, std::int32_t requestId) {
    Message m = Request(kGetPrinterAttributes, printerUri, user, requestId);
    Attribute requested{"requested-attributes", {}};
    for (const std::string& name : RequestedAttributes(parts)) {
        requested.values.push_back(Value::String(kKeyword, name));
    }
    m.groups.front().attributes.push_back(std::move(requested));
    return m;
}

bool SetDefaultRequest(const std::string& printerUri, const std::string& user,
                       const std::string& feature, const std::string& option,
                       std::int32_t requestId, Message& request) {
    const bool known = std::any_of(
        std::begin(kFeatureSources), std::end(kFeatureSources), [&](const FeatureSource& f) {
            return feature == f.attribute || (f.older && feature == f.older);
        });
    if (!known) {
        return false;
    }
    Value value = Value::String(kKeyword, option);
    if (feature == "print-quality") {
        std::int32_t number = 0;
        if (!EnumValue(feature, option, number)) {
            return false;
        }
        value = Value::Integer(kEnum, number);
    }
    request = Request(kSetPrinterAttributes, printerUri, user, requestId);
    request.groups.push_back(Group{kPrinterGroup, {{feature + "-default", {value}}}});
    return true;
}

std::int32_t CheckReply(const Message& reply, std::int32_t requestId) {
    if (reply.requestId != requestId) {
        return kWrongReply;
    }
    if (reply.code <= kSuccessfulLimit) {
        return 0;
    }
    if (reply.code == kServerErrorOperationNotSupported ||
        reply.code == kServerErrorVersionNotSupported) {
        return kNotSupported;
    }
    return kIppStatusBase + reply.code;
}

void MapPrinter(const Message& reply, unsigned parts, Printer& printer, PrinterFacts& facts) {
    const mapping::Reply r(reply);
    if (parts & kFeatures) {
        mapping::MapFeatures(r, printer);
        const std::vector<std::int32_t> operations = r.Integers("operations-supported", 0);
        facts.settable = std::find(operations.begin(), operations.end(),
                                   std::int32_t{kSetPrinterAttributes}) != operations.end();
    }
    if (parts & kAttributes) {
        const std::size_t paperTrays = mapping::MapTrays(r, printer);
        mapping::MapToners(r, printer);
        mapping::MapInstallables(r, paperTrays, printer);
        mapping::MapEMail(r, printer);
    }
    if (parts & kTemplates) {
        mapping::MapTemplates(r, printer);
    }
}

}  // namespace vyxipp
