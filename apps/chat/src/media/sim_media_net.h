#pragma once

#include "media/media_net.h"

#include <deque>
#include <string>
#include <utility>
#include <vector>

namespace chat {

// The inert backend, used where no desktop is present and in tests: it
// connects to nobody, and what is sent comes back through drain() (so the
// application sees its own packets and drops them by sender id).
class SimMediaNet final : public MediaNet {
public:
    static constexpr std::string_view kTicket = "sim://local";
    static constexpr size_t kLoopbackCapacity = 128;

    bool is_networked() const override { return false; }
    std::string ticket() const override { return std::string(kTicket); }
    bool connect(std::string_view) override { return true; }
    void publish(MediaKind kind) override;
    void unpublish(MediaKind kind) override;
    void subscribe(std::string_view id, MediaKind kind) override;
    bool send(const MediaPacket& packet) override;
    std::vector<MediaPacket> drain() override;

    const std::vector<MediaKind>& published() const { return m_published; }
    const std::vector<std::pair<std::string, MediaKind>>& subscriptions() const { return m_subscriptions; }
    size_t queued() const { return m_loopback.size(); }

private:
    std::vector<MediaKind> m_published;
    std::vector<std::pair<std::string, MediaKind>> m_subscriptions;
    std::deque<MediaPacket> m_loopback;
};

} // namespace chat
