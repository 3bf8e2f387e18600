// Fuzz target: any bytes as an engine's answer to a version 3 request. The decoder ends in a
// status within its limits, a plain message it accepts encodes and decodes back the same, and the
// security session (an authPriv user with keys already localised, and one still discovering)
// classifies it without trusting what it cannot verify; the bytes as a decrypted scoped PDU too.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "message_v3.h"
#include "test_crypto.h"
#include "usm_session.h"

namespace {

using namespace vyxsnmp;

bool SameHeader(const V3Message& a, const V3Message& b) {
    return a.msgId == b.msgId && a.maxSize == b.maxSize && a.flags == b.flags &&
           a.securityModel == b.securityModel && a.usm.engineId == b.usm.engineId &&
           a.usm.boots == b.usm.boots && a.usm.time == b.usm.time &&
           a.usm.userName == b.usm.userName && a.usm.authParams == b.usm.authParams &&
           a.usm.privParams == b.usm.privParams && a.encrypted == b.encrypted &&
           a.scoped.contextEngineId == b.scoped.contextEngineId &&
           a.scoped.contextName == b.scoped.contextName && a.scoped.pdu.type == b.scoped.pdu.type &&
           a.scoped.pdu.requestId == b.scoped.pdu.requestId &&
           a.scoped.pdu.varBinds.size() == b.scoped.pdu.varBinds.size();
}

// One engine's session, keyed once: deriving keys costs far more than one input.
struct Sessions {
    std::unique_ptr<Crypto> crypto = snmptest::MakeTestCrypto();
    UsmUser user;
    std::unique_ptr<UsmSession> keyed;
    Sessions() {
        user.name = "operator";
        user.level = SecurityLevel::kPriv;
        user.authPassword = Secret("auth-password", 13);
        user.privPassword = Secret("privacy-password", 16);
        keyed = std::make_unique<UsmSession>(*crypto, user, DecodeLimits());
        const std::string engine = "\x80\x00\x4f\xb8\x05\x76\x6d\x52\xaa\xb2\x40";
        V3Message report;
        report.msgId = 1;
        report.usm.engineId = engine;
        report.usm.boots = 2;
        report.usm.time = 41;
        report.scoped.pdu.type = tag::kReport;
        bool failed = false;
        if (keyed->TakeEngine(EncodeV3Message(report), 1, 0, failed) !=
                UsmSession::Reply::kReport ||
            failed) {
            std::abort();
        }
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static Sessions sessions;
    const DecodeLimits limits;
    ScopedPdu scoped;
    DecodeScopedPdu(ByteView{data, size}, true, limits, scoped);

    V3Message message;
    const bool decoded = DecodeV3Message(data, size, limits, message) == DecodeStatus::kOk;
    // The ids the answer carries, so that the session looks past them.
    const std::int32_t msgId = decoded ? message.msgId : 0;
    const std::int32_t requestId = decoded ? message.scoped.pdu.requestId : 0;
    const Bytes datagram(data, data + size);
    Pdu response;
    Refusal refusal = Refusal::kNone;
    sessions.keyed->Unwrap(datagram, msgId, requestId, 1000, response, refusal);
    if (response.varBinds.size() > limits.maxVarBinds) {
        std::abort();
    }
    UsmUser plain = sessions.user;
    plain.level = SecurityLevel::kNoAuth;
    UsmSession discovering(*sessions.crypto, plain, limits);
    bool failed = false;
    const UsmSession::Reply took = discovering.TakeEngine(datagram, msgId, 0, failed);
    if ((took == UsmSession::Reply::kReport || took == UsmSession::Reply::kResponse) &&
        (discovering.engineId().empty() || discovering.engineId().size() > kMaxEngineId)) {
        std::abort();
    }
    if (!decoded) {
        return 0;
    }
    const Bytes again = EncodeV3Message(message);
    V3Message back;
    if (DecodeV3Message(again.data(), again.size(), limits, back) != DecodeStatus::kOk ||
        !SameHeader(message, back)) {
        std::abort();
    }
    return 0;
}
