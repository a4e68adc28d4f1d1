#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace blobstore {

// What the first bytes of a blob say about it. Images report their pixel
// size as their header declares it; anything unrecognised is
// "application/octet-stream" with a size of 0 by 0.
struct BlobInfo {
    std::string content_type = "application/octet-stream";
    uint32_t width = 0;
    uint32_t height = 0;

    bool is_image() const { return content_type.starts_with("image/"); }
    bool operator==(const BlobInfo&) const = default;
};

// Describes bytes from their header alone (PNG, JPEG, GIF, WebP, BMP). Reads
// nothing beyond the span, whatever the header claims. A truncated or
// malformed header after a format's signature keeps the content type and
// reports 0 by 0; BMP, whose two-byte signature is weak, is recognised only
// with a known info-header size.
BlobInfo sniff(std::span<const uint8_t> bytes);

} // namespace blobstore
