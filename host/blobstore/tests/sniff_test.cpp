#include <blobstore/blob_info.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

using blobstore::BlobInfo;
using blobstore::sniff;
using namespace std::literals;

namespace {

using Bytes = std::vector<uint8_t>;

Bytes bytes(std::string_view s) {
    return Bytes(s.begin(), s.end());
}
void append(Bytes& b, std::string_view s) {
    b.insert(b.end(), s.begin(), s.end());
}
void be32(Bytes& b, uint32_t v) {
    for (int i = 3; i >= 0; i--)
        b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}
void be16(Bytes& b, uint32_t v) {
    b.push_back(static_cast<uint8_t>(v >> 8));
    b.push_back(static_cast<uint8_t>(v));
}
void le(Bytes& b, uint32_t v, int n) {
    for (int i = 0; i < n; i++)
        b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

Bytes png(uint32_t w, uint32_t h) {
    Bytes b = bytes("\x89PNG\r\n\x1a\n"sv);
    be32(b, 13);
    append(b, "IHDR");
    be32(b, w);
    be32(b, h);
    append(b, std::string("\x08\x06\x00\x00\x00", 5));
    be32(b, 0); // crc, not checked
    return b;
}

Bytes jpeg(uint32_t w, uint32_t h) {
    Bytes b = bytes("\xff\xd8"sv);
    // APP0 "JFIF" segment, then a DQT-like segment to skip, with fill bytes.
    append(b, "\xff\xe0");
    be16(b, 16);
    append(b, std::string("JFIF\0\x01\x01\0\0\x01\0\x01\0\0", 14));
    append(b, "\xff\xff\xff\xdb");
    be16(b, 4);
    append(b, std::string("\0\0", 2));
    append(b, "\xff\xc2"); // progressive frame header
    be16(b, 17);
    b.push_back(8);
    be16(b, h);
    be16(b, w);
    append(b, std::string(12, '\x01'));
    append(b, "\xff\xda");
    return b;
}

Bytes gif(uint32_t w, uint32_t h) {
    Bytes b = bytes("GIF89a"sv);
    le(b, w, 2);
    le(b, h, 2);
    append(b, std::string("\0\0\0", 3));
    return b;
}

Bytes riff(std::string_view chunk, const Bytes& data) {
    Bytes b = bytes("RIFF"sv);
    le(b, static_cast<uint32_t>(data.size() + 12), 4);
    append(b, "WEBP");
    append(b, chunk);
    le(b, static_cast<uint32_t>(data.size()), 4);
    b.insert(b.end(), data.begin(), data.end());
    return b;
}

Bytes webp_lossy(uint32_t w, uint32_t h) {
    Bytes d = {0x30, 0x01, 0x00, 0x9d, 0x01, 0x2a};
    le(d, w | (1u << 14), 2); // the top two bits are a scale, not size
    le(d, h, 2);
    d.resize(d.size() + 4);
    return riff("VP8 ", d);
}

Bytes webp_lossless(uint32_t w, uint32_t h) {
    Bytes d = {0x2f};
    le(d, (w - 1) | ((h - 1) << 14), 4);
    return riff("VP8L", d);
}

Bytes webp_extended(uint32_t w, uint32_t h) {
    Bytes d = {0x10, 0, 0, 0};
    le(d, w - 1, 3);
    le(d, h - 1, 3);
    return riff("VP8X", d);
}

Bytes bmp(uint32_t dib, int32_t w, int32_t h) {
    Bytes b = bytes("BM"sv);
    le(b, 0, 4);
    le(b, 0, 4);
    le(b, 54, 4);
    le(b, dib, 4);
    if (dib == 12) {
        le(b, static_cast<uint32_t>(w), 2);
        le(b, static_cast<uint32_t>(h), 2);
    } else {
        le(b, static_cast<uint32_t>(w), 4);
        le(b, static_cast<uint32_t>(h), 4);
    }
    b.resize(b.size() + 8);
    return b;
}

struct Case {
    const char* name;
    Bytes bytes;
    BlobInfo expected;
};

std::vector<Case> cases() {
    return {
        {"png", png(640, 360), {"image/png", 640, 360}},
        {"png largest", png(0x7fffffff, 1), {"image/png", 0x7fffffff, 1}},
        {"jpeg progressive after skipped segments", jpeg(1920, 1080), {"image/jpeg", 1920, 1080}},
        {"gif", gif(320, 200), {"image/gif", 320, 200}},
        {"webp lossy", webp_lossy(1000, 700), {"image/webp", 1000, 700}},
        {"webp lossless", webp_lossless(16384, 1), {"image/webp", 16384, 1}},
        {"webp extended", webp_extended(20000, 3), {"image/webp", 20000, 3}},
        {"bmp", bmp(40, 64, 32), {"image/bmp", 64, 32}},
        {"bmp top-down", bmp(124, 64, -32), {"image/bmp", 64, 32}},
        {"bmp most negative height", bmp(40, 5, INT32_MIN), {"image/bmp", 5, 0x80000000u}},
        {"bmp negative width", bmp(40, -5, 5), {"image/bmp", 0, 0}},
        {"bmp os2", bmp(12, 300, 200), {"image/bmp", 300, 200}},
        {"bm text is not a bitmap", bytes("BMW owners club minutes"sv), {}},
        {"empty", {}, {}},
        {"plain text", bytes("hello, world"sv), {}},
        {"riff that is not webp", bytes("RIFF\0\0\0\0WAVEfmt "sv), {}},
    };
}

TEST(Sniff, DescribesEachFormatFromItsHeader) {
    for (const auto& c : cases()) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(sniff(c.bytes), c.expected);
    }
}

// Every prefix of every header is a truncated file; under ASan any read
// past the span fails the test. Once the signature is complete the type is
// known, and a size is only ever the full header's size or none.
TEST(Sniff, TruncatedHeadersNeverReadPastTheEnd) {
    for (const auto& c : cases()) {
        SCOPED_TRACE(c.name);
        for (size_t n = 0; n <= c.bytes.size(); n++) {
            Bytes prefix(c.bytes.begin(), c.bytes.begin() + static_cast<ptrdiff_t>(n));
            BlobInfo info = sniff(prefix);
            bool sized = info.width != 0 || info.height != 0;
            if (sized) {
                EXPECT_EQ(info, c.expected) << "prefix " << n;
            }
        }
    }
}

TEST(Sniff, HostileJpegSegmentLengthsStop) {
    // A segment length that points far beyond the data, one that is too
    // short to be valid, and garbage where a marker must be.
    for (Bytes b : {bytes("\xff\xd8\xff\xe0\xff\xff"sv), bytes("\xff\xd8\xff\xe0\x00\x01\xff\xc0"sv),
                    bytes("\xff\xd8\xff\xe0\x00\x02garbage"sv)}) {
        EXPECT_EQ(sniff(b), (BlobInfo{"image/jpeg", 0, 0}));
    }
    // Long runs of fill bytes terminate.
    Bytes fill = bytes("\xff\xd8"sv);
    fill.resize(100000, 0xff);
    EXPECT_EQ(sniff(fill), (BlobInfo{"image/jpeg", 0, 0}));
}

} // namespace
