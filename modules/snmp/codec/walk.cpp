// Column walks over GetBulk or GetNext, with loop detection and caps.
#include "walk.h"

#include <algorithm>

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

ExchangeStatus Walker::Send(const std::vector<Cursor*>& batch, std::uint32_t repetitions,
                            Version& used, Pdu& response) {
    std::vector<Oid> names;
    for (const Cursor* cursor : batch) {
        names.push_back(cursor->last);
    }
    ++requests_;
    if (version_) {
        used = *version_;
        return client_.Exchange(used, BuildRequest(used, names, repetitions), response);
    }
    // Not yet known: version 2c first; an agent that only speaks version 1 drops it unread.
    used = Version::kV2c;
    ExchangeStatus status = client_.Exchange(used, BuildRequest(used, names, repetitions), response);
    if (status == ExchangeStatus::kNoAnswer) {
        used = Version::kV1;
        status = client_.Exchange(used, BuildRequest(used, names, repetitions), response);
    }
    if (status == ExchangeStatus::kOk) {
        version_ = used;
    }
    return status;
}

WalkOutcome Walker::Walk(const std::vector<Oid>& columns, std::vector<Rows>& rows,
                         const WalkLimits& limits) {
    rows.assign(columns.size(), Rows());
    std::vector<Cursor> cursors;
    for (std::size_t i = 0; i < columns.size(); ++i) {
        cursors.push_back(Cursor{i, columns[i]});
    }
    std::size_t perRequest = std::max<std::size_t>(1, limits.maxColumnsPerRequest);
    std::uint32_t repetitionCap = std::max<std::uint32_t>(1, limits.maxRepetitions);
    std::uint32_t requests = 0;
    for (;;) {
        std::vector<Cursor*> batch;
        for (Cursor& cursor : cursors) {
            if (!cursor.done && batch.size() < perRequest) {
                batch.push_back(&cursor);
            }
        }
        if (batch.empty()) {
            return WalkOutcome{};
        }
        if (requests++ == limits.maxRequests) {
            return WalkOutcome{WalkStatus::kTooLarge, 0};
        }
        const std::uint32_t repetitions = std::clamp<std::uint32_t>(
            limits.varBindBudget / static_cast<std::uint32_t>(batch.size()), 1, repetitionCap);
        Version used = Version::kV2c;
        Pdu response;
        const ExchangeStatus exchanged = Send(batch, repetitions, used, response);
        if (exchanged != ExchangeStatus::kOk) {
            return WalkOutcome{FromExchange(exchanged), 0, client_.refusal()};
        }

        if (response.errorStatus == error_status::kTooBig) {
            // Ask for less: fewer rows per column first, then fewer columns.
            if (used != Version::kV1 && repetitions > 1) {
                repetitionCap = std::max<std::uint32_t>(1, repetitions / 2);
            } else if (batch.size() > 1) {
                perRequest = batch.size() / 2;
            } else {
                return WalkOutcome{WalkStatus::kAgentError, response.errorStatus};
            }
            continue;
        }
        if (used == Version::kV1 && response.errorStatus == error_status::kNoSuchName) {
            // Version 1 marks the end of the agent's tree with noSuchName on that binding.
            const std::int32_t at = response.errorIndex;
            if (at < 1 || static_cast<std::size_t>(at) > batch.size()) {
                return WalkOutcome{WalkStatus::kGarbled, 0};
            }
            batch[static_cast<std::size_t>(at - 1)]->done = true;
            continue;
        }
        if (response.errorStatus != error_status::kNoError) {
            return WalkOutcome{WalkStatus::kAgentError, response.errorStatus};
        }
        if (used == Version::kV1 ? response.varBinds.size() != batch.size()
                                 : response.varBinds.size() > batch.size() * repetitions) {
            return WalkOutcome{WalkStatus::kGarbled, 0};
        }

        bool progressed = false;
        for (std::size_t i = 0; i < response.varBinds.size(); ++i) {
            Cursor& cursor = *batch[i % batch.size()];
            if (cursor.done) {
                continue;  // later repetitions of a column that has already ended
            }
            VarBind& bind = response.varBinds[i];
            const Oid& column = columns[cursor.column];
            progressed = true;
            if (bind.value.type == tag::kEndOfMibView) {
                cursor.done = true;
                continue;
            }
            if (bind.name <= cursor.last) {
                return WalkOutcome{WalkStatus::kLoop, 0};
            }
            if (!bind.name.IsBelow(column) || bind.value.IsException()) {
                cursor.done = true;
                continue;
            }
            Rows& columnRows = rows[cursor.column];
            if (columnRows.size() == limits.maxRowsPerColumn) {
                return WalkOutcome{WalkStatus::kTooLarge, 0};
            }
            cursor.last = bind.name;
            columnRows.emplace_back(bind.name.After(column), std::move(bind.value));
        }
        if (!progressed) {
            // Some agents answer nothing when asked for too many columns at once.
            if (batch.size() == 1) {
                return WalkOutcome{WalkStatus::kStalled, 0};
            }
            perRequest = batch.size() / 2;
        }
    }
}

}  // namespace vyxsnmp
