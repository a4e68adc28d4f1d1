#include <crdt/types.h>

#include <gnutls/crypto.h>
#include <gnutls/gnutls.h>

#include <base/fatal.h>

namespace crdt {

namespace {

constexpr char kHexDigits[] = "0123456789abcdef";

std::string to_hex(const uint8_t* data, size_t size) {
    std::string out;
    out.reserve(size * 2);
    for (size_t i = 0; i < size; ++i) {
        out.push_back(kHexDigits[data[i] >> 4]);
        out.push_back(kHexDigits[data[i] & 15]);
    }
    return out;
}

int hex_value(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

} // namespace

ActorId ActorId::random() {
    ActorId id;
    // An actor id only has to be unique, not secret: the nonce level is the
    // cheap one and never blocks.
    if (gnutls_rnd(GNUTLS_RND_NONCE, id.bytes.data(), id.bytes.size()) != 0)
        kavu::fatal("actor id random");
    return id;
}

std::string ActorId::hex() const {
    return to_hex(bytes.data(), bytes.size());
}

std::optional<ActorId> ActorId::from_hex(std::string_view hex) {
    ActorId id;
    if (hex.size() != id.bytes.size() * 2)
        return std::nullopt;
    for (size_t i = 0; i < id.bytes.size(); ++i) {
        int hi = hex_value(hex[2 * i]);
        int lo = hex_value(hex[2 * i + 1]);
        if (hi < 0 || lo < 0)
            return std::nullopt;
        id.bytes[i] = static_cast<uint8_t>(hi << 4 | lo);
    }
    return id;
}

std::string ChangeHash::hex() const {
    return to_hex(bytes.data(), bytes.size());
}

} // namespace crdt
