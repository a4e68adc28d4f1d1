#pragma once

// Operations as the engine applies them. Inside a document, actors are dense
// local numbers (indexes into ActorTable); the change encoding turns them into
// full actor ids.

#include <crdt/types.h>

#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace crdt {

// An operation id: (counter, local actor). Counter 0 never names an
// operation: as an object it is the root, as a list reference the head.
using OpId = ObjId;

struct ActorIdHash {
    size_t operator()(const ActorId& a) const noexcept {
        uint64_t v;
        std::memcpy(&v, a.bytes.data(), sizeof v);
        return static_cast<size_t>(v);
    }
};

struct ChangeHashHash {
    size_t operator()(const ChangeHash& h) const noexcept {
        uint64_t v;
        std::memcpy(&v, h.bytes.data(), sizeof v);
        return static_cast<size_t>(v);
    }
};

// Every actor a document has heard of, numbered in order of arrival. Numbers
// never change for the life of a document; ids compare by their bytes.
class ActorTable {
public:
    uint32_t intern(const ActorId& actor) {
        auto [it, fresh] = m_index.try_emplace(actor, static_cast<uint32_t>(m_ids.size()));
        if (fresh)
            m_ids.push_back(actor);
        return it->second;
    }
    std::optional<uint32_t> find(const ActorId& actor) const {
        auto it = m_index.find(actor);
        if (it == m_index.end())
            return std::nullopt;
        return it->second;
    }
    const ActorId& operator[](uint32_t i) const { return m_ids[i]; }
    size_t size() const { return m_ids.size(); }
    const std::vector<ActorId>& ids() const { return m_ids; }

    // Lamport order: counter first, then actor bytes.
    bool less(const OpId& a, const OpId& b) const {
        if (a.counter != b.counter)
            return a.counter < b.counter;
        if (a.actor == b.actor)
            return false;
        return m_ids[a.actor] < m_ids[b.actor];
    }

private:
    std::vector<ActorId> m_ids;
    std::unordered_map<ActorId, uint32_t, ActorIdHash> m_index;
};

enum class OpAction : uint8_t {
    MapPut,         // obj, key, value, pred
    MapMake,        // obj, key, make, pred
    MapDelete,      // obj, key, pred
    MapIncrement,   // obj, key, by, pred (the counters it adds to)
    ListInsert,     // obj, elem (insert after; head is counter 0), value
    ListInsertMake, // obj, elem, make
    ListPut,        // obj, elem (the element), value, pred
    ListMake,       // obj, elem, make, pred
    ListDelete,     // obj, elem, pred
    TextInsert,     // obj, elem (insert after), text: one id per code point
    TextDelete,     // obj, elem (first deleted), len: ids elem .. elem+len-1
};
inline constexpr uint8_t kOpActionCount = 11;

struct Op {
    OpAction action = OpAction::MapPut;
    ObjType make = ObjType::Map;
    OpId obj;
    std::string key;
    OpId elem;
    Scalar value;
    int64_t by = 0;
    std::u32string text;
    uint32_t len = 0;
    std::vector<OpId> pred;

    // Counters the operation occupies: one per inserted code point.
    uint64_t span() const { return action == OpAction::TextInsert ? text.size() : 1; }
    bool is_map_op() const { return action <= OpAction::MapIncrement; }
    bool has_pred() const {
        return action <= OpAction::MapIncrement || action == OpAction::ListPut ||
               action == OpAction::ListMake || action == OpAction::ListDelete;
    }
};

} // namespace crdt
