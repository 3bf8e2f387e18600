// IPP over WinHTTP. WinHTTP is a system DLL, so the module still imports nothing else, and it
// brings TLS for ipps://, which a socket of our own could not have without another library.
// The session and connection handles live as long as the transport, so a request does not set
// them up again. Each request gets a connection of its own: on a kept-alive connection WinHTTP
// writes headers and body in two sends without TCP_NODELAY and then waits about 40 ms on the
// peer's delayed acknowledgement, while a fresh connection costs about a millisecond. Proxies
// are never used: a printer is on the local network, and http_proxy in the environment would
// otherwise send its traffic elsewhere.
//
// One request's whole life, from name lookup to the reply's last byte, fits in one timeout.
// WinHTTP bounds each phase on its own (and each wait for a byte of a phase, so a printer that
// trickles its headers or its TLS handshake is never timed out), so the request runs on a
// worker that the caller stops waiting for at the deadline. Closing the request handle under
// the worker would end it sooner, but a handle value closed while another thread may still use
// it can be handed to a new handle meanwhile; the abandoned worker ends by WinHTTP's own bounds.
//
// Over ipps:// with cert=auto, WinHTTP first validates the printer's certificate; once one has
// not validated, the line's requests take any certificate and the module judges the one shown
// by its rule (trust_rule.h) at WINHTTP_CALLBACK_STATUS_SENDING_REQUEST, the first moment
// WinHTTP shows it. A 401 is answered once with the stored credential (Basic, our own header,
// so that the credential goes exactly where the module puts it); from then on the line's
// requests carry it from the start. A request that carries it to a certificate the module
// judges goes through a relay (relay.h), so that a refused certificate is cut off before the
// request leaves.
#include "http_transport.h"

#include <windows.h>
#include <wincrypt.h>
#include <winhttp.h>

#include <cstdint>
#include <cwchar>
#include <new>
#include <vector>

#include "cng_hash.h"
#include "credentials.h"
#include "ipp_codes.h"
#include "relay.h"
#include "trust_rule.h"

namespace vyxipp {
namespace {

class InternetHandle {
  public:
    explicit InternetHandle(HINTERNET handle = nullptr) : handle_(handle) {}
    ~InternetHandle() {
        if (handle_) {
            WinHttpCloseHandle(handle_);
        }
    }
    InternetHandle(const InternetHandle&) = delete;
    InternetHandle& operator=(const InternetHandle&) = delete;
    HINTERNET get() const { return handle_; }
    void reset(HINTERNET handle) {
        if (handle_) {
            WinHttpCloseHandle(handle_);
        }
        handle_ = handle;
    }
    explicit operator bool() const { return handle_ != nullptr; }

  private:
    HINTERNET handle_;
};

std::wstring Widen(const std::string& ascii) {
    return std::wstring(ascii.begin(), ascii.end());  // host and path are checked to be ASCII
}

std::int32_t CodeFor(DWORD error) {
    switch (error) {
        case ERROR_WINHTTP_TIMEOUT:
        case WSAETIMEDOUT:
            return kTimedOut;
        case ERROR_WINHTTP_NAME_NOT_RESOLVED:
        case ERROR_WINHTTP_CANNOT_CONNECT:
        case ERROR_WINHTTP_CONNECTION_ERROR:
        case WSAECONNREFUSED:
        case WSAECONNRESET:
            return kUnreachable;
        case ERROR_WINHTTP_INVALID_SERVER_RESPONSE:
        case ERROR_WINHTTP_HEADER_NOT_FOUND:
            return kMalformedReply;
        case ERROR_WINHTTP_SECURE_FAILURE:
        case ERROR_WINHTTP_SECURE_CHANNEL_ERROR:
        case ERROR_WINHTTP_SECURE_INVALID_CA:
        case ERROR_WINHTTP_SECURE_INVALID_CERT:
        case ERROR_WINHTTP_SECURE_CERT_DATE_INVALID:
        case ERROR_WINHTTP_SECURE_CERT_CN_INVALID:
        case ERROR_WINHTTP_SECURE_CERT_REVOKED:
        case ERROR_WINHTTP_SECURE_CERT_WRONG_USAGE:
        case ERROR_WINHTTP_CLIENT_AUTH_CERT_NEEDED:
            return kTlsFailed;
        default:
            return kTransportFailed;
    }
}

DWORD Left(ULONGLONG deadline) {
    const ULONGLONG now = GetTickCount64();
    return now >= deadline ? 0 : static_cast<DWORD>(deadline - now);
}

// A failed call: past the deadline it is a time-out whatever WinHTTP says.
std::int32_t Failure(ULONGLONG deadline) {
    const DWORD error = GetLastError();
    return GetTickCount64() >= deadline ? kTimedOut : CodeFor(error);
}

// Whether the reply says it is an IPP message: a web page or anything else that a device
// answers is not decoded as one, however its bytes happen to look.
bool IsIppReply(HINTERNET post) {
    wchar_t type[128];
    DWORD size = sizeof type;
    if (!WinHttpQueryHeaders(post, WINHTTP_QUERY_CONTENT_TYPE, WINHTTP_HEADER_NAME_BY_INDEX, type,
                             &size, WINHTTP_NO_HEADER_INDEX)) {
        return false;
    }
    const wchar_t expected[] = L"application/ipp";
    const std::size_t n = sizeof expected / sizeof expected[0] - 1;
    const std::size_t length = size / sizeof(wchar_t);
    if (length < n || _wcsnicmp(type, expected, n) != 0) {
        return false;
    }
    return length == n || type[n] == L';' || type[n] == L' ';
}

// Whether a failed secure request failed on the certificate: the error of a handshake whose
// certificate did not validate (wine reports it as a secure channel error).
bool IsCertificateError(DWORD error) {
    switch (error) {
        case ERROR_WINHTTP_SECURE_FAILURE:
        case ERROR_WINHTTP_SECURE_CHANNEL_ERROR:
        case ERROR_WINHTTP_SECURE_INVALID_CA:
        case ERROR_WINHTTP_SECURE_INVALID_CERT:
        case ERROR_WINHTTP_SECURE_CERT_DATE_INVALID:
        case ERROR_WINHTTP_SECURE_CERT_CN_INVALID:
        case ERROR_WINHTTP_SECURE_CERT_WRONG_USAGE:
            return true;
        default:
            return false;
    }
}

// Text that holds a secret, wiped when it goes; its room is reserved once, so that growing it
// never leaves a copy behind.
template <typename Unit>
class WipedText {
  public:
    explicit WipedText(std::size_t room) { units_.reserve(room); }
    ~WipedText() { SecureZeroMemory(units_.data(), units_.capacity() * sizeof(Unit)); }
    WipedText(const WipedText&) = delete;
    WipedText& operator=(const WipedText&) = delete;
    void Append(const Unit* units, std::size_t count) {
        for (std::size_t i = 0; i < count && units_.size() < units_.capacity(); ++i) {
            units_.push_back(units[i]);
        }
    }
    const Unit* data() const { return units_.data(); }
    std::size_t size() const { return units_.size(); }

  private:
    std::vector<Unit> units_;
};

std::string Utf8(const std::wstring& text) {
    const int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                      nullptr, 0, nullptr, nullptr);
    std::string out(n > 0 ? n : 0, '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n,
                        nullptr, nullptr);
    return out;
}

// "Authorization: Basic ..." for the credential's user and first secret (UTF-8, RFC 7617), as
// the request's one added header line.
void BasicAuthorization(const vyxserve::StoredCredential& credential, WipedText<wchar_t>& line) {
    static const char kAlphabet[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    const std::string user = Utf8(credential.user);
    const vyxserve::Secret& password = credential.secrets.at(0);
    WipedText<std::uint8_t> pair(user.size() + 1 + password.size());
    pair.Append(reinterpret_cast<const std::uint8_t*>(user.data()), user.size());
    const std::uint8_t colon = ':';
    pair.Append(&colon, 1);
    pair.Append(password.data(), password.size());
    const wchar_t prefix[] = L"Authorization: Basic ";
    line.Append(prefix, sizeof prefix / sizeof prefix[0] - 1);
    for (std::size_t i = 0; i < pair.size(); i += 3) {
        const std::size_t n = pair.size() - i < 3 ? pair.size() - i : 3;
        const std::uint32_t group = (pair.data()[i] << 16) | (n > 1 ? pair.data()[i + 1] << 8 : 0) |
                                    (n > 2 ? pair.data()[i + 2] : 0);
        const wchar_t quad[4] = {static_cast<wchar_t>(kAlphabet[(group >> 18) & 63]),
                                 static_cast<wchar_t>(kAlphabet[(group >> 12) & 63]),
                                 static_cast<wchar_t>(n > 1 ? kAlphabet[(group >> 6) & 63] : '='),
                                 static_cast<wchar_t>(n > 2 ? kAlphabet[group & 63] : '=')};
        line.Append(quad, 4);
    }
    const wchar_t end[] = L"\r\n";
    line.Append(end, 3);  // and its terminating zero
}

std::size_t BasicAuthorizationRoom(const vyxserve::StoredCredential& credential) {
    const std::size_t pair = Utf8(credential.user).size() + 1 + credential.secrets.at(0).size();
    return 32 + (pair + 2) / 3 * 4;
}

// The printer's line: where requests go, how, the WinHTTP handles they share, and what its
// requests have learnt of the printer. The transport and every request under way hold it, so a
// request abandoned at its deadline can still finish after the transport has gone.
class Line {
  public:
    enum : LONG { kCertificateUnknown, kCertificateValidates, kCertificateUnvalidated };

    Line(const Target& target, const Options& options, std::size_t maxReply)
        : target(target),
          options(options),
          maxReply(maxReply),
          origin(Origin(target)),
          credentialName(NormalisedUri(target)) {}

    // The session and connection handles (opened on first use; neither touches the network).
    // 0 or the module's code.
    std::int32_t Open() {
        if (!session_) {
            session_.reset(WinHttpOpen(L"vyxbidi-ipp/1.0", WINHTTP_ACCESS_TYPE_NO_PROXY,
                                       WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0));
            if (!session_) {
                return kTransportFailed;
            }
        }
        if (!connection_) {
            connection_.reset(
                WinHttpConnect(session_.get(), Widen(target.host).c_str(), target.port, 0));
            if (!connection_) {
                return CodeFor(GetLastError());
            }
        }
        return 0;
    }

    HINTERNET connection() const { return connection_.get(); }

    void Hold() { InterlockedIncrement(&references_); }
    void Release() {
        if (InterlockedDecrement(&references_) == 0) {
            delete this;
        }
    }

    // What the requests learn, shared with any abandoned request still running.
    LONG certificate() { return InterlockedCompareExchange(&certificate_, 0, 0); }
    void LearnCertificate(LONG state) { InterlockedExchange(&certificate_, state); }
    bool asksPassword() { return InterlockedCompareExchange(&asksPassword_, 0, 0) != 0; }
    void LearnAsksPassword() { InterlockedExchange(&asksPassword_, 1); }

    const Target target;
    const Options options;
    const std::size_t maxReply;
    const std::string origin;          // the name of the printer's certificate pin
    const std::string credentialName;  // the name of its credential

  private:
    ~Line() = default;

    LONG references_ = 1;
    LONG certificate_ = kCertificateUnknown;
    LONG asksPassword_ = 0;
    // Declared so that the connection handle closes before the session.
    InternetHandle session_;
    InternetHandle connection_;
};

// How one request goes: whether WinHTTP validates the certificate, whether the module judges it
// by its rule (trust_rule.h), and the credential it carries.
struct Attempt {
    bool validate = true;
    bool judge = false;
    const vyxserve::StoredCredential* credential = nullptr;
};

// One request, as its worker sends it and reads the reply: each phase given only what is left
// before the deadline, so that the worker, too, ends near it unless the printer trickles.
class Post {
  public:
    Post(Line& line, ULONGLONG deadline, const Attempt& attempt)
        : line_(line), deadline_(deadline), attempt_(attempt) {}
    ~Post() {
        post_.reset(nullptr);
        if (relay_) {
            relay_->Release();
        }
    }
    Post(const Post&) = delete;
    Post& operator=(const Post&) = delete;

    std::int32_t Exchange(const std::string& request, std::string& reply) {
        if (Left(deadline_) == 0) {
            return kTimedOut;
        }
        if (!OpenRequest() || !Prepare()) {
            return kTransportFailed;
        }
        std::int32_t code = Send(request);
        if (code == 0) {
            code = Receive(reply);
        }
        if (attempt_.judge && judged_ && verdict_ != vyxserve::CertificateVerdict::kTaken) {
            return verdict_ == vyxserve::CertificateVerdict::kChanged ? kCertificateChanged
                                                                      : kTlsFailed;
        }
        if (attempt_.judge && !judged_ && code == 0) {
            return kTlsFailed;  // answered without the certificate shown: not taken
        }
        return code;
    }

    // The certificate was shown and judged (so the handshake was done, and validated where the
    // attempt asked WinHTTP to).
    bool judged() const { return judged_; }

    // The request failed because the certificate did not validate.
    bool certificateFailed() const { return certificateFailed_; }
    // The printer answered 401 and offers Basic among its schemes.
    bool offersBasic() const { return offersBasic_; }

  private:
    // A request that carries a credential to a certificate the module judges goes through a
    // relay, on a session of its own whose proxy the relay is; every other request goes on the
    // line's connection.
    bool OpenRequest() {
        HINTERNET connection = line_.connection();
        if (attempt_.credential && attempt_.judge && !attempt_.validate) {
            relay_ = Relay::Start(line_.target, deadline_);
            if (!relay_) {
                return false;
            }
            session_.reset(WinHttpOpen(L"vyxbidi-ipp/1.0", WINHTTP_ACCESS_TYPE_NAMED_PROXY,
                                       relay_->ProxyName().c_str(), WINHTTP_NO_PROXY_BYPASS, 0));
            connection_.reset(session_
                                  ? WinHttpConnect(session_.get(), Widen(line_.target.host).c_str(),
                                                   line_.target.port, 0)
                                  : nullptr);
            connection = connection_.get();
        }
        if (!connection) {
            return false;
        }
        post_.reset(WinHttpOpenRequest(connection, L"POST", Widen(line_.target.path).c_str(),
                                       nullptr, WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES,
                                       line_.target.secure ? WINHTTP_FLAG_SECURE : 0));
        return post_.get() != nullptr;
    }

    // Timeouts; no keep-alive, no redirects (a POST is not to be replayed elsewhere) and no
    // authentication of WinHTTP's own (a refused credential is the module's to report, not to
    // resend); the certificate checks of the attempt.
    bool Prepare() {
        const int left = static_cast<int>(Left(deadline_));
        DWORD responseMs = static_cast<DWORD>(left);
        DWORD disabled =
            WINHTTP_DISABLE_KEEP_ALIVE | WINHTTP_DISABLE_REDIRECTS | WINHTTP_DISABLE_AUTHENTICATION;
        if (!WinHttpSetTimeouts(post_.get(), left, left, left, left) ||
            !WinHttpSetOption(post_.get(), WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT, &responseMs,
                              sizeof responseMs) ||
            !WinHttpSetOption(post_.get(), WINHTTP_OPTION_DISABLE_FEATURE, &disabled,
                              sizeof disabled)) {
            return false;
        }
        if (!line_.target.secure) {
            return true;
        }
        if (attempt_.judge && WinHttpSetStatusCallback(post_.get(), OnSendingRequest,
                                                       WINHTTP_CALLBACK_FLAG_SEND_REQUEST,
                                                       0) == WINHTTP_INVALID_STATUS_CALLBACK) {
            return false;
        }
        if (attempt_.validate) {
            return true;
        }
        DWORD ignore = SECURITY_FLAG_IGNORE_UNKNOWN_CA | SECURITY_FLAG_IGNORE_CERT_DATE_INVALID |
                       SECURITY_FLAG_IGNORE_CERT_CN_INVALID | SECURITY_FLAG_IGNORE_CERT_WRONG_USAGE;
        return WinHttpSetOption(post_.get(), WINHTTP_OPTION_SECURITY_FLAGS, &ignore,
                                sizeof ignore) != FALSE;
    }

    std::int32_t Send(const std::string& request) {
        WipedText<wchar_t> headers(
            attempt_.credential ? 40 + BasicAuthorizationRoom(*attempt_.credential) : 40);
        const wchar_t type[] = L"Content-Type: application/ipp\r\n";
        headers.Append(type, sizeof type / sizeof type[0] - 1);
        if (attempt_.credential) {
            BasicAuthorization(*attempt_.credential, headers);
        } else {
            headers.Append(L"", 1);
        }
        if (!WinHttpSendRequest(
                post_.get(), headers.data(), static_cast<DWORD>(-1),
                const_cast<char*>(request.data()), static_cast<DWORD>(request.size()),
                static_cast<DWORD>(request.size()), reinterpret_cast<DWORD_PTR>(this))) {
            certificateFailed_ = IsCertificateError(GetLastError());
            return Failure(deadline_);
        }
        return 0;
    }

    std::int32_t Receive(std::string& reply) {
        if (!CutWaits(WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT)) {
            return kTimedOut;
        }
        if (!WinHttpReceiveResponse(post_.get(), nullptr)) {
            return Failure(deadline_);
        }
        const std::int32_t status = StatusOf();
        if (status != 0) {
            return status;
        }
        return ReadBody(reply);
    }

    // WinHTTP shows the connection's certificate here, once the handshake is done and before
    // the request is written; a certificate the rule refuses cuts the relay, if there is one.
    static void CALLBACK OnSendingRequest(HINTERNET request, DWORD_PTR context, DWORD status,
                                          LPVOID, DWORD) {
        if (status == WINHTTP_CALLBACK_STATUS_SENDING_REQUEST && context) {
            reinterpret_cast<Post*>(context)->JudgeCertificate(request);
        }
    }

    void JudgeCertificate(HINTERNET request) {
        judged_ = true;
        verdict_ = vyxserve::CertificateVerdict::kFailed;
        PCCERT_CONTEXT certificate = nullptr;
        DWORD size = sizeof certificate;
        if (WinHttpQueryOption(request, WINHTTP_OPTION_SERVER_CERT_CONTEXT, &certificate, &size) &&
            certificate) {
            const std::string fingerprint = vyxserve::LowerHex(
                vyxserve::Sha256(certificate->pbCertEncoded, certificate->cbCertEncoded));
            CertFreeCertificateContext(certificate);
            verdict_ = vyxserve::JudgeCertificate(line_.origin, fingerprint, attempt_.validate);
        }
        if (verdict_ != vyxserve::CertificateVerdict::kTaken && relay_) {
            relay_->Cut();
        }
    }

    // The next wait (and the receive timeout with it) gets what is left of the deadline; false
    // when nothing is.
    bool CutWaits(DWORD option) {
        DWORD left = Left(deadline_);
        if (left == 0) {
            return false;
        }
        WinHttpSetOption(post_.get(), option, &left, sizeof left);
        WinHttpSetOption(post_.get(), WINHTTP_OPTION_RECEIVE_TIMEOUT, &left, sizeof left);
        return true;
    }

    // 0 for HTTP 200 of an IPP message, and for one whose announced length fits.
    std::int32_t StatusOf() {
        DWORD status = 0, size = sizeof status;
        if (!WinHttpQueryHeaders(post_.get(), WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                                 WINHTTP_HEADER_NAME_BY_INDEX, &status, &size,
                                 WINHTTP_NO_HEADER_INDEX)) {
            return kMalformedReply;
        }
        if (status == HTTP_STATUS_DENIED) {
            DWORD schemes = 0, first = 0, target = 0;
            offersBasic_ = WinHttpQueryAuthSchemes(post_.get(), &schemes, &first, &target) &&
                           target == WINHTTP_AUTH_TARGET_SERVER &&
                           (schemes & WINHTTP_AUTH_SCHEME_BASIC) != 0;
        }
        if (status != 200) {
            return kHttpStatusBase + static_cast<std::int32_t>(status > 999 ? 999 : status);
        }
        if (!IsIppReply(post_.get())) {
            return kMalformedReply;
        }
        DWORD length = 0;
        size = sizeof length;
        if (WinHttpQueryHeaders(
                post_.get(), WINHTTP_QUERY_CONTENT_LENGTH | WINHTTP_QUERY_FLAG_NUMBER,
                WINHTTP_HEADER_NAME_BY_INDEX, &length, &size, WINHTTP_NO_HEADER_INDEX) &&
            length > line_.maxReply) {
            return kReplyTooLarge;
        }
        return 0;
    }

    // Reads to the end of the body, asking each time only for the bytes already there: a read
    // of a whole buffer would wait for it to fill.
    std::int32_t ReadBody(std::string& reply) {
        char buffer[16384];
        for (;;) {
            if (!CutWaits(WINHTTP_OPTION_RECEIVE_TIMEOUT)) {
                return kTimedOut;
            }
            DWORD available = 0;
            if (!WinHttpQueryDataAvailable(post_.get(), &available)) {
                return Failure(deadline_);
            }
            if (available == 0) {
                return 0;
            }
            DWORD read = 0;
            const DWORD wanted = available < sizeof buffer ? available : sizeof buffer;
            if (!WinHttpReadData(post_.get(), buffer, wanted, &read)) {
                return Failure(deadline_);
            }
            if (read == 0) {
                return 0;
            }
            if (read > line_.maxReply - reply.size()) {
                return kReplyTooLarge;
            }
            reply.append(buffer, read);
        }
    }

    Line& line_;
    const ULONGLONG deadline_;
    const Attempt attempt_;
    Relay* relay_ = nullptr;
    vyxserve::CertificateVerdict verdict_ = vyxserve::CertificateVerdict::kFailed;
    bool judged_ = false;
    bool certificateFailed_ = false;
    bool offersBasic_ = false;
    // Declared so that the request closes before its connection and that before its session.
    InternetHandle session_;
    InternetHandle connection_;
    InternetHandle post_;
};

// One exchange as the caller sees it: the certificate rule of the options, and the printer's
// request for a password answered once with the stored credential.
class Conversation {
  public:
    Conversation(Line& line, ULONGLONG deadline) : line_(line), deadline_(deadline) {}

    std::int32_t Exchange(const std::string& request, std::string& reply) {
        vyxserve::StoredCredential credential;
        bool sent = false;
        if (line_.asksPassword()) {
            if (const std::int32_t missing = LoadCredential(credential)) {
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
            if (const std::int32_t missing = LoadCredential(credential)) {
                return missing;
            }
            line_.LearnAsksPassword();
            sent = true;
        }
    }

  private:
    std::int32_t LoadCredential(vyxserve::StoredCredential& credential) const {
        switch (vyxserve::ReadCredential(line_.credentialName, credential)) {
            case vyxserve::CredentialLookup::kFound:
                return credential.secrets.empty() ? kNoCredential : 0;
            case vyxserve::CredentialLookup::kNone:
                return kNoCredential;
            case vyxserve::CredentialLookup::kFailed:
                break;
        }
        return kTransportFailed;
    }

    // One request under the certificate policy. cert=auto asks WinHTTP to validate until the
    // printer's certificate is known not to; from then on (for the line's life) the module
    // judges it by its rule.
    std::int32_t Try(const std::string& request, std::string& reply,
                     const vyxserve::StoredCredential* credential, bool& offersBasic) {
        Attempt attempt;
        attempt.credential = credential;
        const bool automatic = line_.target.secure && line_.options.cert == CertPolicy::kAuto;
        attempt.validate = line_.options.cert != CertPolicy::kAny;
        attempt.judge = automatic;
        if (automatic && line_.certificate() == Line::kCertificateUnvalidated) {
            attempt.validate = false;
        }
        reply.clear();
        Post post(line_, deadline_, attempt);
        std::int32_t code = post.Exchange(request, reply);
        offersBasic = post.offersBasic();
        if (!automatic || !attempt.validate) {
            return code;
        }
        if (!post.certificateFailed()) {
            if (post.judged()) {
                line_.LearnCertificate(Line::kCertificateValidates);
            }
            return code;
        }
        line_.LearnCertificate(Line::kCertificateUnvalidated);
        attempt.validate = false;
        reply.clear();
        Post unvalidated(line_, deadline_, attempt);
        code = unvalidated.Exchange(request, reply);
        offersBasic = unvalidated.offersBasic();
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
