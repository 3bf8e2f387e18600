// Walks of table columns: GetBulk (versions 2c and 3) with several columns per request, or
// GetNext (version 1), each column followed to its end; several walks side by side, each going on
// as its answers come. A walk stops at a column's end, at an answer that does not move forward (a
// loop), and at its size caps.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

#include "client.h"

namespace vyxsnmp {

enum class VersionChoice { kAuto, kV1, kV2c, kV3 };

struct WalkLimits {
    std::uint32_t maxRepetitions = 32;     // rows asked per column in one GetBulk
    std::uint32_t varBindBudget = 256;     // columns times repetitions asked in one GetBulk
    std::size_t maxColumnsPerRequest = 32;
    std::size_t maxRowsPerColumn = 1024;
    std::uint32_t maxRequests = 256;       // distinct requests in one walk (retries not counted)
};

enum class WalkStatus {
    kOk,
    kNoAnswer,     // the agent did not answer (or not in any version that was tried)
    kGarbled,      // answers that did not decode, did not match, or had the wrong shape
    kSendFailed,   // the transport failed
    kLoop,         // an answer named an object not after the one asked for
    kStalled,      // answers that brought nothing new, even one column at a time
    kTooLarge,     // a column grew past its row cap, or the walk past its request cap
    kAgentError,   // the agent answered with an error status (in `errorStatus`)
    kRefused,      // version 3: the agent's security refused the request (in `refusal`)
};

struct WalkOutcome {
    WalkStatus status = WalkStatus::kOk;
    std::int32_t errorStatus = 0;
    Refusal refusal = Refusal::kNone;
};

// One column's rows: the index after the column's OID, and the value, in walk order.
using Rows = std::vector<std::pair<Oid, Value>>;

class Walker {
  public:
    Walker(Client& client, VersionChoice choice);

    // Walks every column of `columns`; `rows[i]` receives column i's rows. With kAuto the
    // first request goes out as version 2c and, when that draws no answer at all, again as
    // version 1; the version that answered is kept for this walker's later walks.
    WalkOutcome Walk(const std::vector<Oid>& columns, std::vector<Rows>& rows,
                     const WalkLimits& limits);

    // Walks each group of `walks` as a walk of its own, side by side: the first request of
    // each goes out at once, and each walk goes on as its answers come. `rows` gets the rows
    // of every walk's columns, in order (the first walk's columns first). The first walk that
    // fails ends them all with its outcome; `limits.maxRequests` counts every walk's requests.
    WalkOutcome WalkSideBySide(const std::vector<std::vector<Oid>>& walks, std::vector<Rows>& rows,
                               const WalkLimits& limits);

    // The version in use, once one has answered (or was chosen).
    std::optional<Version> version() const { return version_; }
    // Distinct requests sent by this walker (retries not counted).
    std::uint32_t requests() const { return requests_; }

  private:
    struct Cursor {
        std::size_t column;  // into the rows of all walks
        Oid columnOid;
        Oid last;
        bool done = false;
    };
    // One walk under way: its columns, what it asks for at a time, and its request out.
    struct Run {
        std::vector<Cursor> cursors;
        std::size_t perRequest = 1;
        std::uint32_t repetitionCap = 1;
        std::vector<Cursor*> batch;  // the columns of the request out
        std::uint32_t repetitions = 0;
        Version used = Version::kV2c;
        Client::Ticket ticket = 0;
    };
    enum class Step { kAsked, kDone, kFailed };

    // Sends the walk's next request, or finds it has nothing left to ask.
    Step Ask(Run& run, std::uint32_t& requests, const WalkLimits& limits, WalkOutcome& outcome);
    // Takes the answer to the walk's request; kAsked when it goes on.
    Step Take(Run& run, Client::Ended& ended, std::vector<Rows>& rows, std::uint32_t& requests,
              const WalkLimits& limits, WalkOutcome& outcome);
    Client::Ticket Send(Run& run);

    Client& client_;
    std::optional<Version> version_;
    std::uint32_t requests_ = 0;
};

}  // namespace vyxsnmp
