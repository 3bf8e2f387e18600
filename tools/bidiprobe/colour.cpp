// The colour section: session, feature list, one feature's details, selecting an option.
#include <vyxbidi.h>

#include <algorithm>

#include "sections.h"
#include "text.h"

namespace bidiprobe {
namespace {

Json Pair(const TextPair& pair) {
    return Json{{"first", FieldText(pair.first)}, {"second", FieldText(pair.second)}};
}

int Clamp(int count, int most) {
    return std::clamp(count, 0, most);
}

// Reads one feature with ClrBiDi_GetFeatureInfo and releases the record, which the library
// hands out whatever the result (unless it refused the arguments).
Json FeatureDetails(Session& session, const std::wstring& name) {
    Json calls = Json::array();
    FeatureInfo* info = nullptr;
    BIDIPROBE_CALL(session, calls, ClrBiDi_GetFeatureInfo, session.handle, name.c_str(), &info);
    Json details = Json::object();
    if (info) {
        Json options = Json::array();
        for (int i = 0; i < Clamp(info->optionCount, BIDI_MAX_OPTIONS); ++i) {
            if (info->options[i]) {
                options.push_back(Pair(*info->options[i]));
            }
        }
        details["currentKey"] = Pair(info->currentKey);
        details["options"] = std::move(options);
        details["selected"] = Pair(info->selectedOption);
        BIDIPROBE_CALL(session, calls, ClrBiDi_DeleteFeatureInfo, session.handle, &info);
    }
    Json result{{"calls", std::move(calls)}};
    result.update(details);
    return result;
}

Json ReadFeatureList(Session& session, Json& calls) {
    Json features = Json::array();
    FeatureList* list = nullptr;
    BIDIPROBE_CALL(session, calls, ClrBiDi_GetFeatureList, session.handle, &list);
    if (list) {
        for (int i = 0; i < Clamp(list->featureCount, BIDI_MAX_FEATURES); ++i) {
            if (list->features[i]) {
                features.push_back(Pair(*list->features[i]));
            }
        }
        BIDIPROBE_CALL(session, calls, ClrBiDi_DeleteFeatureList, session.handle, &list);
    }
    return features;
}

// Runs `body` between ClrBiDi_OpenSession and ClrBiDi_CloseSession; nothing runs if the
// session does not open.
template <typename Body>
Json InColourSession(Session& session, Json section, Body body) {
    if (!session.Require(section, {"ClrBiDi_OpenSession", "ClrBiDi_CloseSession"})) {
        return section;
    }
    Json open = Json::array();
    const LONG opened = BIDIPROBE_CALL(session, open, ClrBiDi_OpenSession, session.handle, nullptr,
                                       nullptr, nullptr, nullptr, nullptr, nullptr);
    section["open"] = std::move(open);
    if (opened != BIDI_OK) {
        return section;
    }
    body(section);
    Json close = Json::array();
    BIDIPROBE_CALL(session, close, ClrBiDi_CloseSession, session.handle);
    section["close"] = std::move(close);
    return section;
}

}  // namespace

Json ColourFeatures(Session& session, bool details) {
    Json section = Json::object();
    if (!session.Require(section, {"ClrBiDi_GetFeatureList", "ClrBiDi_DeleteFeatureList"})) {
        return section;
    }
    const bool withDetails = details && session.Require(section, {"ClrBiDi_GetFeatureInfo",
                                                                  "ClrBiDi_DeleteFeatureInfo"});
    return InColourSession(session, std::move(section), [&](Json& colour) {
        Json calls = Json::array();
        Json features = ReadFeatureList(session, calls);
        if (withDetails) {
            for (Json& feature : features) {
                feature["details"] =
                    FeatureDetails(session, Wide(feature["first"].get<std::string>()));
            }
        }
        colour["calls"] = std::move(calls);
        colour["features"] = std::move(features);
    });
}

Json ColourFeature(Session& session, const std::wstring& name) {
    Json section = Json::object();
    if (!session.Require(section, {"ClrBiDi_GetFeatureInfo", "ClrBiDi_DeleteFeatureInfo"})) {
        return section;
    }
    return InColourSession(session, std::move(section), [&](Json& colour) {
        Json feature{{"name", Utf8(name)}};
        feature.update(FeatureDetails(session, name));
        colour["feature"] = std::move(feature);
    });
}

Json ColourSelect(Session& session, const std::wstring& feature, const std::wstring& option) {
    Json section = Json::object();
    if (!session.Require(section, {"ClrBiDi_SelectOption", "ClrBiDi_GetFeatureInfo",
                                   "ClrBiDi_DeleteFeatureInfo"})) {
        return section;
    }
    return InColourSession(session, std::move(section), [&](Json& colour) {
        Json select{{"feature", Utf8(feature)}, {"option", Utf8(option)}};
        select["before"] = FeatureDetails(session, feature);
        Json calls = Json::array();
        BIDIPROBE_CALL(session, calls, ClrBiDi_SelectOption, session.handle, feature.c_str(),
                       option.c_str());
        select["calls"] = std::move(calls);
        select["after"] = FeatureDetails(session, feature);
        colour["select"] = std::move(select);
    });
}

}  // namespace bidiprobe
