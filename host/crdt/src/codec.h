#pragma once

// Byte-level building blocks of the change and file encodings: LEB128
// varints, zigzag signed varints, CRC-32 and UTF-8 code point handling.

#include <cstdint>
#include <cstring>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace crdt {

class ByteWriter {
public:
    void u8(uint8_t v) { m_bytes.push_back(v); }
    void uvarint(uint64_t v) {
        while (v >= 0x80) {
            m_bytes.push_back(static_cast<uint8_t>(v) | 0x80);
            v >>= 7;
        }
        m_bytes.push_back(static_cast<uint8_t>(v));
    }
    void svarint(int64_t v) { uvarint((static_cast<uint64_t>(v) << 1) ^ static_cast<uint64_t>(v >> 63)); }
    void raw(const void* data, size_t size) {
        auto p = static_cast<const uint8_t*>(data);
        m_bytes.insert(m_bytes.end(), p, p + size);
    }
    void raw(std::span<const uint8_t> b) { raw(b.data(), b.size()); }
    void u32le(uint32_t v) {
        for (int i = 0; i < 4; ++i)
            m_bytes.push_back(static_cast<uint8_t>(v >> (8 * i)));
    }
    void u64le(uint64_t v) {
        for (int i = 0; i < 8; ++i)
            m_bytes.push_back(static_cast<uint8_t>(v >> (8 * i)));
    }
    // A length-prefixed byte string.
    void str(std::string_view s) {
        uvarint(s.size());
        raw(s.data(), s.size());
    }
    size_t size() const { return m_bytes.size(); }
    std::vector<uint8_t>& bytes() { return m_bytes; }
    std::vector<uint8_t> take() { return std::move(m_bytes); }

private:
    std::vector<uint8_t> m_bytes;
};

// Reads what ByteWriter wrote. Every read checks bounds; after the first
// failure ok() is false and reads return zeros, so a decoder can check once
// at the end of a record.
class ByteReader {
public:
    explicit ByteReader(std::span<const uint8_t> bytes) : m_data(bytes) {}

    bool ok() const { return m_ok; }
    bool done() const { return m_pos >= m_data.size(); }
    size_t pos() const { return m_pos; }
    size_t remaining() const { return m_ok ? m_data.size() - m_pos : 0; }
    void fail() { m_ok = false; }

    uint8_t u8() {
        if (!m_ok || m_pos >= m_data.size())
            return fail(), 0;
        return m_data[m_pos++];
    }
    uint64_t uvarint() {
        uint64_t v = 0;
        for (int shift = 0; shift < 64; shift += 7) {
            if (!m_ok || m_pos >= m_data.size())
                return fail(), 0;
            uint8_t b = m_data[m_pos++];
            if (shift == 63 && b > 1)
                return fail(), 0;
            v |= static_cast<uint64_t>(b & 0x7f) << shift;
            if (!(b & 0x80)) {
                // Reject overlong forms so that every value has one encoding.
                if (b == 0 && shift > 0)
                    return fail(), 0;
                return v;
            }
        }
        return fail(), 0;
    }
    int64_t svarint() {
        uint64_t u = uvarint();
        return static_cast<int64_t>((u >> 1) ^ (~(u & 1) + 1));
    }
    std::span<const uint8_t> raw(size_t size) {
        if (!m_ok || size > m_data.size() - m_pos)
            return fail(), std::span<const uint8_t>{};
        auto s = m_data.subspan(m_pos, size);
        m_pos += size;
        return s;
    }
    // The unread bytes, without consuming them.
    std::span<const uint8_t> rest() const {
        return m_ok ? m_data.subspan(m_pos) : std::span<const uint8_t>{};
    }
    uint32_t u32le() {
        auto b = raw(4);
        if (b.empty())
            return 0;
        return uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24;
    }
    uint64_t u64le() {
        auto b = raw(8);
        if (b.empty())
            return 0;
        uint64_t v = 0;
        for (int i = 7; i >= 0; --i)
            v = v << 8 | b[i];
        return v;
    }
    std::string_view str() {
        uint64_t n = uvarint();
        if (!m_ok || n > m_data.size() - m_pos)
            return fail(), std::string_view{};
        auto s = raw(n);
        return {reinterpret_cast<const char*>(s.data()), s.size()};
    }

private:
    std::span<const uint8_t> m_data;
    size_t m_pos = 0;
    bool m_ok = true;
};

uint32_t crc32(std::span<const uint8_t> bytes, uint32_t crc = 0);

// Appends the code points of valid UTF-8 to `out`; false (and `out`
// unchanged) for invalid UTF-8, overlong forms or surrogates.
bool utf8_decode(std::string_view utf8, std::u32string& out);
void utf8_append(std::string& out, char32_t cp);
// Number of code points of valid UTF-8.
size_t utf8_length(std::string_view utf8);

} // namespace crdt
