#include "media/sim_media_net.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <limits>

namespace chat {
namespace {

using ::testing::ElementsAre;
using ::testing::Pair;

MediaPacket packet(uint64_t seq, std::string id = "u_me", size_t payload = 4) {
    return {.kind = MediaKind::Microphone,
            .seq = seq,
            .timestamp = MediaTime::from_millis(seq * 20),
            .id = std::move(id),
            .payload = std::vector<uint8_t>(payload, 0x5a)};
}

TEST(MediaPacket, ValidityBounds) {
    constexpr uint64_t kMax = std::numeric_limits<uint64_t>::max();
    struct Case {
        const char* name;
        MediaPacket packet;
        bool valid;
    };
    MediaPacket late = packet(0);
    late.timestamp = {.seconds = kMax / 1000, .nanoseconds = 999'999'999};
    MediaPacket latest = packet(0);
    latest.timestamp = MediaTime::from_millis(kMax);
    const Case cases[] = {
        {"id of 256 bytes", packet(0, std::string(256, 'a')), true},
        {"id of 257 bytes", packet(0, std::string(257, 'a')), false},
        {"empty id", packet(0, ""), false},
        {"payload of 2 MiB", packet(0, "u", kMaxMediaPayloadBytes), true},
        {"payload one byte over", packet(0, "u", kMaxMediaPayloadBytes + 1), false},
        {"largest millisecond timestamp", latest, true},
        {"milliseconds beyond 64 bits", late, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(is_valid_media_packet(c.packet), c.valid) << c.name;
}

TEST(MediaPacket, KindsAndMillis) {
    EXPECT_EQ(media_kind_name(MediaKind::ScreenShare), "Screen sharing");
    EXPECT_EQ(media_kind_from_byte(1), MediaKind::Camera);
    EXPECT_FALSE(media_kind_from_byte(3));
    EXPECT_EQ(MediaTime::from_millis(12'345), (MediaTime{.seconds = 12, .nanoseconds = 345'000'000}));
    EXPECT_EQ((MediaTime{.seconds = 12, .nanoseconds = 345'999'999}).millis(), 12'345u);
}

TEST(SimMediaNet, LoopsValidPacketsBackUpToItsCapacity) {
    SimMediaNet net;
    EXPECT_FALSE(net.is_networked());
    EXPECT_EQ(net.ticket(), "sim://local");
    EXPECT_TRUE(net.connect("anything"));

    EXPECT_FALSE(net.send(packet(0, "")));
    for (uint64_t i = 0; i < SimMediaNet::kLoopbackCapacity; ++i)
        ASSERT_TRUE(net.send(packet(i)));
    EXPECT_FALSE(net.send(packet(128))); // the 129th

    std::vector<MediaPacket> first = net.drain();
    ASSERT_EQ(first.size(), MediaNet::kMaxDrain);
    EXPECT_EQ(first.front().seq, 0u);
    EXPECT_EQ(first.back().seq, 63u);
    EXPECT_EQ(net.drain().front().seq, 64u);
    EXPECT_TRUE(net.drain().empty());
    EXPECT_TRUE(net.send(packet(200)));
}

TEST(SimMediaNet, PublicationsAndSubscriptionsAreSetsInInsertionOrder) {
    SimMediaNet net;
    net.publish(MediaKind::Camera);
    net.publish(MediaKind::Microphone);
    net.publish(MediaKind::Camera);
    net.unpublish(MediaKind::ScreenShare);
    EXPECT_THAT(net.published(), ElementsAre(MediaKind::Camera, MediaKind::Microphone));
    net.unpublish(MediaKind::Camera);
    EXPECT_THAT(net.published(), ElementsAre(MediaKind::Microphone));

    net.subscribe("a", MediaKind::Microphone);
    net.subscribe("a", MediaKind::Camera);
    net.subscribe("a", MediaKind::Microphone);
    EXPECT_THAT(net.subscriptions(),
                ElementsAre(Pair("a", MediaKind::Microphone), Pair("a", MediaKind::Camera)));
}

} // namespace
} // namespace chat
