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
struct Object;

struct RegEntry {
    OpId id;
    std::optional<ObjType> object;
    Scalar value;
    int64_t increments = 0;   // added to a Counter by later increment operations
    Object* target = nullptr; // the object made by `id`, when `object` is set
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
    std::u32string chars;           // text: every code point ever inserted, by payload
    std::vector<Register> slots;    // list: element registers, by payload
    mutable std::string text_cache; // text: the UTF-8 content while text_cached
    mutable bool text_cached = false;
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

// Objects by id: open addressing over (counter, actor). Objects live in
// blocks in order of creation, so that objects made together (a message, its
// text, its reactions) sit together in memory.
class ObjectTable {
public:
    ObjectTable() = default;
    ~ObjectTable();
    ObjectTable(const ObjectTable&) = delete;
    ObjectTable& operator=(const ObjectTable&) = delete;

    Object* find(const ObjId& id) const;
    void prefetch(const ObjId& id) const;
    // Adds a new object; the id must not be present.
    Object& add(const ObjId& id, ObjType type, const ActorTable* actors);
    bool contains(const ObjId& id) const { return find(id) != nullptr; }
    void clear();

private:
    struct Slot {
        uint64_t counter = 0;
        uint32_t actor = 0;
        Object* obj = nullptr;
    };
    struct Block {
        void* memory = nullptr;
        size_t capacity = 0; // objects
        size_t used = 0;     // objects constructed
    };
    size_t slot_of(const ObjId& id) const;
    void grow();
    Object* allocate();

    Slot* m_slots = nullptr;
    size_t m_capacity = 0; // slots, a power of two
    size_t m_count = 0;
    std::vector<Block> m_blocks;
};

class OpSet {
public:
    OpSet();

    ActorTable& actors() { return m_actors; }
    const ActorTable& actors() const { return m_actors; }
    uint64_t max_op() const { return m_max_op; }
    // Changes whenever the content changes; see Document::revision().
    uint64_t revision() const { return m_revision; }

    const Object* object(const ObjId& id) const;

    // Applies one operation with the given id. False, with nothing changed,
    // when it refers to an object or element that does not exist or to an
    // object of another kind.
    bool apply(const Op& op, OpId id);
    // The same, taking over the value of `op` (left unspecified) instead of
    // copying it.
    bool apply_taking(Op& op, OpId id);

    // Drops every object but an empty root.
    void clear();

    // The value of a register entry. Reading an object value also makes that
    // object the one found first by the next object() call: readers go on
    // to read it, and this spares them a table lookup.
    Value value_of(const RegEntry& e) const;
    const RegEntry* winner(const Register& reg) const;
    const Register* map_register(const Object& obj, std::string_view key) const;
    const std::string& text_of(const Object& obj) const;

private:
    Object* mutable_object(const ObjId& id);
    Object& make_object(OpId id, ObjType type);
    bool apply_op(const Op& op, OpId id, Op* take);
    bool apply_map(Object& obj, const Op& op, OpId id, Op* take);
    bool apply_list(Object& obj, const Op& op, OpId id, Op* take);
    bool apply_text(Object& obj, const Op& op, OpId id);
    // Points the register entry of a make operation at the object it made.
    void link_target(Object& parent, const Op& op, OpId id, Object* made);
    // `take` is `op` when its value may be moved from, else null.
    void update_register(Register& reg, const Op& op, OpId id, Op* take);

    ActorTable m_actors;
    ObjectTable m_objects;
    uint64_t m_max_op = 0;
    uint64_t m_revision = 0;
    // The object found last: readers ask for several keys of one object in
    // a row. Objects never move or go away (until clear()).
    mutable ObjId m_last_id{~uint64_t{0}, 0};
    mutable Object* m_last_obj = nullptr;
};

} // namespace crdt
