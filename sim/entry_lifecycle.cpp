// The module's life on one query context: made from the description, connected, ended.
#define VYXQUERY_DECLARE_ENTRY_POINTS
#include <windows.h>
#include <vyxquery.h>

#include <memory>

#include "description.h"
#include "printer_file.h"
#include "query_context.h"

using namespace vyxsim;

namespace {

constexpr std::size_t kPathBytes = 256;
constexpr std::size_t kFirstConnectionBytes = 128;
constexpr std::size_t kSecondConnectionBytes = 64;

// Reads the printer for this caller path; a refused description is told to the developer.
LONG LoadFor(const std::wstring& callerPath, std::unique_ptr<QueryContext>& context) {
    const std::wstring descriptionPath = DescriptionPathFor(callerPath);
    try {
        context = std::make_unique<QueryContext>(LoadPrinter(descriptionPath));
    } catch (const DescriptionError& e) {
        ReportDescriptionError(descriptionPath, e.what());
        return kBadDescription;
    }
    return 0;
}

}  // namespace

extern "C" LONG WINAPI VyxQuery_Initialize(VyxQueryContext* slot, LPCSTR path) {
    try {
        if (!slot) {
            return kNullArgument;
        }
        std::unique_ptr<QueryContext> context;
        if (const LONG refused = LoadFor(FromAnsi(ReadInput(path, kPathBytes)), context)) {
            return refused;
        }
        const auto& fail = context->printer.faults.fail;
        const auto fault = fail.find(vyxquery::VyxQuery_Initialize.name);
        if (fault != fail.end()) {
            return fault->second;
        }
        *slot = context.release();
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

// A second connect while connected takes the new strings; the sessions stay as they are.
extern "C" LONG WINAPI VyxQuery_Connect(VyxQueryContext* slot, LPCSTR first, LPCSTR second) {
    return Serve(slot, vyxquery::VyxQuery_Connect, [&](QueryContext& context, const Answers&) {
        context.connectedTo[0] = ReadInput(first, kFirstConnectionBytes);
        context.connectedTo[1] = ReadInput(second, kSecondConnectionBytes);
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
        context.connected = false;
        context.colour = ColourSession();
        context.attributeSession = false;
        return LONG{0};
    });
}
