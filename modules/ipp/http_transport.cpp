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
#include "http_transport.h"

#include <windows.h>
#include <winhttp.h>

#include <cwchar>
#include <new>

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

// The printer's line: where requests go, how, and the WinHTTP handles they share. The transport
// and every request under way hold it, so a request abandoned at its deadline can still finish
// after the transport has gone.
class Line {
  public:
    Line(const Target& target, const Options& options, std::size_t maxReply)
        : target(target), options(options), maxReply(maxReply) {}

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

    const Target target;
    const Options options;
    const std::size_t maxReply;

  private:
    ~Line() = default;

    LONG references_ = 1;
    // Declared so that the connection handle closes before the session.
    InternetHandle session_;
    InternetHandle connection_;
};

// One request, as its worker sends it and reads the reply: each phase given only what is left
// before the deadline, so that the worker, too, ends near it unless the printer trickles.
class Post {
  public:
    Post(const Line& line, ULONGLONG deadline) : line_(line), deadline_(deadline) {}

    std::int32_t Exchange(const std::string& request, std::string& reply) {
        if (Left(deadline_) == 0) {
            return kTimedOut;
        }
        post_.reset(WinHttpOpenRequest(line_.connection(), L"POST",
                                       Widen(line_.target.path).c_str(), nullptr,
                                       WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES,
                                       line_.target.secure ? WINHTTP_FLAG_SECURE : 0));
        if (!post_ || !Prepare()) {
            return kTransportFailed;
        }
        if (!WinHttpSendRequest(post_.get(), L"Content-Type: application/ipp\r\n",
                                static_cast<DWORD>(-1), const_cast<char*>(request.data()),
                                static_cast<DWORD>(request.size()),
                                static_cast<DWORD>(request.size()), 0)) {
            return Failure(deadline_);
        }
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

  private:
    // Timeouts, no keep-alive, no redirects (a POST is not to be replayed elsewhere), and the
    // certificate checks the options ask for.
    bool Prepare() {
        const int left = static_cast<int>(Left(deadline_));
        DWORD responseMs = static_cast<DWORD>(left);
        DWORD disabled = WINHTTP_DISABLE_KEEP_ALIVE | WINHTTP_DISABLE_REDIRECTS;
        if (!WinHttpSetTimeouts(post_.get(), left, left, left, left) ||
            !WinHttpSetOption(post_.get(), WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT, &responseMs,
                              sizeof responseMs) ||
            !WinHttpSetOption(post_.get(), WINHTTP_OPTION_DISABLE_FEATURE, &disabled,
                              sizeof disabled)) {
            return false;
        }
        if (line_.target.secure && line_.options.acceptAnyCertificate) {
            DWORD ignore =
                SECURITY_FLAG_IGNORE_UNKNOWN_CA | SECURITY_FLAG_IGNORE_CERT_DATE_INVALID |
                SECURITY_FLAG_IGNORE_CERT_CN_INVALID | SECURITY_FLAG_IGNORE_CERT_WRONG_USAGE;
            return WinHttpSetOption(post_.get(), WINHTTP_OPTION_SECURITY_FLAGS, &ignore,
                                    sizeof ignore);
        }
        return true;
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
    std::int32_t StatusOf() const {
        DWORD status = 0, size = sizeof status;
        if (!WinHttpQueryHeaders(post_.get(), WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                                 WINHTTP_HEADER_NAME_BY_INDEX, &status, &size,
                                 WINHTTP_NO_HEADER_INDEX)) {
            return kMalformedReply;
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

    const Line& line_;
    ULONGLONG deadline_;
    InternetHandle post_;
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

// The module the worker's code lives in, held for the worker: a caller who unloads the module
// after giving up on a request must not pull the code from under it. It is taken before the
// work is queued, so that it is held even before the worker first runs.
HMODULE HoldThisModule() {
    HMODULE self = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                       reinterpret_cast<LPCWSTR>(&HoldThisModule), &self);
    return self;
}

// Runs on a thread of the process's pool, which keeps its threads between requests: starting a
// thread of our own costs about a millisecond under wine, as much as the request itself.
VOID CALLBACK Fly(PTP_CALLBACK_INSTANCE instance, PVOID parameter) {
    auto* flight = static_cast<Flight*>(parameter);
    if (flight->module) {
        FreeLibraryWhenCallbackReturns(instance, flight->module);
    }
    try {
        flight->code =
            Post(flight->line, flight->deadline).Exchange(flight->request, flight->reply);
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
