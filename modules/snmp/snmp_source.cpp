// The SNMP module's source: the printer named by the connection strings, read over SNMP one
// snapshot at a time, each snapshot the walks of the columns its family answers from, side by
// side.
#include <windows.h>
#include <vyxquery.h>

#include <memory>

#include "cng_crypto.h"
#include "code_page_text.h"
#include "codes.h"
#include "credentials.h"
#include "options.h"
#include "serve_codes.h"
#include "snapshot.h"
#include "source.h"
#include "system_text.h"
#include "udp_channel.h"

namespace vyxserve {
namespace {

using namespace vyxsnmp;

// What the walk may ask for: the defaults, or `bulk` rows per column when the option says so.
WalkLimits LimitsFor(const ConnectOptions& options) {
    WalkLimits limits;
    if (options.bulk != 0) {
        limits.maxRepetitions = options.bulk;
        limits.varBindBudget =
            options.bulk * static_cast<std::uint32_t>(limits.maxColumnsPerRequest);
    }
    return limits;
}

// The printer's stored credential, read only when the options leave something to it: version 3
// always, the others when no community is given. 0, or code::kCredentialStore.
LONG ReadStoredSecrets(const Endpoint& endpoint, const ConnectOptions& options,
                       StoredSecrets& stored) {
    if (options.version != VersionChoice::kV3 && options.communityGiven) {
        return 0;
    }
    StoredCredential credential;
    switch (ReadCredential(NormalisedUri(endpoint), credential)) {
        case CredentialLookup::kFound:
            break;
        case CredentialLookup::kNone:
            return 0;
        case CredentialLookup::kFailed:
            return code::kCredentialStore;
    }
    stored.found = true;
    stored.user = vyxtext::Encode(CP_UTF8, credential.user);
    stored.secrets = std::move(credential.secrets);
    return 0;
}

class SnmpSource : public Source {
  public:
    LONG Connect(const std::string& first, const std::string& second) override {
        Disconnect();
        Endpoint endpoint;
        if (!ParsePrinter(first, endpoint)) {
            return code::kBadPrinterName;
        }
        ConnectOptions options;
        std::string problem;
        if (!ParseOptions(second, options, problem)) {
            return code::kBadOptions;
        }
        StoredSecrets stored;
        if (const LONG read = ReadStoredSecrets(endpoint, options, stored); read != 0) {
            return read;
        }
        if (const LONG applied = ApplyCredential(stored, options); applied != 0) {
            return applied;
        }
        LONG opened = 0;
        channel_ = UdpChannel::Open(endpoint, opened, options.client.timeoutMs);
        if (!channel_) {
            return opened;
        }
        // Request ids start somewhere new for each connection, so that a late answer meant for
        // an earlier connection's socket is never mistaken for one of ours.
        const auto seed = static_cast<std::int32_t>(GetTickCount() ^ (GetCurrentProcessId() << 16) ^
                                                    reinterpret_cast<std::uintptr_t>(this));
        // An SNMPv3 engine learnt by an earlier connection to the printer is used again.
        client_ = std::make_unique<Client>(*channel_, options.client, seed, &crypto_, &options.user,
                                           &EngineCache::Shared(), NormalisedUri(endpoint));
        walker_ = std::make_unique<Walker>(*client_, options.version);
        limits_ = LimitsFor(options);
        return 0;
    }

    void Disconnect() override {
        walker_.reset();
        client_.reset();
        channel_.reset();
    }

    // The MIB reports no e-mail notification: the server answers that with this module's code
    // rather than claim the notification is off.
    LONG Snapshot(Scope scope, Printer& printer) override {
        const LONG taken = Walk(scope, printer);
        printer.email = EMailNotification{false, 0, code::kNoEMail};
        return taken;
    }

    // The Printer MIB has no colour mode to set: the server keeps the selection.
    LONG Select(const Feature&, const Option&, bool& sent) override {
        sent = false;
        return 0;
    }

  private:
    LONG Walk(Scope scope, Printer& printer) {
        if (!walker_) {
            return kNotConnected;
        }
        switch (scope) {
            case Scope::kTemplates:
                printer.templates.clear();  // SNMP printers have none: nothing to ask
                return 0;
            case Scope::kColour:
                return TakeSnapshot(*walker_, Parts::kColour, limits_, decoder_, printer);
            case Scope::kAttributes:
                return TakeSnapshot(*walker_, Parts::kAttributes, limits_, decoder_, printer);
            case Scope::kAll:
                break;
        }
        return TakeSnapshot(*walker_, Parts::kAll, limits_, decoder_, printer);
    }

    CngCrypto crypto_;
    std::unique_ptr<UdpChannel> channel_;
    std::unique_ptr<Client> client_;
    std::unique_ptr<Walker> walker_;
    WalkLimits limits_;
    SystemTextDecoder decoder_;
};

}  // namespace

std::unique_ptr<Source> CreateSource(const std::string&, LONG& code) {
    code = 0;
    return std::make_unique<SnmpSource>();
}

}  // namespace vyxserve
