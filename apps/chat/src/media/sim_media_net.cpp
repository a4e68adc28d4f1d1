#include "media/sim_media_net.h"

#include <algorithm>

namespace chat {

void SimMediaNet::publish(MediaKind kind) {
    if (std::find(m_published.begin(), m_published.end(), kind) == m_published.end())
        m_published.push_back(kind);
}

void SimMediaNet::unpublish(MediaKind kind) {
    std::erase(m_published, kind);
}

void SimMediaNet::subscribe(std::string_view id, MediaKind kind) {
    auto same = [&](const auto& s) { return s.first == id && s.second == kind; };
    if (std::none_of(m_subscriptions.begin(), m_subscriptions.end(), same))
        m_subscriptions.emplace_back(std::string(id), kind);
}

bool SimMediaNet::send(const MediaPacket& packet) {
    if (!is_valid_media_packet(packet) || m_loopback.size() >= kLoopbackCapacity)
        return false;
    m_loopback.push_back(packet);
    return true;
}

std::vector<MediaPacket> SimMediaNet::drain() {
    size_t n = std::min(m_loopback.size(), kMaxDrain);
    std::vector<MediaPacket> out(std::make_move_iterator(m_loopback.begin()),
                                 std::make_move_iterator(m_loopback.begin() + static_cast<ptrdiff_t>(n)));
    m_loopback.erase(m_loopback.begin(), m_loopback.begin() + static_cast<ptrdiff_t>(n));
    return out;
}

} // namespace chat
