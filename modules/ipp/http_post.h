// One IPP request over WinHTTP, and the printer's line that the requests share.
// Only the transport's own files include it.
#pragma once

#include <windows.h>
#include <winhttp.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "connection.h"
#include "credentials.h"
#include "trust_rule.h"

namespace vyxipp {

class Relay;

namespace http {

// A WinHTTP handle, closed when it goes.
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

// The milliseconds left before `deadline` (a GetTickCount64 time); 0 once it has passed.
DWORD Left(ULONGLONG deadline);

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
    std::int32_t Open();

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
// by its rule (trust_rule.h), and the credential it carries. An attempt that takes only the
// pinned certificate judges nothing else: another one gets no verdict and nothing is noted of
// it; the request is cut before it leaves where it carries the credential, and its reply is
// left unread, for the next attempt to judge that certificate.
struct Attempt {
    bool validate = true;
    bool judge = false;
    bool pinnedOnly = false;
    const vyxserve::StoredCredential* credential = nullptr;
};

// One request, as its worker sends it and reads the reply: each phase given only what is left
// before the deadline, so that the worker, too, ends near it unless the printer trickles.
class Post {
  public:
    Post(Line& line, ULONGLONG deadline, const Attempt& attempt)
        : line_(line), deadline_(deadline), attempt_(attempt) {}
    ~Post();
    Post(const Post&) = delete;
    Post& operator=(const Post&) = delete;

    // Sends `request` and reads the reply body into `reply`: 0 or the module's code, the
    // certificate's verdict among them where the attempt judges it.
    std::int32_t Exchange(const std::string& request, std::string& reply);

    // The certificate was shown and judged (so the handshake was done, and validated where the
    // attempt asked WinHTTP to).
    bool judged() const { return judged_; }

    // The request failed because the certificate did not validate.
    bool certificateFailed() const { return certificateFailed_; }
    // An attempt that takes only the pinned certificate was shown another one.
    bool notPinned() const { return notPinned_; }
    // The printer answered 401 and offers Basic among its schemes.
    bool offersBasic() const { return offersBasic_; }

  private:
    bool OpenRequest();
    bool Prepare();
    std::int32_t Send(const std::string& request);
    std::int32_t Receive(std::string& reply);
    static void CALLBACK OnSendingRequest(HINTERNET request, DWORD_PTR context, DWORD status,
                                          LPVOID, DWORD);
    void JudgeCertificate(HINTERNET request);
    bool CutWaits(DWORD option);
    std::int32_t StatusOf();
    std::int32_t ReadBody(std::string& reply);

    Line& line_;
    const ULONGLONG deadline_;
    const Attempt attempt_;
    Relay* relay_ = nullptr;
    vyxserve::CertificateVerdict verdict_ = vyxserve::CertificateVerdict::kFailed;
    bool judged_ = false;
    bool certificateFailed_ = false;
    bool notPinned_ = false;
    bool offersBasic_ = false;
    // Declared so that the request closes before its connection and that before its session.
    InternetHandle session_;
    InternetHandle connection_;
    InternetHandle post_;
};

}  // namespace http
}  // namespace vyxipp
