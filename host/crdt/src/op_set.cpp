#include "op_set.h"

#include <atomic>

#include "codec.h"

#include <base/fatal.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

namespace crdt {

void Register::erase_ids(std::span<const OpId> ids) {
    if (ids.empty() || m_size == 0)
        return;
    auto listed = [&](const RegEntry& e) { return std::find(ids.begin(), ids.end(), e.id) != ids.end(); };
    if (m_size == 1) {
        if (listed(m_one)) {
            m_one = RegEntry{};
            m_size = 0;
        }
        return;
    }
    std::erase_if(m_many, listed);
    m_size = static_cast<uint32_t>(m_many.size());
    if (m_size <= 1) {
        if (m_size == 1)
            m_one = std::move(m_many.front());
        m_many.clear();
        m_many.shrink_to_fit();
    }
}

void Register::insert(RegEntry entry, const ActorTable& actors) {
    if (m_size == 0) {
        m_one = std::move(entry);
        m_size = 1;
        return;
    }
    if (m_size == 1) {
        m_many.reserve(2);
        m_many.push_back(std::move(m_one));
        m_one = RegEntry{};
    }
    auto at = std::upper_bound(m_many.begin(), m_many.end(), entry.id,
                               [&](const OpId& a, const RegEntry& e) { return actors.less(a, e.id); });
    m_many.insert(at, std::move(entry));
    m_size = static_cast<uint32_t>(m_many.size());
}

namespace {

constexpr size_t kObjectsPerBlock = 4096;

void* allocate_zeroed(size_t bytes) {
    return std::calloc(1, bytes);
}

} // namespace

ObjectTable::~ObjectTable() {
    clear();
}

size_t ObjectTable::slot_of(const ObjId& id) const {
    // Objects made close together (a message and its text, reactions...)
    // have close counters: keep each block of 64 counters of an actor
    // together so that reading them touches few cache lines, and scatter the
    // blocks.
    uint64_t block = (id.counter >> 6) * 0x9E3779B97F4A7C15ull ^ (uint64_t(id.actor) * 0xC2B2AE3D27D4EB4Full);
    block ^= block >> 29;
    return static_cast<size_t>((block << 6) | (id.counter & 63)) & (m_capacity - 1);
}

void ObjectTable::prefetch(const ObjId& id) const {
    if (m_capacity != 0)
        __builtin_prefetch(&m_slots[slot_of(id)]);
}

Object* ObjectTable::find(const ObjId& id) const {
    if (m_capacity == 0)
        return nullptr;
    for (size_t i = slot_of(id);; i = (i + 1) & (m_capacity - 1)) {
        const Slot& s = m_slots[i];
        if (!s.obj)
            return nullptr;
        if (s.counter == id.counter && s.actor == id.actor)
            return s.obj;
    }
}

Object* ObjectTable::allocate() {
    if (m_blocks.empty() || m_blocks.back().used == m_blocks.back().capacity) {
        // The first block is small: most documents in tests and tools are.
        size_t capacity = m_blocks.empty() ? 64 : kObjectsPerBlock;
        void* memory = allocate_zeroed(capacity * sizeof(Object));
        if (!memory)
            kavu::fatal("object memory");
        m_blocks.push_back(Block{memory, capacity, 0});
    }
    Block& b = m_blocks.back();
    return static_cast<Object*>(b.memory) + b.used++;
}

Object& ObjectTable::add(const ObjId& id, ObjType type, const ActorTable* actors) {
    if ((m_count + 1) * 2 > m_capacity)
        grow();
    Object* obj = new (allocate()) Object(type, actors);
    size_t i = slot_of(id);
    while (m_slots[i].obj)
        i = (i + 1) & (m_capacity - 1);
    m_slots[i] = Slot{id.counter, id.actor, obj};
    ++m_count;
    return *obj;
}

void ObjectTable::grow() {
    Slot* old = m_slots;
    size_t old_capacity = m_capacity;
    m_capacity = std::max<size_t>(16, old_capacity * 2);
    m_slots = static_cast<Slot*>(allocate_zeroed(m_capacity * sizeof(Slot)));
    if (!m_slots)
        kavu::fatal("object table memory");
    for (size_t k = 0; k < old_capacity; ++k) {
        const Slot& s = old[k];
        if (!s.obj)
            continue;
        size_t i = slot_of(ObjId{s.counter, s.actor});
        while (m_slots[i].obj)
            i = (i + 1) & (m_capacity - 1);
        m_slots[i] = s;
    }
    std::free(old);
}

void ObjectTable::clear() {
    for (size_t k = 0; k < m_capacity; ++k)
        if (m_slots[k].obj)
            m_slots[k].obj->~Object();
    std::free(m_slots);
    m_slots = nullptr;
    m_capacity = 0;
    m_count = 0;
    for (Block& b : m_blocks)
        std::free(b.memory);
    m_blocks.clear();
}

OpSet::OpSet() {
    clear();
}

namespace {
// Revisions are drawn from one process-wide counter, so no two states of any
// two documents ever share one.
uint64_t next_revision() {
    static std::atomic<uint64_t> counter{0};
    return counter.fetch_add(1, std::memory_order_relaxed) + 1;
}
} // namespace

void OpSet::clear() {
    m_revision = next_revision();
    m_last_id = ObjId{~uint64_t{0}, 0};
    m_last_obj = nullptr;
    m_objects.clear();
    m_objects.add(ObjId::root(), ObjType::Map, &m_actors);
    m_max_op = 0;
}

const Object* OpSet::object(const ObjId& id) const {
    if (id == m_last_id)
        return m_last_obj;
    Object* o = m_objects.find(id);
    if (o) {
        m_last_id = id;
        m_last_obj = o;
    }
    return o;
}

Object* OpSet::mutable_object(const ObjId& id) {
    return const_cast<Object*>(object(id));
}

Object& OpSet::make_object(OpId id, ObjType type) {
    return m_objects.add(id, type, &m_actors);
}

Value OpSet::value_of(const RegEntry& e) const {
    if (e.object) {
        if (e.target) {
            m_last_id = e.id;
            m_last_obj = e.target;
        }
        return Value{.object = e.object, .id = e.id, .scalar = Null{}};
    }
    if (auto c = std::get_if<Counter>(&e.value))
        return Value{.scalar = Counter{c->value + e.increments}};
    return Value{.scalar = e.value};
}

const RegEntry* OpSet::winner(const Register& reg) const {
    return reg.empty() ? nullptr : &reg.back();
}

const Register* OpSet::map_register(const Object& obj, std::string_view key) const {
    const auto& entries = obj.map.entries;
    auto it = std::lower_bound(entries.begin(), entries.end(), key,
                               [](const auto& e, std::string_view k) { return e.first < k; });
    if (it == entries.end() || it->first != key)
        return nullptr;
    return &it->second;
}

const std::string& OpSet::text_of(const Object& obj) const {
    if (!obj.s->text_cached) {
        obj.s->text_cache.clear();
        obj.s->text_cache.reserve(obj.s->seq.visible());
        obj.s->seq.for_each_run([&](const SeqRun& r) {
            if (!r.visible)
                return;
            for (uint32_t i = 0; i < r.len; ++i)
                utf8_append(obj.s->text_cache, obj.s->chars[r.payload + i]);
        });
        obj.s->text_cached = true;
    }
    return obj.s->text_cache;
}

void OpSet::update_register(Register& reg, const Op& op, OpId id, Op* take) {
    reg.erase_ids(op.pred);
    bool make = op.action == OpAction::MapMake || op.action == OpAction::ListMake ||
                op.action == OpAction::ListInsertMake;
    bool put =
        op.action == OpAction::MapPut || op.action == OpAction::ListPut || op.action == OpAction::ListInsert;
    if (!make && !put)
        return;
    RegEntry entry{.id = id, .object = std::nullopt, .value = Null{}};
    if (make)
        entry.object = op.make;
    else
        entry.value = take ? std::move(take->value) : op.value;
    reg.insert(std::move(entry), m_actors);
}

bool OpSet::apply(const Op& op, OpId id) {
    return apply_op(op, id, nullptr);
}

bool OpSet::apply_taking(Op& op, OpId id) {
    return apply_op(op, id, &op);
}

bool OpSet::apply_op(const Op& op, OpId id, Op* take) {
    m_revision = next_revision();
    bool makes = op.action == OpAction::MapMake || op.action == OpAction::ListMake ||
                 op.action == OpAction::ListInsertMake;
    // The new object's table slot is needed below; start fetching it now.
    if (makes)
        m_objects.prefetch(id);
    Object* obj = mutable_object(op.obj);
    if (!obj)
        return false;
    if (makes && m_objects.contains(id))
        return false;
    bool ok;
    switch (obj->type) {
    case ObjType::Map:
        ok = apply_map(*obj, op, id, take);
        break;
    case ObjType::List:
        ok = apply_list(*obj, op, id, take);
        break;
    case ObjType::Text:
        ok = apply_text(*obj, op, id);
        break;
    default:
        ok = false;
    }
    if (!ok)
        return false;
    if (makes)
        link_target(*obj, op, id, &make_object(id, op.make));
    m_max_op = std::max(m_max_op, id.counter + op.span() - 1);
    return true;
}

void OpSet::link_target(Object& parent, const Op& op, OpId id, Object* made) {
    Register* reg = nullptr;
    if (parent.type == ObjType::Map) {
        reg = const_cast<Register*>(map_register(parent, op.key));
    } else if (parent.type == ObjType::List) {
        auto slot = parent.s->seq.find(op.action == OpAction::ListInsertMake ? id : op.elem);
        if (slot)
            reg = &parent.s->slots[*slot];
    }
    if (!reg)
        return;
    for (RegEntry& e : *reg)
        if (e.id == id)
            e.target = made;
}

bool OpSet::apply_map(Object& obj, const Op& op, OpId id, Op* take) {
    if (!op.is_map_op())
        return false;
    auto& entries = obj.map.entries;
    auto it = std::lower_bound(entries.begin(), entries.end(), op.key,
                               [](const auto& e, const std::string& k) { return e.first < k; });
    bool found = it != entries.end() && it->first == op.key;
    switch (op.action) {
    case OpAction::MapPut:
    case OpAction::MapMake:
        if (!found) {
            if (entries.size() == entries.capacity()) {
                // Records have a handful of keys: grow by small steps.
                size_t at = static_cast<size_t>(it - entries.begin());
                entries.reserve(entries.size() < 8 ? entries.size() + 2 : entries.size() * 3 / 2);
                it = entries.begin() + static_cast<ptrdiff_t>(at);
            }
            it = entries.insert(it, {op.key, Register{}});
        }
        update_register(it->second, op, id, take);
        return true;
    case OpAction::MapDelete:
        if (found) {
            update_register(it->second, op, id, take);
            if (it->second.empty())
                entries.erase(it);
        }
        return true;
    case OpAction::MapIncrement:
        if (found) {
            for (RegEntry& e : it->second) {
                if (std::holds_alternative<Counter>(e.value) && !e.object &&
                    std::find(op.pred.begin(), op.pred.end(), e.id) != op.pred.end())
                    e.increments += op.by;
            }
        }
        return true;
    default:
        return false;
    }
}

bool OpSet::apply_list(Object& obj, const Op& op, OpId id, Op* take) {
    switch (op.action) {
    case OpAction::ListInsert:
    case OpAction::ListInsertMake: {
        uint32_t slot = static_cast<uint32_t>(obj.s->slots.size());
        obj.s->slots.emplace_back();
        if (!obj.s->seq.insert_after(op.elem, id, 1, slot)) {
            obj.s->slots.pop_back();
            return false;
        }
        update_register(obj.s->slots[slot], op, id, take);
        return true;
    }
    case OpAction::ListPut:
    case OpAction::ListMake:
    case OpAction::ListDelete: {
        auto slot = obj.s->seq.find(op.elem);
        if (!slot)
            return false;
        Register& reg = obj.s->slots[*slot];
        bool was_visible = !reg.empty();
        update_register(reg, op, id, take);
        if (was_visible != !reg.empty())
            obj.s->seq.set_visible(op.elem, 1, !reg.empty());
        return true;
    }
    default:
        return false;
    }
}

bool OpSet::apply_text(Object& obj, const Op& op, OpId id) {
    switch (op.action) {
    case OpAction::TextInsert: {
        if (op.text.empty())
            return false;
        uint32_t payload = static_cast<uint32_t>(obj.s->chars.size());
        obj.s->chars += op.text;
        if (!obj.s->seq.insert_after(op.elem, id, static_cast<uint32_t>(op.text.size()), payload)) {
            obj.s->chars.resize(payload);
            return false;
        }
        obj.s->text_cached = false;
        return true;
    }
    case OpAction::TextDelete:
        if (obj.s->seq.set_visible(op.elem, op.len, false) > 0)
            obj.s->text_cached = false;
        return true;
    default:
        return false;
    }
}

} // namespace crdt
