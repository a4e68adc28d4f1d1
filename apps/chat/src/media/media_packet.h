#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace chat {

// What a media packet carries; the value is its byte on the wire.
enum class MediaKind : uint8_t { Microphone = 0, Camera = 1, ScreenShare = 2 };

inline constexpr uint8_t kMediaKindCount = 3;

// "Microphone", "Camera", "Screen sharing": the names used in status texts.
std::string_view media_kind_name(MediaKind kind);
// The kind with this wire byte, or nothing for 3 and above.
std::optional<MediaKind> media_kind_from_byte(uint8_t byte);

// A sender's media time, as seconds and the nanoseconds within the second.
struct MediaTime {
    uint64_t seconds = 0;
    uint32_t nanoseconds = 0; // below 1,000,000,000

    // Whole milliseconds, or nothing when they do not fit in 64 bits.
    std::optional<uint64_t> millis() const;
    static MediaTime from_millis(uint64_t ms);

    bool operator==(const MediaTime&) const = default;
};

inline constexpr size_t kMaxMediaIdBytes = 256;
inline constexpr size_t kMaxMediaPayloadBytes = 2'097'152;

struct MediaPacket {
    MediaKind kind = MediaKind::Microphone;
    uint64_t seq = 0;    // the sender's packet number, one counter for all kinds
    MediaTime timestamp; // the sender's media time
    std::string id;      // the sender's user id
    std::vector<uint8_t> payload;

    bool operator==(const MediaPacket&) const = default;
};

// An id of 1 to 256 bytes, a payload of at most 2 MiB and a timestamp whose
// milliseconds fit in 64 bits.
bool is_valid_media_packet(const MediaPacket& packet);

} // namespace chat
