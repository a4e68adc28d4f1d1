#include <blobstore/blob_info.h>

#include <cstdlib>
#include <cstring>
#include <optional>
#include <string_view>

namespace blobstore {

namespace {

// Bounds-checked reads: every accessor answers nothing past the end, so a
// header that lies about its lengths cannot make us read beyond the span.
class Reader {
public:
    explicit Reader(std::span<const uint8_t> bytes) : m_bytes(bytes) {}

    size_t size() const { return m_bytes.size(); }
    bool has(size_t at, size_t n) const { return at <= m_bytes.size() && n <= m_bytes.size() - at; }
    bool matches(size_t at, std::string_view text) const {
        return has(at, text.size()) && std::memcmp(m_bytes.data() + at, text.data(), text.size()) == 0;
    }
    std::optional<uint8_t> u8(size_t at) const {
        if (!has(at, 1))
            return std::nullopt;
        return m_bytes[at];
    }
    std::optional<uint32_t> le(size_t at, size_t n) const {
        if (!has(at, n))
            return std::nullopt;
        uint32_t v = 0;
        for (size_t i = 0; i < n; i++)
            v |= static_cast<uint32_t>(m_bytes[at + i]) << (8 * i);
        return v;
    }
    std::optional<uint32_t> be(size_t at, size_t n) const {
        if (!has(at, n))
            return std::nullopt;
        uint32_t v = 0;
        for (size_t i = 0; i < n; i++)
            v = (v << 8) | m_bytes[at + i];
        return v;
    }

private:
    std::span<const uint8_t> m_bytes;
};

BlobInfo image(std::string_view type, std::optional<uint32_t> w, std::optional<uint32_t> h) {
    BlobInfo info{.content_type = std::string(type)};
    if (w && h) {
        info.width = *w;
        info.height = *h;
    }
    return info;
}

BlobInfo png(const Reader& r) {
    if (!r.matches(12, "IHDR"))
        return image("image/png", std::nullopt, std::nullopt);
    return image("image/png", r.be(16, 4), r.be(20, 4));
}

BlobInfo gif(const Reader& r) {
    return image("image/gif", r.le(6, 2), r.le(8, 2));
}

BlobInfo jpeg(const Reader& r) {
    size_t at = 2;
    while (r.has(at, 2)) {
        if (*r.u8(at) != 0xFF)
            break; // not a marker where one must be: malformed
        uint8_t marker = *r.u8(at + 1);
        if (marker == 0xFF) { // fill byte before a marker
            at += 1;
            continue;
        }
        at += 2;
        if (marker == 0x01 || marker == 0xD8 || (marker >= 0xD0 && marker <= 0xD7))
            continue; // markers without a length
        if (marker == 0xD9 || marker == 0xDA)
            break; // end of image, or entropy-coded data: no frame header came
        auto length = r.be(at, 2);
        if (!length || *length < 2)
            break;
        bool frame = marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
        if (frame)
            return image("image/jpeg", r.be(at + 5, 2), r.be(at + 3, 2));
        at += *length;
    }
    return image("image/jpeg", std::nullopt, std::nullopt);
}

BlobInfo webp(const Reader& r) {
    constexpr size_t kData = 20; // first chunk's payload
    if (r.matches(12, "VP8 ")) {
        // Key frame: 3-byte frame tag, start code, then 14-bit sizes.
        if (!r.matches(kData + 3, "\x9d\x01\x2a"))
            return image("image/webp", std::nullopt, std::nullopt);
        auto w = r.le(kData + 6, 2), h = r.le(kData + 8, 2);
        if (w && h)
            return image("image/webp", *w & 0x3FFF, *h & 0x3FFF);
    } else if (r.matches(12, "VP8L")) {
        auto bits = r.le(kData + 1, 4);
        if (r.u8(kData) == 0x2F && bits)
            return image("image/webp", (*bits & 0x3FFF) + 1, ((*bits >> 14) & 0x3FFF) + 1);
    } else if (r.matches(12, "VP8X")) {
        auto w = r.le(kData + 4, 3), h = r.le(kData + 7, 3);
        if (w && h)
            return image("image/webp", *w + 1, *h + 1);
    }
    return image("image/webp", std::nullopt, std::nullopt);
}

std::optional<BlobInfo> bmp(const Reader& r) {
    // "BM" alone is too weak a signature; the info header's size must be one
    // of the known ones.
    auto dib = r.le(14, 4);
    if (!dib)
        return std::nullopt;
    switch (*dib) {
    case 12: // OS/2 1.x: 16-bit sizes
        return image("image/bmp", r.le(18, 2), r.le(20, 2));
    case 16:
    case 40:
    case 52:
    case 56:
    case 64:
    case 108:
    case 124: {
        auto w = r.le(18, 4), h = r.le(22, 4);
        if (!w || !h)
            return image("image/bmp", std::nullopt, std::nullopt);
        auto sw = static_cast<int32_t>(*w), sh = static_cast<int32_t>(*h);
        if (sw < 0) // no valid bitmap has a negative width
            return image("image/bmp", std::nullopt, std::nullopt);
        // A negative height means rows top-down; its size is the magnitude.
        auto height = sh < 0 ? static_cast<uint32_t>(-static_cast<int64_t>(sh)) : static_cast<uint32_t>(sh);
        return image("image/bmp", static_cast<uint32_t>(sw), height);
    }
    default:
        return std::nullopt;
    }
}

} // namespace

BlobInfo sniff(std::span<const uint8_t> bytes) {
    Reader r(bytes);
    if (r.matches(0, "\x89PNG\r\n\x1a\n"))
        return png(r);
    if (r.matches(0, "\xff\xd8\xff"))
        return jpeg(r);
    if (r.matches(0, "GIF87a") || r.matches(0, "GIF89a"))
        return gif(r);
    if (r.matches(0, "RIFF") && r.matches(8, "WEBP"))
        return webp(r);
    if (r.matches(0, "BM")) {
        if (auto info = bmp(r))
            return *info;
    }
    return BlobInfo{};
}

} // namespace blobstore
