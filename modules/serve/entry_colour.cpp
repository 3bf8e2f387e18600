// Colour features: the session, the key walk, one key's options, the selected option.
#define VYXQUERY_DECLARE_ENTRY_POINTS
#include <windows.h>
#include <vyxquery.h>

#include "query_context.h"

using namespace vyxserve;

namespace {

constexpr std::size_t kTextBytes = 256;

LONG RequireColourSession(const QueryContext& context) {
    if (!context.connected) {
        return kNotConnected;
    }
    return context.colour.open ? 0 : kNoSession;
}

// Keys and option values are compared as the library hands them over: ANSI bytes.
int FindFeature(const Printer& printer, const std::string& key) {
    for (std::size_t i = 0; i < printer.features.size(); ++i) {
        if (ToAnsi(printer.features[i].key) == key) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

// The printer takes the selection, or the context keeps it for its life; either way the session
// reports it from now on.
LONG Select(QueryContext& context, Feature& feature, std::size_t option) {
    bool sent = false;
    if (const LONG failed = context.source->Select(feature, feature.options[option], sent)) {
        return failed;
    }
    if (sent) {
        context.selections.erase(feature.key);
    } else {
        context.selections[feature.key] = feature.options[option].value;
    }
    feature.selected = option;
    return 0;
}

const std::vector<Feature>& Features(const QueryContext& context) {
    return context.colour.printer->features;
}

void MakeCurrent(ColourSession& colour, int key) {
    colour.current = key;
    colour.nextOption = 0;
}

}  // namespace

extern "C" LONG WINAPI Color_OpenSession(VyxQueryContext* slot, LPCSTR, LPCSTR, LPCSTR, LPCSTR,
                                         LPCSTR, LPCSTR) {
    return Serve(slot, vyxquery::Color_OpenSession, [&](QueryContext& context, const Answers&) {
        if (!context.connected) {
            return kNotConnected;
        }
        if (context.colour.open) {
            return kSessionOpen;
        }
        ColourSession session;
        if (const LONG failed = context.TakeSnapshot(Scope::kColour, session.printer)) {
            return failed;
        }
        session.open = true;
        context.colour = std::move(session);
        return LONG{0};
    });
}

extern "C" LONG WINAPI Color_CloseSession(VyxQueryContext* slot) {
    return Serve(slot, vyxquery::Color_CloseSession, [&](QueryContext& context, const Answers&) {
        if (const LONG refused = RequireColourSession(context)) {
            return refused;
        }
        context.colour = ColourSession();
        return LONG{0};
    });
}

// Past the last key the walk answers kNoMore once and starts again from the first key.
extern "C" LONG WINAPI Color_SetNextKey(VyxQueryContext* slot) {
    return Serve(slot, vyxquery::Color_SetNextKey, [&](QueryContext& context, const Answers&) {
        if (const LONG refused = RequireColourSession(context)) {
            return refused;
        }
        ColourSession& colour = context.colour;
        ++colour.walk;
        if (colour.walk >= static_cast<int>(Features(context).size())) {
            colour.walk = -1;
            MakeCurrent(colour, -1);
            return kNoMore;
        }
        MakeCurrent(colour, colour.walk);
        return LONG{0};
    });
}

extern "C" LONG WINAPI Color_GetCurrentKey(VyxQueryContext* slot, LPSTR first, LPSTR second) {
    return Serve(slot, vyxquery::Color_GetCurrentKey,
                 [&](QueryContext& context, const Answers& answers) {
                     if (const LONG refused = RequireColourSession(context)) {
                         return refused;
                     }
                     if (context.colour.current < 0) {
                         return kNoCurrentKey;
                     }
                     const Feature& feature = Features(context)[context.colour.current];
                     answers.Text(first, kTextBytes, feature.key);
                     answers.Display(second, kTextBytes, feature.name);
                     return LONG{0};
                 });
}

extern "C" LONG WINAPI Color_GetNextOption(VyxQueryContext* slot, LPSTR first, LPSTR second) {
    return Serve(slot, vyxquery::Color_GetNextOption,
                 [&](QueryContext& context, const Answers& answers) {
                     if (const LONG refused = RequireColourSession(context)) {
                         return refused;
                     }
                     ColourSession& colour = context.colour;
                     if (colour.current < 0) {
                         return kNoCurrentKey;
                     }
                     const Feature& feature = Features(context)[colour.current];
                     if (colour.nextOption >= feature.options.size()) {
                         return kNoMore;
                     }
                     const Option& option = feature.options[colour.nextOption++];
                     answers.Text(first, kTextBytes, option.value);
                     answers.Display(second, kTextBytes, option.label);
                     return LONG{0};
                 });
}

extern "C" LONG WINAPI Color_SetCurrentKey(VyxQueryContext* slot, LPCSTR key) {
    return Serve(slot, vyxquery::Color_SetCurrentKey, [&](QueryContext& context, const Answers&) {
        if (const LONG refused = RequireColourSession(context)) {
            return refused;
        }
        if (!key) {
            return kNullArgument;
        }
        const int found = FindFeature(*context.colour.printer, ReadInput(key, kTextBytes));
        if (found < 0) {
            return kUnknownFeature;
        }
        MakeCurrent(context.colour, found);
        return LONG{0};
    });
}

// A feature without options has nothing selected and answers two empty strings.
extern "C" LONG WINAPI Color_GetSelectedOption(VyxQueryContext* slot, LPCSTR key, LPSTR first,
                                               LPSTR second) {
    return Serve(slot, vyxquery::Color_GetSelectedOption,
                 [&](QueryContext& context, const Answers& answers) {
                     if (const LONG refused = RequireColourSession(context)) {
                         return refused;
                     }
                     if (!key) {
                         return kNullArgument;
                     }
                     const int found = FindFeature(*context.colour.printer, ReadInput(key, kTextBytes));
                     if (found < 0) {
                         return kUnknownFeature;
                     }
                     const Feature& feature = Features(context)[found];
                     const bool anySelected = feature.selected < feature.options.size();
                     answers.Text(first, kTextBytes,
                                  anySelected ? feature.options[feature.selected].value : "");
                     answers.Display(second, kTextBytes,
                                     anySelected ? feature.options[feature.selected].label : "");
                     return LONG{0};
                 });
}

extern "C" LONG WINAPI Color_SetKeyValue(VyxQueryContext* slot, LPCSTR key, LPCSTR value) {
    return Serve(slot, vyxquery::Color_SetKeyValue, [&](QueryContext& context, const Answers&) {
        if (const LONG refused = RequireColourSession(context)) {
            return refused;
        }
        if (!key || !value) {
            return kNullArgument;
        }
        const int found = FindFeature(*context.colour.printer, ReadInput(key, kTextBytes));
        if (found < 0) {
            return kUnknownFeature;
        }
        Feature& feature = context.colour.printer->features[found];
        const std::string wanted = ReadInput(value, kTextBytes);
        for (std::size_t i = 0; i < feature.options.size(); ++i) {
            if (ToAnsi(feature.options[i].value) == wanted) {
                return Select(context, feature, i);
            }
        }
        return kUnknownOption;
    });
}
