// One IPP request over WinHTTP, each phase given what is left of the deadline.
//
// The session and connection handles live as long as the transport, so a request does not set
// them up again. Each request gets a connection of its own: on a kept-alive connection WinHTTP
// writes headers and body in two sends without TCP_NODELAY and then waits about 40 ms on the
// peer's delayed acknowledgement, while a fresh connection costs about a millisecond. Proxies
// are never used: a printer is on the local network, and http_proxy in the environment would
// otherwise send its traffic elsewhere.
#include "http_post.h"

#include <cwchar>

#include "http_auth.h"
#include "http_certificate.h"
#include "ipp_codes.h"
#include "relay.h"

namespace vyxipp::http {
namespace {

const wchar_t kUserAgent[] = L"vyxbidi-ipp/1.0";

std::wstring Widen(const std::string& ascii) {
    return std::wstring(ascii.begin(), ascii.end());  // host and path are checked to be ASCII
}

std::int32_t CodeFor(DWORD error) {
    if (IsCertificateError(error)) {
        return kTlsFailed;
    }
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
        // Not certificates that a first use may trust: a failure all the same.
        case ERROR_WINHTTP_SECURE_CERT_REVOKED:
        case ERROR_WINHTTP_CLIENT_AUTH_CERT_NEEDED:
            return kTlsFailed;
        default:
            return kTransportFailed;
    }
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

}  // namespace

DWORD Left(ULONGLONG deadline) {
    const ULONGLONG now = GetTickCount64();
    return now >= deadline ? 0 : static_cast<DWORD>(deadline - now);
}

std::int32_t Line::Open() {
    if (!session_) {
        session_.reset(WinHttpOpen(kUserAgent, WINHTTP_ACCESS_TYPE_NO_PROXY,
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

Post::~Post() {
    post_.reset(nullptr);
    if (relay_) {
        relay_->Release();
    }
}

std::int32_t Post::Exchange(const std::string& request, std::string& reply) {
    if (Left(deadline_) == 0) {
        return kTimedOut;
    }
    if (!OpenRequest() || !Prepare()) {
        return kTransportFailed;
    }
    std::int32_t code = Send(request);
    if (notPinned_) {
        return kTlsFailed;  // not this attempt's to judge
    }
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

// A request that carries a credential to a certificate the module judges goes through a
// relay, on a session of its own whose proxy the relay is; every other request goes on the
// line's connection.
bool Post::OpenRequest() {
    HINTERNET connection = line_.connection();
    if (attempt_.credential && attempt_.judge && !attempt_.validate) {
        relay_ = Relay::Start(line_.target, deadline_);
        if (!relay_) {
            return false;
        }
        session_.reset(WinHttpOpen(kUserAgent, WINHTTP_ACCESS_TYPE_NAMED_PROXY,
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
    post_.reset(WinHttpOpenRequest(connection, L"POST", Widen(line_.target.path).c_str(), nullptr,
                                   WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES,
                                   line_.target.secure ? WINHTTP_FLAG_SECURE : 0));
    return post_.get() != nullptr;
}

// Timeouts; no keep-alive, no redirects (a POST is not to be replayed elsewhere) and no
// authentication of WinHTTP's own (a refused credential is the module's to report, not to
// resend); the certificate checks of the attempt.
bool Post::Prepare() {
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
    if (attempt_.judge &&
        WinHttpSetStatusCallback(post_.get(), OnSendingRequest, WINHTTP_CALLBACK_FLAG_SEND_REQUEST,
                                 0) == WINHTTP_INVALID_STATUS_CALLBACK) {
        return false;
    }
    if (attempt_.validate) {
        return true;
    }
    return TakeUnvalidatedCertificate(post_.get());
}

std::int32_t Post::Send(const std::string& request) {
    WipedText<wchar_t> headers(
        attempt_.credential ? 40 + BasicAuthorizationRoom(*attempt_.credential) : 40);
    const wchar_t type[] = L"Content-Type: application/ipp\r\n";
    headers.Append(type, sizeof type / sizeof type[0] - 1);
    if (attempt_.credential) {
        BasicAuthorization(*attempt_.credential, headers);
    } else {
        headers.Append(L"", 1);
    }
    if (!WinHttpSendRequest(post_.get(), headers.data(), static_cast<DWORD>(-1),
                            const_cast<char*>(request.data()), static_cast<DWORD>(request.size()),
                            static_cast<DWORD>(request.size()),
                            reinterpret_cast<DWORD_PTR>(this))) {
        certificateFailed_ = IsCertificateError(GetLastError());
        return Failure(deadline_);
    }
    return 0;
}

std::int32_t Post::Receive(std::string& reply) {
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
void CALLBACK Post::OnSendingRequest(HINTERNET request, DWORD_PTR context, DWORD status, LPVOID,
                                     DWORD) {
    if (status == WINHTTP_CALLBACK_STATUS_SENDING_REQUEST && context) {
        reinterpret_cast<Post*>(context)->JudgeCertificate(request);
    }
}

void Post::JudgeCertificate(HINTERNET request) {
    judged_ = true;
    const std::string fingerprint = ShownFingerprint(request);
    if (attempt_.pinnedOnly) {
        notPinned_ = !vyxserve::IsPinned(line_.origin, fingerprint);
        verdict_ = notPinned_ ? vyxserve::CertificateVerdict::kFailed
                              : vyxserve::CertificateVerdict::kTaken;
    } else {
        verdict_ = vyxserve::JudgeCertificate(line_.origin, fingerprint, attempt_.validate);
    }
    if (verdict_ != vyxserve::CertificateVerdict::kTaken && relay_) {
        relay_->Cut();
    }
}

// The next wait (and the receive timeout with it) gets what is left of the deadline; false
// when nothing is.
bool Post::CutWaits(DWORD option) {
    DWORD left = Left(deadline_);
    if (left == 0) {
        return false;
    }
    WinHttpSetOption(post_.get(), option, &left, sizeof left);
    WinHttpSetOption(post_.get(), WINHTTP_OPTION_RECEIVE_TIMEOUT, &left, sizeof left);
    return true;
}

// 0 for HTTP 200 of an IPP message, and for one whose announced length fits.
std::int32_t Post::StatusOf() {
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
    if (WinHttpQueryHeaders(post_.get(), WINHTTP_QUERY_CONTENT_LENGTH | WINHTTP_QUERY_FLAG_NUMBER,
                            WINHTTP_HEADER_NAME_BY_INDEX, &length, &size,
                            WINHTTP_NO_HEADER_INDEX) &&
        length > line_.maxReply) {
        return kReplyTooLarge;
    }
    return 0;
}

// Reads to the end of the body, asking each time only for the bytes already there: a read
// of a whole buffer would wait for it to fill.
std::int32_t Post::ReadBody(std::string& reply) {
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

}  // namespace vyxipp::http
