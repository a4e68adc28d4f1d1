#pragma once

#include "media/media_packet.h"

#include <string>
#include <string_view>
#include <vector>

namespace chat {

// The media backend: how this process reaches the other participants of a
// call. Every operation returns at once and runs on the UI thread; none
// waits on the network. The published kinds and subscriptions are records
// only: sending and receiving do not consult them.
class MediaNet {
public:
    static constexpr size_t kMaxDrain = 64;

    virtual ~MediaNet() = default;

    // True when packets can reach other processes.
    virtual bool is_networked() const = 0;
    // The text other participants connect with; written into the document as
    // this user's call ticket.
    virtual std::string ticket() const = 0;
    // Starts (or keeps) a connection to the peer with this ticket; false when
    // the ticket is this backend's own or cannot be used.
    virtual bool connect(std::string_view ticket) = 0;
    virtual void publish(MediaKind kind) = 0;
    virtual void unpublish(MediaKind kind) = 0;
    virtual void subscribe(std::string_view id, MediaKind kind) = 0;
    // Offers the packet to the peers; false when nobody took it.
    virtual bool send(const MediaPacket& packet) = 0;
    // Received packets in arrival order, at most kMaxDrain per call.
    virtual std::vector<MediaPacket> drain() = 0;
};

} // namespace chat
