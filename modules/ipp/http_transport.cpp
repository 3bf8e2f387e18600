// IPP over WinHTTP. WinHTTP is a system DLL, so the module still imports nothing else, and it
// brings TLS for ipps://, which a socket of our own could not have without another library.
// The session and connection handles live as long as the transport, so a request does not set
// them up again. Each request gets a connection of its own: on a kept-alive connection WinHTTP
// writes headers and body in two sends without TCP_NODELAY and then waits about 40 ms on the
// peer's delayed acknowledgement, while a fresh connection costs about a millisecond. Proxies
// are never used: a printer is on the local network, and http_proxy in the environment would
// otherwise send its traffic elsewhere.
#include "http_transport.h"

#include <windows.h>
#include <winhttp.h>

#include <cwchar>

#include "ipp_codes.h"

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

class HttpTransport : public Transport {
  public:
    HttpTransport(const Target& target, const Options& options, std::size_t maxReply)
        : target_(target), options_(options), maxReply_(maxReply) {}

    std::int32_t Exchange(const std::string& request, std::string& reply) override {
        reply.clear();
        ++sent_;
        const ULONGLONG deadline = GetTickCount64() + options_.timeoutMs;
        if (!session_) {
            session_.reset(WinHttpOpen(L"vyxbidi-ipp/1.0", WINHTTP_ACCESS_TYPE_NO_PROXY,
                                       WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0));
            if (!session_) {
                return kTransportFailed;
            }
        }
        if (!connection_) {
            connection_.reset(
                WinHttpConnect(session_.get(), Widen(target_.host).c_str(), target_.port, 0));
            if (!connection_) {
                return CodeFor(GetLastError());
            }
        }
        InternetHandle post(WinHttpOpenRequest(
            connection_.get(), L"POST", Widen(target_.path).c_str(), nullptr, WINHTTP_NO_REFERER,
            WINHTTP_DEFAULT_ACCEPT_TYPES, target_.secure ? WINHTTP_FLAG_SECURE : 0));
        if (!post || !Prepare(post.get())) {
            return kTransportFailed;
        }
        if (!WinHttpSendRequest(post.get(), L"Content-Type: application/ipp\r\n",
                                static_cast<DWORD>(-1), const_cast<char*>(request.data()),
                                static_cast<DWORD>(request.size()),
                                static_cast<DWORD>(request.size()), 0)) {
            return Failure(deadline);
        }
        // The reply gets what is left of the timeout, not a whole one of its own.
        DWORD left = Left(deadline);
        if (left == 0) {
            return kTimedOut;
        }
        WinHttpSetOption(post.get(), WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT, &left, sizeof left);
        WinHttpSetOption(post.get(), WINHTTP_OPTION_RECEIVE_TIMEOUT, &left, sizeof left);
        if (!WinHttpReceiveResponse(post.get(), nullptr)) {
            return Failure(deadline);
        }
        const std::int32_t status = StatusOf(post.get());
        if (status != 0) {
            return status;
        }
        return ReadBody(post.get(), deadline, reply);
    }

  private:
    // Timeouts, no keep-alive, no redirects (a POST is not to be replayed elsewhere), and the
    // certificate checks the options ask for.
    bool Prepare(HINTERNET post) {
        const int ms = static_cast<int>(options_.timeoutMs);
        DWORD responseMs = options_.timeoutMs;
        DWORD disabled = WINHTTP_DISABLE_KEEP_ALIVE | WINHTTP_DISABLE_REDIRECTS;
        if (!WinHttpSetTimeouts(post, ms, ms, ms, ms) ||
            !WinHttpSetOption(post, WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT, &responseMs,
                              sizeof responseMs) ||
            !WinHttpSetOption(post, WINHTTP_OPTION_DISABLE_FEATURE, &disabled, sizeof disabled)) {
            return false;
        }
        if (target_.secure && options_.acceptAnyCertificate) {
            DWORD ignore =
                SECURITY_FLAG_IGNORE_UNKNOWN_CA | SECURITY_FLAG_IGNORE_CERT_DATE_INVALID |
                SECURITY_FLAG_IGNORE_CERT_CN_INVALID | SECURITY_FLAG_IGNORE_CERT_WRONG_USAGE;
            return WinHttpSetOption(post, WINHTTP_OPTION_SECURITY_FLAGS, &ignore, sizeof ignore);
        }
        return true;
    }

    static DWORD Left(ULONGLONG deadline) {
        const ULONGLONG now = GetTickCount64();
        return now >= deadline ? 0 : static_cast<DWORD>(deadline - now);
    }

    // A failed call: past the deadline it is a time-out whatever WinHTTP says.
    std::int32_t Failure(ULONGLONG deadline) const {
        const DWORD error = GetLastError();
        return GetTickCount64() >= deadline ? kTimedOut : CodeFor(error);
    }

    // Whether the reply says it is an IPP message: a web page or anything else that a device
    // answers is not decoded as one, however its bytes happen to look.
    static bool IsIppReply(HINTERNET post) {
        wchar_t type[128];
        DWORD size = sizeof type;
        if (!WinHttpQueryHeaders(post, WINHTTP_QUERY_CONTENT_TYPE, WINHTTP_HEADER_NAME_BY_INDEX,
                                 type, &size, WINHTTP_NO_HEADER_INDEX)) {
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

    // 0 for HTTP 200 of an IPP message, and for one whose announced length fits.
    std::int32_t StatusOf(HINTERNET post) const {
        DWORD status = 0, size = sizeof status;
        if (!WinHttpQueryHeaders(post, WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                                 WINHTTP_HEADER_NAME_BY_INDEX, &status, &size,
                                 WINHTTP_NO_HEADER_INDEX)) {
            return kMalformedReply;
        }
        if (status != 200) {
            return kHttpStatusBase + static_cast<std::int32_t>(status > 999 ? 999 : status);
        }
        if (!IsIppReply(post)) {
            return kMalformedReply;
        }
        DWORD length = 0;
        size = sizeof length;
        if (WinHttpQueryHeaders(post, WINHTTP_QUERY_CONTENT_LENGTH | WINHTTP_QUERY_FLAG_NUMBER,
                                WINHTTP_HEADER_NAME_BY_INDEX, &length, &size,
                                WINHTTP_NO_HEADER_INDEX) &&
            length > maxReply_) {
            return kReplyTooLarge;
        }
        return 0;
    }

    // Reads to the end of the body, asking each time only for the bytes already there: a read
    // of a whole buffer would wait for it to fill, so a printer that sends a byte now and then
    // could stretch the request far past its deadline. Each wait is cut to what is left.
    std::int32_t ReadBody(HINTERNET post, ULONGLONG deadline, std::string& reply) const {
        char buffer[16384];
        for (;;) {
            DWORD left = Left(deadline);
            if (left == 0) {
                return kTimedOut;
            }
            WinHttpSetOption(post, WINHTTP_OPTION_RECEIVE_TIMEOUT, &left, sizeof left);
            DWORD available = 0;
            if (!WinHttpQueryDataAvailable(post, &available)) {
                return Failure(deadline);
            }
            if (available == 0) {
                return 0;
            }
            DWORD read = 0;
            const DWORD wanted = available < sizeof buffer ? available : sizeof buffer;
            if (!WinHttpReadData(post, buffer, wanted, &read)) {
                return Failure(deadline);
            }
            if (read == 0) {
                return 0;
            }
            if (read > maxReply_ - reply.size()) {
                return kReplyTooLarge;
            }
            reply.append(buffer, read);
        }
    }

    Target target_;
    Options options_;
    std::size_t maxReply_;
    // Kept for the transport's life (the connection handle holds no connection: each request
    // opens its own); declared so that the connection handle closes before the session.
    InternetHandle session_;
    InternetHandle connection_;
};

}  // namespace

std::unique_ptr<Transport> MakeHttpTransport(const Target& target, const Options& options,
                                             std::size_t maxReply) {
    return std::make_unique<HttpTransport>(target, options, maxReply);
}

}  // namespace vyxipp
