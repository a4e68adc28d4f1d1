#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <variant>

namespace chat {

enum class ChannelKind : uint8_t { Text, Voice };

enum class SpanUnit : uint8_t { Chars, Bytes };

// A range inside a resource's text, in the given unit.
struct Span {
    uint64_t start = 0;
    uint64_t end = 0;
    SpanUnit unit = SpanUnit::Chars;

    bool operator==(const Span&) const = default;
};

// A resource a message points at ("chat.channel" + id, for example).
struct ResourceRef {
    std::string kind;
    std::string id;
    std::string label;
    std::optional<Span> span;

    bool operator==(const ResourceRef&) const = default;
};

// A person named in a message text. `start` is the byte offset of the at
// sign; `len` is the byte length of the mention, marker included.
struct Mention {
    std::string user;
    uint64_t start = 0;
    uint64_t len = 0;
    bool is_agent = false;

    bool operator==(const Mention&) const = default;
};

namespace attachment {

struct Image {
    std::string name;
    std::string blob;
    uint32_t w = 0;
    uint32_t h = 0;
    bool operator==(const Image&) const = default;
};
struct Video {
    std::string name;
    std::string blob;
    uint32_t w = 0;
    uint32_t h = 0;
    uint64_t size = 0;
    bool operator==(const Video&) const = default;
};
struct File {
    std::string name;
    std::string blob;
    uint64_t size = 0;
    bool operator==(const File&) const = default;
};

} // namespace attachment

// The one file a message carries. `blob` names the stored content.
struct Attachment {
    using Image = attachment::Image;
    using Video = attachment::Video;
    using File = attachment::File;

    std::variant<Image, Video, File> value;

    const std::string& name() const {
        return std::visit([](const auto& a) -> const std::string& { return a.name; }, value);
    }
    const std::string& blob() const {
        return std::visit([](const auto& a) -> const std::string& { return a.blob; }, value);
    }
    bool operator==(const Attachment&) const = default;
};

} // namespace chat
