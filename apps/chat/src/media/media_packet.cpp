#include "media/media_packet.h"

#include <limits>

namespace chat {

std::string_view media_kind_name(MediaKind kind) {
    switch (kind) {
    case MediaKind::Microphone:
        return "Microphone";
    case MediaKind::Camera:
        return "Camera";
    case MediaKind::ScreenShare:
        return "Screen sharing";
    }
    return "Media";
}

std::optional<MediaKind> media_kind_from_byte(uint8_t byte) {
    if (byte >= kMediaKindCount)
        return std::nullopt;
    return static_cast<MediaKind>(byte);
}

std::optional<uint64_t> MediaTime::millis() const {
    constexpr uint64_t kMax = std::numeric_limits<uint64_t>::max();
    uint64_t sub = nanoseconds / 1'000'000;
    if (seconds > kMax / 1000)
        return std::nullopt;
    uint64_t whole = seconds * 1000;
    if (whole > kMax - sub)
        return std::nullopt;
    return whole + sub;
}

MediaTime MediaTime::from_millis(uint64_t ms) {
    return {.seconds = ms / 1000, .nanoseconds = static_cast<uint32_t>((ms % 1000) * 1'000'000)};
}

bool is_valid_media_packet(const MediaPacket& packet) {
    return !packet.id.empty() && packet.id.size() <= kMaxMediaIdBytes &&
           packet.payload.size() <= kMaxMediaPayloadBytes && packet.timestamp.millis().has_value();
}

} // namespace chat
