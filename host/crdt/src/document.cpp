// Reads and local edits. Every edit becomes one operation applied to the
// materialised state at once and kept in the pending change.

#include "document_impl.h"

#include <base/fatal.h>

namespace crdt {

using kavu::make_error;

namespace {

Result<void> ok() {
    return {};
}

std::vector<OpId> register_ids(const Register* reg) {
    std::vector<OpId> ids;
    if (reg) {
        ids.reserve(reg->size());
        for (const RegEntry& e : *reg)
            ids.push_back(e.id);
    }
    return ids;
}

const char* type_name(ObjType t) {
    switch (t) {
    case ObjType::Map:
        return "map";
    case ObjType::List:
        return "list";
    case ObjType::Text:
        return "text";
    }
    return "object";
}

} // namespace

Document::Impl::Impl(const ActorId& actor_id) {
    by_hash.bind(&changes);
    actor = state.actors().intern(actor_id);
}

Document::Impl::Impl(const std::vector<ActorId>& known, const std::optional<ActorId>& own) {
    by_hash.bind(&changes);
    for (const ActorId& a : known)
        state.actors().intern(a);
    if (own)
        actor = state.actors().intern(*own);
}

Document::Document() : Document(ActorId::random()) {}
Document::Document(ActorId actor) : m_impl(std::make_unique<Impl>(actor)) {}
Document::~Document() = default;
Document::Document(Document&&) noexcept = default;
Document& Document::operator=(Document&&) noexcept = default;

ActorId Document::actor_id() const {
    return m_impl->state.actors()[m_impl->actor];
}

void Document::set_actor_id(ActorId actor) {
    // The pending operations carry the old actor in their ids.
    m_impl->commit(0, {});
    m_impl->actor = m_impl->state.actors().intern(actor);
}

OpId Document::Impl::local_op(Op op) {
    OpId id = next_id();
    if (pending.empty())
        pending_start = id.counter;
    if (!state.apply(op, id))
        kavu::fatal("local operation");
    pending.push_back(std::move(op));
    return id;
}

// ---- Reads ----

std::optional<ObjType> Document::object_type(const ObjId& obj) const {
    const Object* o = m_impl->state.object(obj);
    if (!o)
        return std::nullopt;
    return o->type;
}

std::optional<Value> Document::get(const ObjId& map, std::string_view key) const {
    const OpSet& s = m_impl->state;
    const Object* o = s.object(map);
    if (!o || o->type != ObjType::Map)
        return std::nullopt;
    const Register* reg = s.map_register(*o, key);
    if (!reg || reg->empty())
        return std::nullopt;
    return s.value_of(reg->back());
}

std::optional<Value> Document::get(const ObjId& list, size_t index) const {
    const OpSet& s = m_impl->state;
    const Object* o = s.object(list);
    if (!o || o->type == ObjType::Map || index >= o->s->seq.visible())
        return std::nullopt;
    auto el = o->s->seq.visible_at(index);
    if (o->type == ObjType::Text) {
        std::string ch;
        utf8_append(ch, o->s->chars[el.payload]);
        return Value{.scalar = std::move(ch)};
    }
    const Register& reg = o->s->slots[el.payload];
    return s.value_of(reg.back());
}

std::vector<Value> Document::get_all(const ObjId& map, std::string_view key) const {
    const OpSet& s = m_impl->state;
    std::vector<Value> out;
    const Object* o = s.object(map);
    if (!o || o->type != ObjType::Map)
        return out;
    if (const Register* reg = s.map_register(*o, key))
        for (const RegEntry& e : *reg)
            out.push_back(s.value_of(e));
    return out;
}

std::vector<std::string> Document::keys(const ObjId& map) const {
    std::vector<std::string> out;
    const Object* o = m_impl->state.object(map);
    if (!o || o->type != ObjType::Map)
        return out;
    out.reserve(o->map.entries.size());
    for (const auto& [key, reg] : o->map.entries)
        out.push_back(key);
    return out;
}

std::vector<std::pair<std::string, Value>> Document::entries(const ObjId& map) const {
    const OpSet& s = m_impl->state;
    std::vector<std::pair<std::string, Value>> out;
    const Object* o = s.object(map);
    if (!o || o->type != ObjType::Map)
        return out;
    out.reserve(o->map.entries.size());
    for (const auto& [key, reg] : o->map.entries)
        out.emplace_back(key, s.value_of(reg.back()));
    return out;
}

size_t Document::length(const ObjId& obj) const {
    const Object* o = m_impl->state.object(obj);
    if (!o)
        return 0;
    return o->type == ObjType::Map ? o->map.entries.size() : o->s->seq.visible();
}

std::string Document::text(const ObjId& text) const {
    const Object* o = m_impl->state.object(text);
    if (!o || o->type != ObjType::Text)
        return {};
    return m_impl->state.text_of(*o);
}

uint64_t Document::revision() const {
    return m_impl->state.revision();
}

// ---- Writes ----

namespace {

Result<const Object*> expect(const OpSet& s, const ObjId& id, ObjType type) {
    const Object* o = s.object(id);
    if (!o)
        return make_error("no such object");
    if (o->type != type)
        return make_error(std::string("not a ") + type_name(type));
    return o;
}

Result<const Object*> expect_sequence(const OpSet& s, const ObjId& id) {
    const Object* o = s.object(id);
    if (!o)
        return make_error("no such object");
    if (o->type == ObjType::Map)
        return make_error("not a list or text");
    return o;
}

} // namespace

Result<void> Document::put(const ObjId& map, std::string_view key, Scalar value) {
    auto o = expect(m_impl->state, map, ObjType::Map);
    if (!o)
        return o.error();
    Op op{.action = OpAction::MapPut, .obj = map, .key = std::string(key), .value = std::move(value)};
    op.pred = register_ids(m_impl->state.map_register(**o, key));
    m_impl->local_op(std::move(op));
    return ok();
}

Result<ObjId> Document::put_object(const ObjId& map, std::string_view key, ObjType type) {
    auto o = expect(m_impl->state, map, ObjType::Map);
    if (!o)
        return o.error();
    Op op{.action = OpAction::MapMake, .make = type, .obj = map, .key = std::string(key)};
    op.pred = register_ids(m_impl->state.map_register(**o, key));
    return m_impl->local_op(std::move(op));
}

Result<void> Document::put(const ObjId& list, size_t index, Scalar value) {
    auto o = expect(m_impl->state, list, ObjType::List);
    if (!o)
        return o.error();
    if (index >= (*o)->s->seq.visible())
        return make_error("index out of range");
    auto el = (*o)->s->seq.visible_at(index);
    Op op{.action = OpAction::ListPut, .obj = list, .elem = el.id, .value = std::move(value)};
    op.pred = register_ids(&(*o)->s->slots[el.payload]);
    m_impl->local_op(std::move(op));
    return ok();
}

Result<ObjId> Document::put_object(const ObjId& list, size_t index, ObjType type) {
    auto o = expect(m_impl->state, list, ObjType::List);
    if (!o)
        return o.error();
    if (index >= (*o)->s->seq.visible())
        return make_error("index out of range");
    auto el = (*o)->s->seq.visible_at(index);
    Op op{.action = OpAction::ListMake, .make = type, .obj = list, .elem = el.id};
    op.pred = register_ids(&(*o)->s->slots[el.payload]);
    return m_impl->local_op(std::move(op));
}

Result<void> Document::insert(const ObjId& list, size_t index, Scalar value) {
    auto o = expect(m_impl->state, list, ObjType::List);
    if (!o)
        return o.error();
    if (index > (*o)->s->seq.visible())
        return make_error("index out of range");
    OpId ref = index == 0 ? OpId{} : (*o)->s->seq.visible_at(index - 1).id;
    m_impl->local_op(Op{.action = OpAction::ListInsert, .obj = list, .elem = ref, .value = std::move(value)});
    return ok();
}

Result<ObjId> Document::insert_object(const ObjId& list, size_t index, ObjType type) {
    auto o = expect(m_impl->state, list, ObjType::List);
    if (!o)
        return o.error();
    if (index > (*o)->s->seq.visible())
        return make_error("index out of range");
    OpId ref = index == 0 ? OpId{} : (*o)->s->seq.visible_at(index - 1).id;
    return m_impl->local_op(Op{.action = OpAction::ListInsertMake, .make = type, .obj = list, .elem = ref});
}

Result<void> Document::delete_key(const ObjId& map, std::string_view key) {
    auto o = expect(m_impl->state, map, ObjType::Map);
    if (!o)
        return o.error();
    const Register* reg = m_impl->state.map_register(**o, key);
    if (!reg || reg->empty())
        return ok();
    m_impl->local_op(
        Op{.action = OpAction::MapDelete, .obj = map, .key = std::string(key), .pred = register_ids(reg)});
    return ok();
}

Result<void> Document::delete_at(const ObjId& list, size_t index) {
    auto o = expect_sequence(m_impl->state, list);
    if (!o)
        return o.error();
    if ((*o)->type == ObjType::Text)
        return splice_text(list, index, 1, {});
    if (index >= (*o)->s->seq.visible())
        return make_error("index out of range");
    auto el = (*o)->s->seq.visible_at(index);
    m_impl->local_op(Op{.action = OpAction::ListDelete,
                        .obj = list,
                        .elem = el.id,
                        .pred = register_ids(&(*o)->s->slots[el.payload])});
    return ok();
}

Result<void> Document::increment(const ObjId& map, std::string_view key, int64_t by) {
    auto o = expect(m_impl->state, map, ObjType::Map);
    if (!o)
        return o.error();
    const Register* reg = m_impl->state.map_register(**o, key);
    if (!reg || reg->empty() || reg->back().object || !std::holds_alternative<Counter>(reg->back().value))
        return make_error("not a counter");
    Op op{.action = OpAction::MapIncrement, .obj = map, .key = std::string(key), .by = by};
    for (const RegEntry& e : *reg)
        if (!e.object && std::holds_alternative<Counter>(e.value))
            op.pred.push_back(e.id);
    m_impl->local_op(std::move(op));
    return ok();
}

Result<void> Document::splice_text(const ObjId& text, size_t pos, size_t del, std::string_view insert) {
    auto o = expect(m_impl->state, text, ObjType::Text);
    if (!o)
        return o.error();
    const Sequence& seq = (*o)->s->seq;
    if (pos > seq.visible() || del > seq.visible() - pos)
        return make_error("range out of bounds");
    Op ins{.action = OpAction::TextInsert, .obj = text};
    if (!utf8_decode(insert, ins.text))
        return make_error("text is not valid UTF-8");
    if (del > 0) {
        std::vector<std::pair<OpId, uint32_t>> ranges;
        seq.visible_ranges(pos, del, [&](OpId first, uint32_t n) { ranges.emplace_back(first, n); });
        for (auto [first, n] : ranges)
            m_impl->local_op(Op{.action = OpAction::TextDelete, .obj = text, .elem = first, .len = n});
    }
    if (!ins.text.empty()) {
        ins.elem = pos == 0 ? OpId{} : seq.visible_at(pos - 1).id;
        m_impl->local_op(std::move(ins));
    }
    return ok();
}

} // namespace crdt
