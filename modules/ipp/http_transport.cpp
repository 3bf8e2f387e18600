// The IPP module's transport: an exchange as the caller sees it, on a worker within one deadline.
//
// WinHTTP is a system DLL, so the module still imports nothing else, and it brings TLS for
// ipps://, which a socket of our own could not have without another library.
//
// One request's whole life, from name lookup to the reply's last byte, fits in one timeout.
// WinHTTP bounds each phase on its own (and each wait for a byte of a phase, so a printer that
// trickles its headers or its TLS handshake is never timed out), so the request runs on a
// worker that the caller stops waiting for at the deadline. Closing the request handle under
// the worker would end it sooner, but a handle value closed while another thread may still use
// it can be handed to a new handle meanwhile; the abandoned worker ends by WinHTTP's own bounds.
//
// Over ipps:// with cert=auto, a printer with a pin is first asked taking the pinned certificate
// alone; otherwise, and when it shows another, WinHTTP validates the printer's certificate; once
// one has not validated, the line's requests take any certificate and the module judges the one
// shown by its rule (trust_rule.h) at WINHTTP_CALLBACK_STATUS_SENDING_REQUEST, the first moment
// WinHTTP shows it. A 401 is answered once with the stored credential (Basic, our own header,
// so that the credential goes exactly where the module puts it); from then on the line's
// requests carry it from the start. A request that carries it to a certificate the module
// judges goes through a relay (relay.h), so that a refused certificate is cut off before the
// request leaves.
#include "http_transport.h"

#include <windows.h>
#include <winhttp.h>

#include <cstdint>
#include <new>

#include "http_auth.h"
#include "http_post.h"
#include "ipp_codes.h"
#include "relay.h"

namespace vyxipp {
namespace {

using http::Attempt;
using http::Left;
using http::Line;
using http::LoadCredential;
using http::Post;

// One exchange as the caller sees it: the certificate rule of the options, and the printer's
// request for a password answered once with the stored credential.
class Conversation {
  public:
    Conversation(Line& line, ULONGLONG deadline) : line_(line), deadline_(deadline) {}

    std::int32_t Exchange(const std::string& request, std::string& reply) {
        vyxserve::StoredCredential credential;
        bool sent = false;
        if (line_.asksPassword()) {
            if (const std::int32_t missing = LoadCredential(line_.credentialName, credential)) {
                return missing;
            }
            sent = true;
        }
        for (;;) {
            bool offersBasic = false;
            const std::int32_t code =
                Try(request, reply, sent ? &credential : nullptr, offersBasic);
            if (code != kHttpStatusBase + HTTP_STATUS_DENIED) {
                return code;
            }
            if (!line_.target.secure) {
                return kAuthNeedsTls;
            }
            if (!offersBasic) {
                return kAuthUnsupported;
            }
            if (sent) {
                return kAuthRefused;
            }
            if (const std::int32_t missing = LoadCredential(line_.credentialName, credential)) {
                return missing;
            }
            line_.LearnAsksPassword();
            sent = true;
        }
    }

  private:
    // One request under the certificate policy. cert=auto asks WinHTTP to validate until the
    // printer's certificate is known not to; from then on (for the line's life) the module
    // judges it by its rule. A printer with a pin is first asked taking the pinned certificate
    // alone, without WinHTTP's check, which a self-signed one would fail a whole handshake
    // later; any other certificate goes on to WinHTTP's check, so the rule meets it as it
    // would have without that first attempt.
    std::int32_t Try(const std::string& request, std::string& reply,
                     const vyxserve::StoredCredential* credential, bool& offersBasic) {
        Attempt attempt;
        attempt.credential = credential;
        const bool automatic = line_.target.secure && line_.options.cert == CertPolicy::kAuto;
        attempt.validate = line_.options.cert != CertPolicy::kAny;
        attempt.judge = automatic;
        Seen seen;
        if (!automatic) {
            return Run(attempt, request, reply, offersBasic, seen);
        }
        const LONG known = line_.certificate();
        if (known == Line::kCertificateUnvalidated) {
            attempt.validate = false;
            return Run(attempt, request, reply, offersBasic, seen);
        }
        if (known == Line::kCertificateUnknown && vyxserve::HasPin(line_.origin)) {
            Attempt pinned = attempt;
            pinned.validate = false;
            pinned.pinnedOnly = true;
            const std::int32_t code = Run(pinned, request, reply, offersBasic, seen);
            if (!seen.notPinned) {
                return code;
            }
        }
        const std::int32_t code = Run(attempt, request, reply, offersBasic, seen);
        if (!seen.certificateFailed) {
            if (seen.judged) {
                line_.LearnCertificate(Line::kCertificateValidates);
            }
            return code;
        }
        line_.LearnCertificate(Line::kCertificateUnvalidated);
        attempt.validate = false;
        return Run(attempt, request, reply, offersBasic, seen);
    }

    // What an attempt learnt of the certificate (http::Post's accessors of the same names).
    struct Seen {
        bool judged = false;
        bool certificateFailed = false;
        bool notPinned = false;
    };

    std::int32_t Run(const Attempt& attempt, const std::string& request, std::string& reply,
                     bool& offersBasic, Seen& seen) {
        reply.clear();
        Post post(line_, deadline_, attempt);
        const std::int32_t code = post.Exchange(request, reply);
        offersBasic = post.offersBasic();
        seen = {post.judged(), post.certificateFailed(), post.notPinned()};
        return code;
    }

    Line& line_;
    const ULONGLONG deadline_;
};

// What a request's worker and its caller share. While the caller waits, the worker only fills
// it in and the caller frees it. Once the caller has stopped waiting, whichever of the two comes
// second frees it, so a worker that finishes late writes into memory that still exists.
struct Flight {
    enum : LONG { kFlying, kLanded, kAbandoned };

    Flight(Line& line, const std::string& request, ULONGLONG deadline)
        : line(line), request(request), deadline(deadline) {
        line.Hold();
    }
    ~Flight() {
        if (done) {
            CloseHandle(done);
        }
        line.Release();
    }
    Flight(const Flight&) = delete;
    Flight& operator=(const Flight&) = delete;

    LONG state = kFlying;
    HANDLE done = nullptr;     // set when the worker has landed and let go
    HMODULE module = nullptr;  // held for the worker, let go of when it returns
    Line& line;
    const std::string request;
    const ULONGLONG deadline;
    std::string reply;
    std::int32_t code = kTimedOut;
};

// How long a caller whose wait ran out as the worker landed waits for the worker's next step,
// its signal: no time at all in practice, but a wait with an end.
constexpr DWORD kLandingMs = 1000;

// The module is held for the worker (HoldThisModule): a caller who unloads the module after
// giving up on a request must not pull the code from under it. It is taken before the work is
// queued, so that it is held even before the worker first runs.

// Runs on a thread of the process's pool, which keeps its threads between requests: starting a
// thread of our own costs about a millisecond under wine, as much as the request itself.
VOID CALLBACK Fly(PTP_CALLBACK_INSTANCE instance, PVOID parameter) {
    auto* flight = static_cast<Flight*>(parameter);
    if (flight->module) {
        FreeLibraryWhenCallbackReturns(instance, flight->module);
    }
    try {
        flight->code =
            Conversation(flight->line, flight->deadline).Exchange(flight->request, flight->reply);
    } catch (const std::bad_alloc&) {
        flight->code = kTransportFailed;
    }
    const HANDLE done = flight->done;
    if (InterlockedCompareExchange(&flight->state, Flight::kLanded, Flight::kFlying) ==
        Flight::kAbandoned) {
        delete flight;
        return;
    }
    SetEvent(done);  // the flight is the caller's from here on
}

class HttpTransport : public Transport {
  public:
    HttpTransport(const Target& target, const Options& options, std::size_t maxReply)
        : line_(new Line(target, options, maxReply)) {}
    ~HttpTransport() override { line_->Release(); }
    HttpTransport(const HttpTransport&) = delete;
    HttpTransport& operator=(const HttpTransport&) = delete;

    std::int32_t Exchange(const std::string& request, std::string& reply) override {
        reply.clear();
        ++sent_;
        const ULONGLONG deadline = GetTickCount64() + line_->options.timeoutMs;
        if (const std::int32_t failed = line_->Open()) {
            return failed;
        }
        auto flight = std::make_unique<Flight>(*line_, request, deadline);
        flight->done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        flight->module = HoldThisModule();
        if (!flight->done || !TrySubmitThreadpoolCallback(Fly, flight.get(), nullptr)) {
            if (flight->module) {
                FreeLibrary(flight->module);
            }
            return kTransportFailed;
        }
        if (WaitForSingleObject(flight->done, Left(deadline)) != WAIT_OBJECT_0) {
            if (InterlockedCompareExchange(&flight->state, Flight::kAbandoned, Flight::kFlying) ==
                Flight::kFlying) {
                flight.release();  // the worker frees it when it lands
                return kTimedOut;
            }
            // It landed as the wait ran out: its signal is its next step, and until then the
            // flight is still in its hands.
            if (WaitForSingleObject(flight->done, kLandingMs) != WAIT_OBJECT_0) {
                flight.release();  // kept rather than freed under a worker that may yet touch it
                return kTimedOut;
            }
        }
        reply.swap(flight->reply);
        return flight->code;
    }

  private:
    Line* line_;
};

}  // namespace

std::unique_ptr<Transport> MakeHttpTransport(const Target& target, const Options& options,
                                             std::size_t maxReply) {
    return std::make_unique<HttpTransport>(target, options, maxReply);
}

}  // namespace vyxipp
