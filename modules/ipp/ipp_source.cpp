// The IPP query module's source of the printer model: a snapshot is one Get-Printer-Attributes
// asking for the attributes of the parts it fills; a selection is a Set-Printer-Attributes of
// the feature's default where the printer takes one, and is otherwise kept by the server.
#include <windows.h>

#include <memory>
#include <string>

#include "code_page_text.h"
#include "credentials.h"
#include "http_transport.h"
#include "ipp_codec.h"
#include "ipp_codes.h"
#include "ipp_mapping.h"
#include "serve_codes.h"
#include "source.h"

namespace vyxipp {
namespace {

unsigned PartsOf(vyxserve::Scope scope) {
    switch (scope) {
        case vyxserve::Scope::kColour:
            return kFeatures;
        case vyxserve::Scope::kAttributes:
            return kAttributes;
        case vyxserve::Scope::kTemplates:
            return kTemplates;
        case vyxserve::Scope::kAll:
            break;
    }
    return kEverything;
}

// The requester's name where the options name none: the user of the printer's stored
// credential, whom the printer authenticates, else `fallback`.
std::string CredentialUser(const Target& target, const std::string& fallback) {
    vyxserve::StoredCredential credential;
    if (vyxserve::ReadCredential(NormalisedUri(target), credential) !=
            vyxserve::CredentialLookup::kFound ||
        credential.user.empty()) {
        return fallback;
    }
    std::string name = vyxtext::Encode(CP_UTF8, credential.user);
    return name.empty() || name.size() > 255 ? fallback : name;
}

class IppSource : public vyxserve::Source {
  public:
    LONG Connect(const std::string& first, const std::string& second) override {
        Target target;
        Options options;
        std::int32_t code = ParseTarget(first, target);
        if (code == 0) {
            code = ParseOptions(second, options);
        }
        if (code != 0) {
            return code;
        }
        if (!options.userGiven) {
            options.user = CredentialUser(target, options.user);
        }
        target_ = target;
        options_ = options;
        facts_ = PrinterFacts();
        transport_ = MakeHttpTransport(target_, options_);
        return 0;
    }

    void Disconnect() override { transport_.reset(); }

    LONG Snapshot(vyxserve::Scope scope, vyxserve::Printer& printer) override {
        if (!transport_) {
            return vyxserve::kNotConnected;
        }
        const unsigned parts = PartsOf(scope);
        Message request = PrinterAttributesRequest(target_.uri, options_.user, parts, 0);
        Message reply;
        const std::int32_t code = Send(request, reply);
        if (code != 0) {
            return code;
        }
        MapPrinter(reply, parts, printer, facts_);
        return 0;
    }

    LONG Select(const vyxserve::Feature& feature, const vyxserve::Option& option,
                bool& sent) override {
        sent = false;
        if (!transport_) {
            return vyxserve::kNotConnected;
        }
        Message request;
        if (!facts_.settable ||
            !SetDefaultRequest(target_.uri, options_.user, feature.key, option.value, 0, request)) {
            return 0;
        }
        Message reply;
        const std::int32_t code = Send(request, reply);
        if (code == kNotSupported) {
            facts_.settable = false;  // it said it could, but cannot: keep selections here
            return 0;
        }
        sent = code == 0;
        return code;
    }

  private:
    // One exchange, with the version lowered to 1.1 for good once a printer refuses 2.0.
    std::int32_t Send(Message& request, Message& reply) {
        for (;;) {
            request.versionMajor = major_;
            request.versionMinor = minor_;
            request.requestId = ++requestId_;
            std::int32_t code = Exchange(request, reply);
            if (code == 0 && reply.code == kServerErrorVersionNotSupported && major_ == 2) {
                major_ = 1;
                minor_ = 1;
                continue;
            }
            return code != 0 ? code : CheckReply(reply, request.requestId);
        }
    }

    std::int32_t Exchange(const Message& request, Message& reply) {
        std::string bytes;
        if (!Encode(request, bytes)) {
            return kTransportFailed;
        }
        std::string body;
        const std::int32_t code = transport_->Exchange(bytes, body);
        if (code != 0) {
            return code;
        }
        DecodeLimits limits;
        limits.maxBytes = kMaxReplyBytes;
        const DecodeStatus status =
            Decode(reinterpret_cast<const std::uint8_t*>(body.data()), body.size(), limits, reply);
        if (status == DecodeStatus::kTooLarge || status == DecodeStatus::kTooMany) {
            return kReplyTooLarge;
        }
        return status == DecodeStatus::kOk ? 0 : kMalformedReply;
    }

    Target target_;
    Options options_;
    PrinterFacts facts_;
    std::unique_ptr<Transport> transport_;
    std::int32_t requestId_ = 0;
    std::uint8_t major_ = 2;
    std::uint8_t minor_ = 0;
};

}  // namespace
}  // namespace vyxipp

namespace vyxserve {

// WinHTTP keeps threads of its own after its handles are closed (wine's closes connections on
// one). Loaded for this module alone, it would be unloaded with it when the library lets the
// module go, and such a thread would then run on in freed code and crash the caller's process:
// it stays loaded for the life of the process instead.
std::unique_ptr<Source> CreateSource(const std::string& path, LONG& code) {
    HMODULE winhttp = nullptr;
    if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_PIN, L"winhttp.dll", &winhttp)) {
        code = kInternal;
        return nullptr;
    }
    code = 0;
    return std::make_unique<vyxipp::IppSource>();
}

}  // namespace vyxserve
