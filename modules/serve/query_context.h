// One query context: the module's source, the snapshots its sessions answer from, and the state
// that the library's calls build up.
#pragma once

#include <windows.h>
#include <vyxquery.h>

#include <algorithm>
#include <cstdint>
#include <limits>
#include <map>
#include <memory>
#include <new>
#include <string>

#include "ansi_text.h"
#include "printer.h"
#include "serve_codes.h"
#include "source.h"

namespace vyxserve {

// The colour session with its two cursors: the key walk of Color_SetNextKey, and the current
// key whose options Color_GetNextOption hands out. Color_SetCurrentKey moves only the latter, so
// looking at one feature never disturbs a key walk. The session answers from the snapshot taken
// when it opened, so every answer within it agrees with every other.
struct ColourSession {
    bool open = false;
    std::shared_ptr<Printer> printer;
    int walk = -1;     // index of the key the walk stands on; -1 before the first
    int current = -1;  // the current key; -1 when none
    std::size_t nextOption = 0;
};

struct AttributeSession {
    bool open = false;
    std::shared_ptr<const Printer> printer;
};

struct QueryContext {
    explicit QueryContext(std::unique_ptr<Source> s) : source(std::move(s)) {}

    // A snapshot for a family that opens: the connection's snapshot the first time that family
    // asks after a connection, otherwise a fresh one of its part. 0 or the source's code.
    LONG TakeSnapshot(Scope scope, std::shared_ptr<Printer>& into);

    // The selections this context keeps for a printer that cannot be set, laid over a snapshot.
    void ApplySelections(Printer& printer) const;

    std::unique_ptr<Source> source;
    bool connected = false;
    // The connection's snapshot, and the families (a bit per Scope) that have answered from it:
    // a property sheet's first session of each family costs no request of its own, and a
    // refreshed one (a later session of that family) asks the printer again.
    std::shared_ptr<Printer> connection;
    unsigned servedFromConnection = 0;
    ColourSession colour;
    AttributeSession attributes;
    std::shared_ptr<const Printer> templates;  // from the last template count or connection
    EMailNotification email;                   // from the last snapshot that held it
    std::map<std::string, std::string> selections;  // feature key -> option value, UTF-8
};

// A count as the module reports it: what it holds plus the description's overstatement.
inline LONG ReportedCount(std::size_t held, LONG extra) {
    const std::int64_t count = static_cast<std::int64_t>(held) + extra;
    return static_cast<LONG>(std::clamp<std::int64_t>(count, std::numeric_limits<LONG>::min(),
                                                      std::numeric_limits<LONG>::max()));
}

// How an entry point writes its texts: zero-terminated, or filling every byte when the source's
// faults say so for that entry point. What a caller sends back (keys, option values, template
// names and items) goes as Text, cut only at a character boundary; what a user only reads goes
// as Display, cleaned and cut where a reader expects a text to stop.
class Answers {
  public:
    explicit Answers(bool unterminated) : unterminated_(unterminated) {}
    void Text(char* dest, std::size_t capacity, const std::string& utf8) const {
        WriteAnswer(dest, capacity, ToAnsi(utf8), unterminated_);
    }
    void Display(char* dest, std::size_t capacity, const std::string& utf8) const {
        WriteDisplay(dest, capacity, utf8, unterminated_);
    }
    void Raw(char* dest, std::size_t capacity, const std::string& ansi) const {
        WriteAnswer(dest, capacity, ansi, unterminated_);
    }

  private:
    bool unterminated_;
};

// Runs one entry point's work on the caller's context: finds the context, answers with the
// source's fault code for that entry point if it has one, and turns anything thrown into a
// result code, so nothing leaves the module but a number.
template <typename Pfn, typename Work>
LONG Serve(VyxQueryContext* slot, vyxquery::EntryPoint<Pfn> entry, Work work) noexcept {
    try {
        if (!slot || !*slot) {
            return kNoContext;
        }
        QueryContext& context = *static_cast<QueryContext*>(*slot);
        const Faults& faults = context.source->faults();
        const auto fault = faults.fail.find(entry.name);
        if (fault != faults.fail.end()) {
            return fault->second;
        }
        return work(context, Answers(faults.Unterminated(entry.name)));
    } catch (const std::bad_alloc&) {
        return kOutOfMemory;
    } catch (...) {
        return kInternal;
    }
}

}  // namespace vyxserve
