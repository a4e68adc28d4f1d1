#pragma once

// The materialised document: every object and its current content, kept in
// step with the change log by applying operations. It can always be rebuilt
// by replaying the log.

#include "op.h"
#include "sequence.h"

#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace crdt {

// One value of a multi-value register: a scalar, or an object made by `id`.
struct RegEntry {
    OpId id;
    std::optional<ObjType> object;
    Scalar value;
    int64_t increments = 0; // added to a Counter by later increment operations
};

// The values of a map key or list element not overwritten by a later
// operation. The visible value is the one with the greatest id.
using Register = std::vector<RegEntry>;

struct MapObject {
    // Sorted by key bytes; keys whose register became empty are erased.
    std::vector<std::pair<std::string, Register>> entries;
};

struct Object {
    explicit Object(ObjType t, const ActorTable* actors) : type(t), seq(actors) {}

    ObjType type;
    MapObject map;
    Sequence seq;
    std::u32string chars;        // text: every code point ever inserted, by payload
    std::vector<Register> slots; // list: element registers, by payload
    mutable std::string text_cache;
    mutable bool text_cached = false;
};

class OpSet {
public:
    OpSet();

    ActorTable& actors() { return m_actors; }
    const ActorTable& actors() const { return m_actors; }
    uint64_t max_op() const { return m_max_op; }

    const Object* object(const ObjId& id) const;

    // Applies one operation with the given id. False, with nothing changed,
    // when it refers to an object or element that does not exist or to an
    // object of another kind.
    bool apply(const Op& op, OpId id);

    // Drops every object but an empty root.
    void clear();

    Value value_of(const RegEntry& e) const;
    const RegEntry* winner(const Register& reg) const;
    const Register* map_register(const Object& obj, std::string_view key) const;
    const std::string& text_of(const Object& obj) const;

private:
    Object* mutable_object(const ObjId& id);
    Object& make_object(OpId id, ObjType type);
    bool apply_map(Object& obj, const Op& op, OpId id);
    bool apply_list(Object& obj, const Op& op, OpId id);
    bool apply_text(Object& obj, const Op& op, OpId id);
    void update_register(Register& reg, const Op& op, OpId id);

    ActorTable m_actors;
    std::unordered_map<ObjId, std::unique_ptr<Object>> m_objects;
    uint64_t m_max_op = 0;
};

} // namespace crdt
