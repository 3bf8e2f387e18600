// Column walks over GetBulk or GetNext, with loop detection and caps.
#include "walk.h"

#include <algorithm>
#include <map>

namespace vyxsnmp {
namespace {

WalkStatus FromExchange(ExchangeStatus status) {
    switch (status) {
        case ExchangeStatus::kOk:
            return WalkStatus::kOk;
        case ExchangeStatus::kNoAnswer:
            return WalkStatus::kNoAnswer;
        case ExchangeStatus::kGarbled:
            return WalkStatus::kGarbled;
        case ExchangeStatus::kSendFailed:
            return WalkStatus::kSendFailed;
        case ExchangeStatus::kRefused:
            return WalkStatus::kRefused;
    }
    return WalkStatus::kGarbled;
}

Pdu BuildRequest(Version version, const std::vector<Oid>& names, std::uint32_t repetitions) {
    Pdu pdu;
    if (version != Version::kV1) {
        pdu.type = tag::kGetBulkRequest;
        pdu.errorStatus = 0;  // non-repeaters
        pdu.errorIndex = static_cast<std::int32_t>(repetitions);
    } else {
        pdu.type = tag::kGetNextRequest;
    }
    for (const Oid& name : names) {
        pdu.varBinds.push_back(VarBind{name, Value()});
    }
    return pdu;
}

}  // namespace

Walker::Walker(Client& client, VersionChoice choice) : client_(client) {
    if (choice == VersionChoice::kV1) {
        version_ = Version::kV1;
    } else if (choice == VersionChoice::kV2c) {
        version_ = Version::kV2c;
    } else if (choice == VersionChoice::kV3) {
        version_ = Version::kV3;
    }
}

Client::Ticket Walker::Send(Run& run) {
    std::vector<Oid> names;
    for (const Cursor* cursor : run.batch) {
        names.push_back(cursor->last);
    }
    return client_.Start(run.used, BuildRequest(run.used, names, run.repetitions));
}

Walker::Step Walker::Ask(Run& run, std::uint32_t& requests, const WalkLimits& limits,
                         WalkOutcome& outcome) {
    run.batch.clear();
    for (Cursor& cursor : run.cursors) {
        if (!cursor.done && run.batch.size() < run.perRequest) {
            run.batch.push_back(&cursor);
        }
    }
    if (run.batch.empty()) {
        return Step::kDone;
    }
    if (requests++ == limits.maxRequests) {
        outcome = WalkOutcome{WalkStatus::kTooLarge, 0};
        return Step::kFailed;
    }
    run.repetitions = std::clamp<std::uint32_t>(
        limits.varBindBudget / static_cast<std::uint32_t>(run.batch.size()), 1, run.repetitionCap);
    // Until a version has answered: version 2c first; an agent that only speaks version 1
    // drops it unread.
    run.used = version_ ? *version_ : Version::kV2c;
    ++requests_;
    run.ticket = Send(run);
    return Step::kAsked;
}

Walker::Step Walker::Take(Run& run, Client::Ended& ended, std::vector<Rows>& rows,
                          std::uint32_t& requests, const WalkLimits& limits, WalkOutcome& outcome) {
    // A walk sent side by side with others may time out after another has already found
    // version 1 spoken: it goes again in version 1 too.
    if (ended.status == ExchangeStatus::kNoAnswer && run.used == Version::kV2c &&
        (!version_ || *version_ == Version::kV1)) {
        run.used = Version::kV1;
        run.ticket = Send(run);
        return Step::kAsked;
    }
    if (ended.status != ExchangeStatus::kOk) {
        outcome = WalkOutcome{FromExchange(ended.status), 0, ended.refusal};
        return Step::kFailed;
    }
    if (!version_) {
        version_ = run.used;
    }
    Pdu& response = ended.response;
    const std::vector<Cursor*>& batch = run.batch;
    if (response.errorStatus == error_status::kTooBig) {
        // Ask for less: fewer rows per column first, then fewer columns.
        if (run.used != Version::kV1 && run.repetitions > 1) {
            run.repetitionCap = std::max<std::uint32_t>(1, run.repetitions / 2);
        } else if (batch.size() > 1) {
            run.perRequest = batch.size() / 2;
        } else {
            outcome = WalkOutcome{WalkStatus::kAgentError, response.errorStatus};
            return Step::kFailed;
        }
        return Ask(run, requests, limits, outcome);
    }
    if (run.used == Version::kV1 && response.errorStatus == error_status::kNoSuchName) {
        // Version 1 marks the end of the agent's tree with noSuchName on that binding.
        const std::int32_t at = response.errorIndex;
        if (at < 1 || static_cast<std::size_t>(at) > batch.size()) {
            outcome = WalkOutcome{WalkStatus::kGarbled, 0};
            return Step::kFailed;
        }
        batch[static_cast<std::size_t>(at - 1)]->done = true;
        return Ask(run, requests, limits, outcome);
    }
    if (response.errorStatus != error_status::kNoError) {
        outcome = WalkOutcome{WalkStatus::kAgentError, response.errorStatus};
        return Step::kFailed;
    }
    if (run.used == Version::kV1 ? response.varBinds.size() != batch.size()
                                 : response.varBinds.size() > batch.size() * run.repetitions) {
        outcome = WalkOutcome{WalkStatus::kGarbled, 0};
        return Step::kFailed;
    }

    bool progressed = false;
    for (std::size_t i = 0; i < response.varBinds.size(); ++i) {
        Cursor& cursor = *batch[i % batch.size()];
        if (cursor.done) {
            continue;  // later repetitions of a column that has already ended
        }
        VarBind& bind = response.varBinds[i];
        progressed = true;
        if (bind.value.type == tag::kEndOfMibView) {
            cursor.done = true;
            continue;
        }
        if (bind.name <= cursor.last) {
            outcome = WalkOutcome{WalkStatus::kLoop, 0};
            return Step::kFailed;
        }
        if (!bind.name.IsBelow(cursor.columnOid) || bind.value.IsException()) {
            cursor.done = true;
            continue;
        }
        Rows& columnRows = rows[cursor.column];
        if (columnRows.size() == limits.maxRowsPerColumn) {
            outcome = WalkOutcome{WalkStatus::kTooLarge, 0};
            return Step::kFailed;
        }
        cursor.last = bind.name;
        columnRows.emplace_back(bind.name.After(cursor.columnOid), std::move(bind.value));
    }
    if (!progressed) {
        // Some agents answer nothing when asked for too many columns at once.
        if (batch.size() == 1) {
            outcome = WalkOutcome{WalkStatus::kStalled, 0};
            return Step::kFailed;
        }
        run.perRequest = batch.size() / 2;
    }
    return Ask(run, requests, limits, outcome);
}

WalkOutcome Walker::Walk(const std::vector<Oid>& columns, std::vector<Rows>& rows,
                         const WalkLimits& limits) {
    return WalkSideBySide({columns}, rows, limits);
}

WalkOutcome Walker::WalkSideBySide(const std::vector<std::vector<Oid>>& walks,
                                   std::vector<Rows>& rows, const WalkLimits& limits) {
    std::vector<Run> runs(walks.size());
    std::size_t columns = 0;
    for (std::size_t w = 0; w < walks.size(); ++w) {
        for (const Oid& column : walks[w]) {
            runs[w].cursors.push_back(Cursor{columns++, column, column});
        }
        runs[w].perRequest = std::max<std::size_t>(1, limits.maxColumnsPerRequest);
        runs[w].repetitionCap = std::max<std::uint32_t>(1, limits.maxRepetitions);
    }
    rows.assign(columns, Rows());
    std::uint32_t requests = 0;
    WalkOutcome outcome;
    std::map<Client::Ticket, Run*> asked;  // the walks with a request out, by its ticket
    auto fail = [&] {
        client_.Abandon();  // what the other walks still have out is not waited for
        return outcome;
    };
    for (Run& run : runs) {
        const Step step = Ask(run, requests, limits, outcome);
        if (step == Step::kFailed) {
            return fail();
        }
        if (step == Step::kAsked) {
            asked[run.ticket] = &run;
        }
    }
    Client::Ended ended;
    while (!asked.empty() && client_.Next(ended)) {
        const auto found = asked.find(ended.ticket);
        if (found == asked.end()) {
            continue;
        }
        Run& run = *found->second;
        asked.erase(found);
        const Step step = Take(run, ended, rows, requests, limits, outcome);
        if (step == Step::kFailed) {
            return fail();
        }
        if (step == Step::kAsked) {
            asked[run.ticket] = &run;
        }
    }
    if (!asked.empty()) {
        outcome = WalkOutcome{WalkStatus::kNoAnswer, 0};
        return fail();
    }
    return WalkOutcome{};
}

}  // namespace vyxsnmp
