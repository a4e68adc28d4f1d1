#include "actions/fresh_id.h"

#include <base/fatal.h>

#include <array>
#include <cerrno>
#include <cstdint>
#include <sys/random.h>

namespace chat {

std::string random_uuid_hex() {
    std::array<uint8_t, 16> bytes{};
    size_t filled = 0;
    while (filled < bytes.size()) {
        ssize_t n = getrandom(bytes.data() + filled, bytes.size() - filled, 0);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            // Identifiers must never repeat; without a random source there is
            // no safe way to continue.
            kavu::fatal("getrandom");
        }
        filled += static_cast<size_t>(n);
    }
    bytes[6] = static_cast<uint8_t>((bytes[6] & 0x0F) | 0x40); // version 4
    bytes[8] = static_cast<uint8_t>((bytes[8] & 0x3F) | 0x80); // RFC 4122 variant
    static constexpr char kHex[] = "0123456789abcdef";
    std::string out;
    out.reserve(32);
    for (uint8_t b : bytes) {
        out += kHex[b >> 4];
        out += kHex[b & 0x0F];
    }
    return out;
}

std::string fresh_id(std::string_view prefix) {
    return std::string(prefix) + random_uuid_hex();
}

} // namespace chat
