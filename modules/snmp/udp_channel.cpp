// Winsock UDP: resolution, connected sockets, and waits bounded by select().
#include "udp_channel.h"

#include <ws2tcpip.h>

#include <string>

#include "codes.h"

namespace vyxsnmp {
namespace {

constexpr std::size_t kMaxAddresses = 4;
constexpr std::size_t kLargestDatagram = 65536;

// The UDP addresses of `host` at `port`, getaddrinfo's way: 0 with them in `found`.
int LookUp(const std::string& host, const std::string& port, int flags, addrinfo** found) {
    addrinfo hints = {};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_DGRAM;
    hints.ai_protocol = IPPROTO_UDP;
    hints.ai_flags = flags;
    return getaddrinfo(host.c_str(), port.c_str(), &hints, found);
}

// getaddrinfo waits as long as the system's resolver does, which no option bounds. It runs on a
// worker thread that the connection stops waiting for after its timeout. What the two share is
// counted: whichever lets go last frees it, so a resolver that answers after the connection has
// given up writes into memory that still exists. The worker also holds the module loaded, so
// that a caller who unloads it meanwhile does not pull its code from under the thread; the
// reference is taken before the thread starts, since a caller may give up and unload the module
// before the thread first runs.
struct Resolution {
    LONG references = 2;
    HANDLE done = nullptr;
    HMODULE module = nullptr;  // the worker's, to let go of as it ends
    std::string host, port;
    addrinfo* found = nullptr;
    int status = EAI_FAIL;

    void Release() {
        if (InterlockedDecrement(&references) == 0) {
            if (found) {
                freeaddrinfo(found);
            }
            CloseHandle(done);
            delete this;
        }
    }
};

DWORD WINAPI Resolve(void* parameter) {
    auto* resolution = static_cast<Resolution*>(parameter);
    const HMODULE self = resolution->module;
    WSADATA data;
    if (WSAStartup(MAKEWORD(2, 2), &data) == 0) {
        resolution->status =
            LookUp(resolution->host, resolution->port, AI_NUMERICSERV, &resolution->found);
        WSACleanup();
    }
    SetEvent(resolution->done);
    resolution->Release();
    if (self) {
        FreeLibraryAndExitThread(self, 0);
    }
    return 0;
}

// The addresses of `endpoint`, or null when the name does not resolve within `ms`; the caller
// frees them with freeaddrinfo.
addrinfo* ResolveWithin(const Endpoint& endpoint, std::uint32_t ms) {
    const std::string port = std::to_string(endpoint.port);
    // An IPv4 or IPv6 literal needs no resolver: it is read here, with no thread to start.
    addrinfo* literal = nullptr;
    if (LookUp(endpoint.host, port, AI_NUMERICHOST | AI_NUMERICSERV, &literal) == 0) {
        return literal;
    }
    auto* resolution = new Resolution();
    resolution->host = endpoint.host;
    resolution->port = port;
    resolution->done = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                       reinterpret_cast<LPCWSTR>(&Resolve), &resolution->module);
    HANDLE worker = resolution->done
                        ? CreateThread(nullptr, 0, Resolve, resolution, 0, nullptr)
                        : nullptr;
    if (!worker) {
        if (resolution->module) {
            FreeLibrary(resolution->module);
        }
        resolution->references = 1;
        resolution->Release();
        return nullptr;
    }
    CloseHandle(worker);
    addrinfo* found = nullptr;
    if (WaitForSingleObject(resolution->done, ms) == WAIT_OBJECT_0 && resolution->status == 0) {
        found = resolution->found;  // the worker is done with it: it is ours now
        resolution->found = nullptr;
    }
    resolution->Release();
    return found;
}

// What a connected UDP socket reports, at its next send or receive, when an earlier datagram drew
// an ICMP "port unreachable": nobody listens there (yet).
bool PortUnreachable(int error) {
    return error == WSAECONNRESET || error == WSAECONNREFUSED;
}

}  // namespace

std::unique_ptr<UdpChannel> UdpChannel::Open(const Endpoint& endpoint, LONG& code,
                                             std::uint32_t resolveMs) {
    std::unique_ptr<UdpChannel> channel(new UdpChannel());
    WSADATA data;
    if (WSAStartup(MAKEWORD(2, 2), &data) != 0) {
        code = code::kNetwork;
        return nullptr;
    }
    channel->started_ = true;
    addrinfo* found = ResolveWithin(endpoint, resolveMs);
    if (!found) {
        code = code::kHostNotFound;
        return nullptr;
    }
    for (addrinfo* at = found; at && channel->sockets_.size() < kMaxAddresses; at = at->ai_next) {
        const SOCKET s = socket(at->ai_family, at->ai_socktype, at->ai_protocol);
        if (s == INVALID_SOCKET) {
            continue;
        }
        // Connected, so that only the agent's own datagrams are received on it.
        if (connect(s, at->ai_addr, static_cast<int>(at->ai_addrlen)) != 0) {
            closesocket(s);
            continue;
        }
        channel->sockets_.push_back(s);
    }
    freeaddrinfo(found);
    if (channel->sockets_.empty()) {
        code = code::kNetwork;
        return nullptr;
    }
    channel->buffer_.resize(kLargestDatagram);
    code = 0;
    return channel;
}

UdpChannel::~UdpChannel() {
    for (const SOCKET s : sockets_) {
        closesocket(s);
    }
    if (started_) {
        WSACleanup();
    }
}

bool UdpChannel::Send(const Bytes& datagram) {
    bool sent = false;
    for (std::size_t i = 0; i < sockets_.size(); ++i) {
        if (confirmed_ >= 0 && static_cast<int>(i) != confirmed_) {
            continue;
        }
        const int length = static_cast<int>(datagram.size());
        const char* bytes = reinterpret_cast<const char*>(datagram.data());
        int result = send(sockets_[i], bytes, length, 0);
        if (result == SOCKET_ERROR && PortUnreachable(WSAGetLastError())) {
            // An ICMP "port unreachable" for an earlier datagram, reported here rather than to
            // a receive (several datagrams out at once to nobody): reported, it is gone.
            result = send(sockets_[i], bytes, length, 0);
        }
        if (result == length) {
            sent = true;
        }
    }
    return sent;
}

Datagrams::Wait UdpChannel::Receive(Bytes& datagram, std::uint32_t milliseconds) {
    const std::uint64_t deadline = Now() + milliseconds;
    for (;;) {
        const std::uint64_t now = Now();
        if (now >= deadline) {
            return Wait::kTimeout;
        }
        // Once the agent has answered on one address, what comes on the others (the same
        // answer from a second address of the host, say) is no longer listened to.
        fd_set readable;
        FD_ZERO(&readable);
        for (std::size_t i = 0; i < sockets_.size(); ++i) {
            if (confirmed_ < 0 || static_cast<int>(i) == confirmed_) {
                FD_SET(sockets_[i], &readable);
            }
        }
        const std::uint64_t left = deadline - now;
        timeval wait;
        wait.tv_sec = static_cast<long>(left / 1000);
        wait.tv_usec = static_cast<long>((left % 1000) * 1000);
        const int ready = select(0, &readable, nullptr, nullptr, &wait);
        if (ready == SOCKET_ERROR) {
            return Wait::kFailed;
        }
        if (ready == 0) {
            return Wait::kTimeout;
        }
        for (std::size_t i = 0; i < sockets_.size(); ++i) {
            if (!FD_ISSET(sockets_[i], &readable)) {
                continue;
            }
            const int got = recv(sockets_[i], buffer_.data(), static_cast<int>(buffer_.size()), 0);
            if (got == SOCKET_ERROR) {
                // An ICMP "port unreachable" for an earlier datagram: nobody listens there
                // (yet); keep waiting out the attempt. Anything else ends the wait.
                const int error = WSAGetLastError();
                if (PortUnreachable(error) || error == WSAEMSGSIZE) {
                    continue;
                }
                return Wait::kFailed;
            }
            datagram.assign(buffer_.begin(), buffer_.begin() + got);
            answered_ = static_cast<int>(i);
            return Wait::kDatagram;
        }
    }
}

// Milliseconds of the performance counter: the tick count moves in steps of up to 16 ms on
// Windows, too coarse to time a round trip on a local network by.
std::uint64_t UdpChannel::Now() {
    LARGE_INTEGER frequency, counter;
    if (!QueryPerformanceFrequency(&frequency) || frequency.QuadPart <= 0 ||
        !QueryPerformanceCounter(&counter)) {
        return GetTickCount64();
    }
    const auto ticks = static_cast<std::uint64_t>(counter.QuadPart);
    const auto perSecond = static_cast<std::uint64_t>(frequency.QuadPart);
    return ticks / perSecond * 1000 + ticks % perSecond * 1000 / perSecond;
}

void UdpChannel::Confirm() { confirmed_ = answered_; }

}  // namespace vyxsnmp
