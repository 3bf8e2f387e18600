// One query context: the printer it serves and the state that the library's calls build up.
#pragma once

#include <windows.h>
#include <vyxquery.h>

#include <algorithm>
#include <cstdint>
#include <limits>
#include <new>
#include <string>

#include "ansi_text.h"
#include "printer.h"
#include "sim_codes.h"

namespace vyxsim {

// The colour session with its two cursors: the key walk of Color_SetNextKey, and the current
// key whose options Color_GetNextOption hands out. Color_SetCurrentKey moves only the latter, so
// looking at one feature never disturbs a key walk.
struct ColourSession {
    bool open = false;
    int walk = -1;     // index of the key the walk stands on; -1 before the first
    int current = -1;  // the current key; -1 when none
    std::size_t nextOption = 0;
};

struct QueryContext {
    explicit QueryContext(Printer p) : printer(std::move(p)) {}

    Printer printer;
    bool connected = false;
    std::string connectedTo[2];  // the two connection strings, as received
    ColourSession colour;
    bool attributeSession = false;
};

// A count as the module reports it: what it holds plus the description's overstatement.
inline LONG ReportedCount(std::size_t held, LONG extra) {
    const std::int64_t count = static_cast<std::int64_t>(held) + extra;
    return static_cast<LONG>(std::clamp<std::int64_t>(count, std::numeric_limits<LONG>::min(),
                                                      std::numeric_limits<LONG>::max()));
}

// How an entry point writes its texts: zero-terminated, or filling every byte when the
// description says so for that entry point.
class Answers {
  public:
    explicit Answers(bool unterminated) : unterminated_(unterminated) {}
    void Text(char* dest, std::size_t capacity, const std::wstring& text) const {
        WriteAnswer(dest, capacity, ToAnsi(text), unterminated_);
    }
    void Raw(char* dest, std::size_t capacity, const std::string& ansi) const {
        WriteAnswer(dest, capacity, ansi, unterminated_);
    }

  private:
    bool unterminated_;
};

// Runs one entry point's work on the caller's context: finds the context, answers with the
// description's fault code for that entry point if it has one, and turns anything thrown into a
// result code, so nothing leaves the module but a number.
template <typename Pfn, typename Work>
LONG Serve(VyxQueryContext* slot, vyxquery::EntryPoint<Pfn> entry, Work work) noexcept {
    try {
        if (!slot || !*slot) {
            return kNoContext;
        }
        QueryContext& context = *static_cast<QueryContext*>(*slot);
        const Faults& faults = context.printer.faults;
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

}  // namespace vyxsim
