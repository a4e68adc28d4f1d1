#pragma once

#include <array>
#include <compare>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

namespace crdt {

// A replica's identity: 16 random bytes, drawn once per document instance.
struct ActorId {
    std::array<uint8_t, 16> bytes{};

    static ActorId random();
    std::string hex() const;
    static std::optional<ActorId> from_hex(std::string_view hex);

    auto operator<=>(const ActorId&) const = default;
    bool operator==(const ActorId&) const = default;
};

// SHA-256 over a change's canonical encoding.
struct ChangeHash {
    std::array<uint8_t, 32> bytes{};

    std::string hex() const;
    auto operator<=>(const ChangeHash&) const = default;
    bool operator==(const ChangeHash&) const = default;
};

enum class ObjType : uint8_t { Map, List, Text };

// Identifies an object inside one Document: the root, or the operation that
// created the object. Valid only for the Document instance that returned it
// (actor numbers are local to a document).
struct ObjId {
    uint64_t counter = 0;
    uint32_t actor = 0;

    static constexpr ObjId root() { return {}; }
    bool is_root() const { return counter == 0; }
    auto operator<=>(const ObjId&) const = default;
    bool operator==(const ObjId&) const = default;
};

struct Counter {
    int64_t value = 0;
    bool operator==(const Counter&) const = default;
};

// Milliseconds since the Unix epoch.
struct Timestamp {
    int64_t millis = 0;
    bool operator==(const Timestamp&) const = default;
};

struct Null {
    bool operator==(const Null&) const = default;
};

enum class ScalarKind : uint8_t { Null, Bool, Int, Uint, F64, Str, Counter, Timestamp };

// The alternatives are in ScalarKind order.
using Scalar = std::variant<Null, bool, int64_t, uint64_t, double, std::string, Counter, Timestamp>;

inline ScalarKind scalar_kind(const Scalar& s) { return static_cast<ScalarKind>(s.index()); }

// What a map key or list element holds: a scalar, or a nested object.
struct Value {
    std::optional<ObjType> object; // set when the value is a nested object
    ObjId id;                      // the nested object's id when `object` is set
    Scalar scalar;                 // the scalar when `object` is not set

    bool is_object() const { return object.has_value(); }
    bool is_scalar() const { return !object.has_value(); }
    bool is(ObjType t) const { return object == t; }
    const std::string* str() const { return std::get_if<std::string>(&scalar); }

    bool operator==(const Value&) const = default;
};

} // namespace crdt

template <> struct std::hash<crdt::ObjId> {
    size_t operator()(const crdt::ObjId& id) const noexcept {
        return std::hash<uint64_t>{}(id.counter * 0x9E3779B97F4A7C15ull ^ id.actor);
    }
};
