#pragma once

// The materialised document: every object and its current content, kept in
// step with the change log by applying operations. It can always be rebuilt
// by replaying the log.

#include "op.h"
#include "sequence.h"

#include <memory>
#include <span>
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
// operation, in ascending id order: the visible value (the one with the
// greatest id) is the last. Almost every register holds one value, which is
// kept inline.
class Register {
public:
    size_t size() const { return m_size; }
    bool empty() const { return m_size == 0; }
    const RegEntry* begin() const { return m_size <= 1 ? &m_one : m_many.data(); }
    const RegEntry* end() const { return begin() + m_size; }
    RegEntry* begin() { return m_size <= 1 ? &m_one : m_many.data(); }
    RegEntry* end() { return begin() + m_size; }
    const RegEntry& back() const { return begin()[m_size - 1]; }

    // Drops the entries whose ids are in `ids`.
    void erase_ids(std::span<const OpId> ids);
    void insert(RegEntry entry, const ActorTable& actors);

private:
    uint32_t m_size = 0;
    RegEntry m_one;               // the entry while there is at most one
    std::vector<RegEntry> m_many; // all entries while there are several
};

struct MapObject {
    // Sorted by key bytes; keys whose register became empty are erased.
    std::vector<std::pair<std::string, Register>> entries;
};

// The content of a list or text object.
struct SeqContent {
    explicit SeqContent(const ActorTable* actors) : seq(actors) {}

    Sequence seq;
    std::u32string chars;        // text: every code point ever inserted, by payload
    std::vector<Register> slots; // list: element registers, by payload
    std::string text_cache;      // text: the UTF-8 content while text_cached
    bool text_cached = false;
};

struct Object {
    Object(ObjType t, const ActorTable* actors) : type(t) {
        if (t != ObjType::Map)
            s = std::make_unique<SeqContent>(actors);
    }

    ObjType type;
    MapObject map;                 // a map's content
    std::unique_ptr<SeqContent> s; // a list's or text's content
};

// Objects by id: open addressing over (counter, actor).
class ObjectTable {
public:
    Object* find(const ObjId& id) const;
    // Adds a new object; the id must not be present.
    Object& add(const ObjId& id, std::unique_ptr<Object> obj);
    bool contains(const ObjId& id) const { return find(id) != nullptr; }
    void clear();

private:
    struct Slot {
        uint64_t counter = 0;
        uint32_t actor = 0;
        Object* obj = nullptr;
    };
    size_t slot_of(const ObjId& id) const;
    void grow();

    std::vector<Slot> m_slots;
    std::vector<std::unique_ptr<Object>> m_objects;
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
    ObjectTable m_objects;
    uint64_t m_max_op = 0;
    // The object found last: readers ask for several keys of one object in
    // a row. Objects never move or go away (until clear()).
    mutable ObjId m_last_id{~uint64_t{0}, 0};
    mutable Object* m_last_obj = nullptr;
};

} // namespace crdt
