// The relay of relay.h: a listener on loopback, one accepted connection that asks CONNECT, one
// connection to the printer, and the bytes between them until either side ends, the deadline
// passes or the request is cut. Every wait is a select() bounded by what is left of the deadline.
#include "relay.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <cstring>
#include <new>
#include <string>

namespace vyxipp {
namespace {

constexpr std::size_t kMaxConnectRequest = 4096;
const char kEstablished[] = "HTTP/1.1 200 Connection established\r\n\r\n";
const char kBadGateway[] = "HTTP/1.1 502 Bad Gateway\r\nContent-Length: 0\r\n\r\n";

DWORD Left(ULONGLONG deadline) {
    const ULONGLONG now = GetTickCount64();
    return now >= deadline ? 0 : static_cast<DWORD>(deadline - now);
}

// Waits until `socket` can be read (or written), at most until `deadline`.
bool WaitFor(SOCKET socket, bool write, ULONGLONG deadline) {
    const DWORD left = Left(deadline);
    if (left == 0) {
        return false;
    }
    fd_set ready, failed;
    FD_ZERO(&ready);
    FD_ZERO(&failed);
    FD_SET(socket, &ready);
    FD_SET(socket, &failed);
    timeval wait{static_cast<long>(left / 1000), static_cast<long>(left % 1000) * 1000};
    return select(0, write ? nullptr : &ready, write ? &ready : nullptr, &failed, &wait) > 0 &&
           FD_ISSET(socket, &ready);
}

bool SendAll(SOCKET socket, const char* data, std::size_t size, ULONGLONG deadline) {
    while (size > 0) {
        const int sent = send(socket, data, static_cast<int>(size < 65536 ? size : 65536), 0);
        if (sent > 0) {
            data += sent;
            size -= static_cast<std::size_t>(sent);
        } else if (sent == SOCKET_ERROR && WSAGetLastError() == WSAEWOULDBLOCK) {
            if (!WaitFor(socket, true, deadline)) {
                return false;
            }
        } else {
            return false;
        }
    }
    return true;
}

void MakeNonBlocking(SOCKET socket) {
    u_long on = 1;
    ioctlsocket(socket, FIONBIO, &on);
}

class AddressList {
  public:
    AddressList(const std::string& host, std::uint16_t port) {
        addrinfo hints = {};
        hints.ai_family = AF_UNSPEC;
        hints.ai_socktype = SOCK_STREAM;
        hints.ai_protocol = IPPROTO_TCP;
        if (getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &list_) != 0) {
            list_ = nullptr;
        }
    }
    ~AddressList() {
        if (list_) {
            freeaddrinfo(list_);
        }
    }
    AddressList(const AddressList&) = delete;
    AddressList& operator=(const AddressList&) = delete;
    const addrinfo* first() const { return list_; }

  private:
    addrinfo* list_ = nullptr;
};

}  // namespace

HMODULE HoldThisModule() {
    HMODULE self = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                       reinterpret_cast<LPCWSTR>(&HoldThisModule), &self);
    return self;
}

Relay::Relay(const Target& target, ULONGLONG deadline)
    : target_(target),
      deadline_(deadline),
      listener_(INVALID_SOCKET),
      client_(INVALID_SOCKET),
      upstream_(INVALID_SOCKET) {
    WSADATA data;
    winsock_ = WSAStartup(MAKEWORD(2, 2), &data) == 0;
}

Relay::~Relay() {
    CloseSockets();
    if (winsock_) {
        WSACleanup();
    }
}

Relay* Relay::Start(const Target& target, ULONGLONG deadline) {
    Relay* relay = new (std::nothrow) Relay(target, deadline);
    if (!relay) {
        return nullptr;
    }
    const SOCKET listener =
        relay->winsock_ ? socket(AF_INET, SOCK_STREAM, IPPROTO_TCP) : INVALID_SOCKET;
    // Wine's WinHTTP asks a proxy for a tunnel only when the proxy's host is named otherwise
    // than the printer, so a printer at 127.0.0.1 gets a relay at 127.0.0.2 (loopback too).
    const bool apart = target.host == "127.0.0.1";
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(apart ? INADDR_LOOPBACK + 1 : INADDR_LOOPBACK);
    int size = sizeof address;
    relay->listener_ = listener;
    if (listener == INVALID_SOCKET ||
        bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        listen(listener, 1) != 0 ||
        getsockname(listener, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
        relay->references_ = 1;
        relay->Release();
        return nullptr;
    }
    MakeNonBlocking(listener);
    relay->proxy_ =
        (apart ? L"127.0.0.2:" : L"127.0.0.1:") + std::to_wstring(ntohs(address.sin_port));
    relay->module_ = HoldThisModule();
    if (!TrySubmitThreadpoolCallback(Serve, relay, nullptr)) {
        if (relay->module_) {
            FreeLibrary(relay->module_);
        }
        relay->references_ = 1;
        relay->Release();
        return nullptr;
    }
    return relay;
}

void Relay::Release() {
    if (InterlockedDecrement(&references_) == 0) {
        delete this;
    }
}

void Relay::Cut() {
    AcquireSRWLockExclusive(&lock_);
    cut_ = true;
    // shutdown, not closesocket: the thread may be waiting on these sockets, and a closed
    // socket's value could meanwhile be handed to another.
    if (upstream_ != INVALID_SOCKET) {
        shutdown(upstream_, SD_BOTH);
    }
    if (client_ != INVALID_SOCKET) {
        shutdown(client_, SD_BOTH);
    }
    ReleaseSRWLockExclusive(&lock_);
}

VOID CALLBACK Relay::Serve(PTP_CALLBACK_INSTANCE instance, PVOID parameter) {
    auto* relay = static_cast<Relay*>(parameter);
    if (relay->module_) {
        FreeLibraryWhenCallbackReturns(instance, relay->module_);
    }
    try {
        relay->Tunnel();
    } catch (const std::bad_alloc&) {
    }
    relay->CloseSockets();
    relay->Release();
}

void Relay::Tunnel() {
    if (!AcceptClient() || !ReadConnectRequest()) {
        return;
    }
    if (!ConnectUpstream()) {
        SendAll(client_, kBadGateway, sizeof kBadGateway - 1, deadline_);
        return;
    }
    if (SendAll(client_, kEstablished, sizeof kEstablished - 1, deadline_)) {
        Pump();
    }
}

bool Relay::AcceptClient() {
    if (!WaitFor(listener_, false, deadline_)) {
        return false;
    }
    const SOCKET client = accept(listener_, nullptr, nullptr);
    AcquireSRWLockExclusive(&lock_);
    client_ = client;
    const SOCKET listener = listener_;
    listener_ = INVALID_SOCKET;
    ReleaseSRWLockExclusive(&lock_);
    closesocket(listener);  // one connection only
    if (client == INVALID_SOCKET) {
        return false;
    }
    MakeNonBlocking(client);
    return true;
}

// WinHTTP's CONNECT request, read to its blank line; where it asks to go is not taken from it:
// the tunnel goes to the printer of the connection strings.
bool Relay::ReadConnectRequest() {
    std::string request;
    char buffer[512];
    while (request.find("\r\n\r\n") == std::string::npos) {
        if (request.size() >= kMaxConnectRequest || !WaitFor(client_, false, deadline_)) {
            return false;
        }
        const int got = recv(client_, buffer, sizeof buffer, 0);
        if (got <= 0) {
            return false;
        }
        request.append(buffer, static_cast<std::size_t>(got));
    }
    return request.compare(0, 8, "CONNECT ") == 0;
}

bool Relay::ConnectUpstream() {
    const AddressList addresses(target_.host, target_.port);
    for (const addrinfo* a = addresses.first(); a; a = a->ai_next) {
        const SOCKET upstream = socket(a->ai_family, a->ai_socktype, a->ai_protocol);
        if (upstream == INVALID_SOCKET) {
            continue;
        }
        MakeNonBlocking(upstream);
        AcquireSRWLockExclusive(&lock_);
        const bool cut = cut_;
        if (!cut) {
            upstream_ = upstream;
        }
        ReleaseSRWLockExclusive(&lock_);
        if (cut) {
            closesocket(upstream);
            return false;
        }
        int error = 0, size = sizeof error;
        const bool made =
            (connect(upstream, a->ai_addr, static_cast<int>(a->ai_addrlen)) == 0 ||
             (WSAGetLastError() == WSAEWOULDBLOCK && WaitFor(upstream, true, deadline_))) &&
            getsockopt(upstream, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &size) ==
                0 &&
            error == 0;
        if (made) {
            return true;
        }
        AcquireSRWLockExclusive(&lock_);
        upstream_ = INVALID_SOCKET;
        ReleaseSRWLockExclusive(&lock_);
        closesocket(upstream);
        if (Left(deadline_) == 0) {
            return false;
        }
    }
    return false;
}

// Bytes both ways until a side ends, a send fails (as every send to the printer does once the
// request is cut), or the deadline passes.
void Relay::Pump() {
    char buffer[16384];
    for (;;) {
        const DWORD left = Left(deadline_);
        if (left == 0) {
            return;
        }
        fd_set readable;
        FD_ZERO(&readable);
        FD_SET(client_, &readable);
        FD_SET(upstream_, &readable);
        timeval wait{static_cast<long>(left / 1000), static_cast<long>(left % 1000) * 1000};
        if (select(0, &readable, nullptr, nullptr, &wait) <= 0) {
            return;
        }
        for (const bool fromClient : {true, false}) {
            const SOCKET from = fromClient ? client_ : upstream_;
            const SOCKET to = fromClient ? upstream_ : client_;
            if (!FD_ISSET(from, &readable)) {
                continue;
            }
            const int got = recv(from, buffer, sizeof buffer, 0);
            if (got <= 0 || !SendAll(to, buffer, static_cast<std::size_t>(got), deadline_)) {
                return;
            }
        }
    }
}

void Relay::CloseSockets() {
    AcquireSRWLockExclusive(&lock_);
    const SOCKET sockets[] = {listener_, client_, upstream_};
    listener_ = client_ = upstream_ = INVALID_SOCKET;
    ReleaseSRWLockExclusive(&lock_);
    for (const SOCKET s : sockets) {
        if (s != INVALID_SOCKET) {
            closesocket(s);
        }
    }
}

}  // namespace vyxipp
