// The IPP module's transport: one IPP request posted over HTTP or HTTPS, its reply read back,
// bounded in time and size. Separate from the source so that a benchmark can send prepared
// requests through it and count them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "connection.h"

namespace vyxipp {

constexpr std::size_t kMaxReplyBytes = 1u << 20;

class Transport {
  public:
    virtual ~Transport() = default;

    // Posts `request` (an encoded IPP message) and reads the reply body into `reply`. 0, or the
    // module's code: kUnreachable, kTimedOut, kTlsFailed, kReplyTooLarge, kMalformedReply,
    // kHttpStatusBase + status, kTransportFailed.
    virtual std::int32_t Exchange(const std::string& request, std::string& reply) = 0;

    // How many requests have been sent, answered or not.
    std::uint32_t sent() const { return sent_; }

  protected:
    std::uint32_t sent_ = 0;
};

// WinHTTP, with no proxy and no keep-alive (see http_post.cpp for why).
std::unique_ptr<Transport> MakeHttpTransport(const Target& target, const Options& options,
                                             std::size_t maxReply = kMaxReplyBytes);

}  // namespace vyxipp
