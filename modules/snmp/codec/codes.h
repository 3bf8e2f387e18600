// The SNMP module's own result codes (0x2200-0x22FF, and 0x50000 plus an agent's error-status),
// and how the outcome of a walk becomes one. The shared situations (not connected, outside a
// session, index out of range, not fitted, ...) are the server's codes.
#pragma once

#include <cstdint>

#include "walk.h"

namespace vyxsnmp {

namespace code {
constexpr std::int32_t kBadPrinterName = 0x2201;  // the first connection string names no agent
constexpr std::int32_t kBadOptions = 0x2202;      // the second string has a bad option
constexpr std::int32_t kHostNotFound = 0x2203;    // the host name does not resolve
constexpr std::int32_t kNoAnswer = 0x2204;        // no answer within timeout and retries
constexpr std::int32_t kGarbled = 0x2205;         // only answers that do not decode or match
constexpr std::int32_t kLoop = 0x2206;            // the agent's walk goes back or stands still
constexpr std::int32_t kTooLarge = 0x2207;        // a table beyond the walk's caps
constexpr std::int32_t kNetwork = 0x2208;         // the socket could not be made or used
constexpr std::int32_t kNotAPrinter = 0x2209;     // the agent reports no Printer MIB
constexpr std::int32_t kNoEMail = 0x220A;         // SNMP printers do not report e-mail settings
// Version 3: what the agent's security reported, or what the module could not do.
constexpr std::int32_t kUnknownUser = 0x220B;       // the agent knows no such user
constexpr std::int32_t kWrongDigest = 0x220C;       // a wrong authentication password
constexpr std::int32_t kUnsupportedLevel = 0x220D;  // the user has no such security level
constexpr std::int32_t kDecryptionError = 0x220E;   // a wrong privacy password or protocol
constexpr std::int32_t kNotInTimeWindow = 0x220F;   // the clock reported stale twice
constexpr std::int32_t kUnknownEngine = 0x2210;     // the engine changed after discovery
constexpr std::int32_t kUnknownContext = 0x2211;    // the agent has no such context
constexpr std::int32_t kDropped = 0x2212;     // discovery answered, the requests dropped unanswered
constexpr std::int32_t kNoPassword = 0x2213;  // no user, or no stored password for the level
constexpr std::int32_t kUserMismatch = 0x2214;      // user= names another user than the stored one
constexpr std::int32_t kCredentialStore = 0x2215;   // the credential store could not be read
constexpr std::int32_t kCrypto = 0x2216;            // the system's cryptography failed
constexpr std::int32_t kErrorStatusBase = 0x50000;  // plus the agent's error-status
}  // namespace code

// 0 for a walk that succeeded, otherwise its code.
std::int32_t CodeFor(const WalkOutcome& outcome);
// The code of a version 3 refusal.
std::int32_t CodeFor(Refusal refusal);

}  // namespace vyxsnmp
