// The module's transport: UDP datagrams to one agent through Winsock, IPv4 or IPv6. A host
// name may resolve to several addresses; requests go to each of them until one answers, and
// from then on to that one alone.
#pragma once

#include <winsock2.h>
#include <windows.h>

#include <memory>
#include <vector>

#include "client.h"
#include "options.h"

namespace vyxsnmp {

class UdpChannel : public Datagrams {
  public:
    // The channel to `endpoint`, or null with `code` set (code::kHostNotFound, code::kNetwork).
    // A host name that does not resolve within `resolveMs` counts as not found.
    static std::unique_ptr<UdpChannel> Open(const Endpoint& endpoint, LONG& code,
                                            std::uint32_t resolveMs = 5000);
    ~UdpChannel() override;
    UdpChannel(const UdpChannel&) = delete;
    UdpChannel& operator=(const UdpChannel&) = delete;

    bool Send(const Bytes& datagram) override;
    Wait Receive(Bytes& datagram, std::uint32_t milliseconds) override;
    std::uint64_t Now() override;
    void Confirm() override;

  private:
    UdpChannel() = default;

    bool started_ = false;          // WSAStartup succeeded, so WSACleanup is owed
    std::vector<SOCKET> sockets_;   // one connected socket per address of the host
    int answered_ = -1;             // the socket whose datagram was last received
    int confirmed_ = -1;            // the socket the agent answers on, once known
    std::vector<char> buffer_;
};

}  // namespace vyxsnmp
