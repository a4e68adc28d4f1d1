#include "op_set.h"

#include "codec.h"

#include <algorithm>

namespace crdt {

OpSet::OpSet() {
    clear();
}

void OpSet::clear() {
    m_objects.clear();
    m_objects.emplace(ObjId::root(), std::make_unique<Object>(ObjType::Map, &m_actors));
    m_max_op = 0;
}

const Object* OpSet::object(const ObjId& id) const {
    auto it = m_objects.find(id);
    return it == m_objects.end() ? nullptr : it->second.get();
}

Object* OpSet::mutable_object(const ObjId& id) {
    auto it = m_objects.find(id);
    return it == m_objects.end() ? nullptr : it->second.get();
}

Object& OpSet::make_object(OpId id, ObjType type) {
    auto& slot = m_objects[id];
    slot = std::make_unique<Object>(type, &m_actors);
    return *slot;
}

Value OpSet::value_of(const RegEntry& e) const {
    if (e.object)
        return Value{.object = e.object, .id = e.id, .scalar = Null{}};
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
    if (!obj.text_cached) {
        obj.text_cache.clear();
        obj.text_cache.reserve(obj.seq.visible());
        obj.seq.for_each_run([&](const SeqRun& r) {
            if (!r.visible)
                return;
            for (uint32_t i = 0; i < r.len; ++i)
                utf8_append(obj.text_cache, obj.chars[r.payload + i]);
        });
        obj.text_cached = true;
    }
    return obj.text_cache;
}

void OpSet::update_register(Register& reg, const Op& op, OpId id) {
    if (!op.pred.empty()) {
        std::erase_if(reg, [&](const RegEntry& e) {
            return std::find(op.pred.begin(), op.pred.end(), e.id) != op.pred.end();
        });
    }
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
        entry.value = op.value;
    // Kept in ascending id order so that the winner is the last entry.
    auto at = std::upper_bound(reg.begin(), reg.end(), id,
                               [&](const OpId& a, const RegEntry& e) { return m_actors.less(a, e.id); });
    reg.insert(at, std::move(entry));
}

bool OpSet::apply(const Op& op, OpId id) {
    Object* obj = mutable_object(op.obj);
    if (!obj)
        return false;
    bool makes = op.action == OpAction::MapMake || op.action == OpAction::ListMake ||
                 op.action == OpAction::ListInsertMake;
    if (makes && m_objects.contains(id))
        return false;
    bool ok;
    switch (obj->type) {
    case ObjType::Map:
        ok = apply_map(*obj, op, id);
        break;
    case ObjType::List:
        ok = apply_list(*obj, op, id);
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
        make_object(id, op.make);
    m_max_op = std::max(m_max_op, id.counter + op.span() - 1);
    return true;
}

bool OpSet::apply_map(Object& obj, const Op& op, OpId id) {
    if (!op.is_map_op())
        return false;
    auto& entries = obj.map.entries;
    auto it = std::lower_bound(entries.begin(), entries.end(), op.key,
                               [](const auto& e, const std::string& k) { return e.first < k; });
    bool found = it != entries.end() && it->first == op.key;
    switch (op.action) {
    case OpAction::MapPut:
    case OpAction::MapMake:
        if (!found)
            it = entries.insert(it, {op.key, Register{}});
        update_register(it->second, op, id);
        return true;
    case OpAction::MapDelete:
        if (found) {
            update_register(it->second, op, id);
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

bool OpSet::apply_list(Object& obj, const Op& op, OpId id) {
    switch (op.action) {
    case OpAction::ListInsert:
    case OpAction::ListInsertMake: {
        uint32_t slot = static_cast<uint32_t>(obj.slots.size());
        obj.slots.emplace_back();
        if (!obj.seq.insert_after(op.elem, id, 1, slot)) {
            obj.slots.pop_back();
            return false;
        }
        update_register(obj.slots[slot], op, id);
        return true;
    }
    case OpAction::ListPut:
    case OpAction::ListMake:
    case OpAction::ListDelete: {
        auto slot = obj.seq.find(op.elem);
        if (!slot)
            return false;
        Register& reg = obj.slots[*slot];
        bool was_visible = !reg.empty();
        update_register(reg, op, id);
        if (was_visible != !reg.empty())
            obj.seq.set_visible(op.elem, 1, !reg.empty());
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
        uint32_t payload = static_cast<uint32_t>(obj.chars.size());
        obj.chars += op.text;
        if (!obj.seq.insert_after(op.elem, id, static_cast<uint32_t>(op.text.size()), payload)) {
            obj.chars.resize(payload);
            return false;
        }
        obj.text_cached = false;
        return true;
    }
    case OpAction::TextDelete:
        if (obj.seq.set_visible(op.elem, op.len, false) > 0)
            obj.text_cached = false;
        return true;
    default:
        return false;
    }
}

} // namespace crdt
