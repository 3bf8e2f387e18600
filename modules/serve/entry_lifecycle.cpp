// The module's life on one query context: made from the source for the caller's path,
// connected (the first snapshot), disconnected, ended.
#define VYXQUERY_DECLARE_ENTRY_POINTS
#include <windows.h>
#include <vyxquery.h>

#include <memory>

#include "query_context.h"

using namespace vyxserve;

namespace {

constexpr std::size_t kPathBytes = 256;
constexpr std::size_t kFirstConnectionBytes = 128;
constexpr std::size_t kSecondConnectionBytes = 64;

void EndSessions(QueryContext& context) {
    context.colour = ColourSession();
    context.attributes = AttributeSession();
}

}  // namespace

namespace vyxserve {

LONG QueryContext::TakeSnapshot(Scope scope, std::shared_ptr<Printer>& into) {
    const unsigned family = 1u << static_cast<unsigned>(scope);
    if (connection && (servedFromConnection & family) == 0) {
        servedFromConnection |= family;
        // A copy: a colour session marks its selection in its own snapshot, which must not
        // show in another family's.
        auto printer = std::make_shared<Printer>(*connection);
        ApplySelections(*printer);
        into = std::move(printer);
        return 0;
    }
    auto printer = std::make_shared<Printer>();
    if (const LONG failed = source->Snapshot(scope, *printer)) {
        return failed;
    }
    ApplySelections(*printer);
    into = std::move(printer);
    return 0;
}

void QueryContext::ApplySelections(Printer& printer) const {
    for (Feature& feature : printer.features) {
        const auto kept = selections.find(feature.key);
        if (kept == selections.end()) {
            continue;
        }
        for (std::size_t i = 0; i < feature.options.size(); ++i) {
            if (feature.options[i].value == kept->second) {
                feature.selected = i;
            }
        }
    }
}

}  // namespace vyxserve

extern "C" LONG WINAPI VyxQuery_Initialize(VyxQueryContext* slot, LPCSTR path) {
    try {
        if (!slot) {
            return kNullArgument;
        }
        LONG code = kInternal;
        std::unique_ptr<Source> source = CreateSource(ReadInput(path, kPathBytes), code);
        if (!source) {
            return code;
        }
        const auto& fail = source->faults().fail;
        const auto fault = fail.find(vyxquery::VyxQuery_Initialize.name);
        if (fault != fail.end()) {
            return fault->second;
        }
        *slot = new QueryContext(std::move(source));
        return 0;
    } catch (const std::bad_alloc&) {
        return kOutOfMemory;
    } catch (...) {
        return kInternal;
    }
}

extern "C" LONG WINAPI VyxQuery_Terminate(VyxQueryContext* slot) {
    return Serve(slot, vyxquery::VyxQuery_Terminate, [&](QueryContext& context, const Answers&) {
        delete &context;
        *slot = nullptr;
        return LONG{0};
    });
}

// A second connect while connected takes the new strings and a new snapshot; open sessions
// keep answering from theirs. A connect that fails leaves the context disconnected.
extern "C" LONG WINAPI VyxQuery_Connect(VyxQueryContext* slot, LPCSTR first, LPCSTR second) {
    return Serve(slot, vyxquery::VyxQuery_Connect, [&](QueryContext& context, const Answers&) {
        context.connected = false;
        context.connection.reset();
        context.servedFromConnection = 0;
        if (const LONG refused = context.source->Connect(ReadInput(first, kFirstConnectionBytes),
                                                         ReadInput(second, kSecondConnectionBytes))) {
            EndSessions(context);
            return refused;
        }
        auto printer = std::make_shared<Printer>();
        if (const LONG failed = context.source->Snapshot(Scope::kAll, *printer)) {
            context.source->Disconnect();
            EndSessions(context);
            return failed;
        }
        context.ApplySelections(*printer);
        context.email = printer->email;
        context.templates = printer;
        context.connection = std::move(printer);
        context.connected = true;
        return LONG{0};
    });
}

// Ending the connection ends both sessions with it; selections stay for a later connection.
extern "C" LONG WINAPI VyxQuery_Disconnect(VyxQueryContext* slot) {
    return Serve(slot, vyxquery::VyxQuery_Disconnect, [&](QueryContext& context, const Answers&) {
        if (!context.connected) {
            return kNotConnected;
        }
        context.source->Disconnect();
        context.connected = false;
        context.connection.reset();
        context.templates.reset();
        EndSessions(context);
        return LONG{0};
    });
}
