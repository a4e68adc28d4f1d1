#include "doc/schema.h"

#include <base/fatal.h>

#include <cmath>
#include <limits>

namespace chat::doc {

namespace {

ObjId ensure_object(Document& doc, const ObjId& parent, std::string_view key, crdt::ObjType type,
                    std::string_view label) {
    if (auto value = doc.get(parent, key); value && value->is(type))
        return value->id;
    auto created = doc.put_object(parent, key, type);
    if (!created)
        kavu::fatal(label);
    return *created;
}

std::optional<ObjId> find_object(const Document& doc, const ObjId& parent, std::string_view key,
                                 crdt::ObjType type) {
    auto value = doc.get(parent, key);
    if (!value || !value->is(type))
        return std::nullopt;
    return value->id;
}

} // namespace

ObjId ensure_map(Document& doc, const ObjId& parent, std::string_view key) {
    return ensure_object(doc, parent, key, crdt::ObjType::Map, "put map");
}

ObjId ensure_list(Document& doc, const ObjId& parent, std::string_view key) {
    return ensure_object(doc, parent, key, crdt::ObjType::List, "put list");
}

ObjId ensure_text(Document& doc, const ObjId& parent, std::string_view key) {
    return ensure_object(doc, parent, key, crdt::ObjType::Text, "put text");
}

std::optional<ObjId> find_map(const Document& doc, const ObjId& parent, std::string_view key) {
    return find_object(doc, parent, key, crdt::ObjType::Map);
}

std::optional<ObjId> find_map(const Document& doc, const std::optional<ObjId>& parent, std::string_view key) {
    if (!parent)
        return std::nullopt;
    return find_map(doc, *parent, key);
}

std::optional<ObjId> find_list(const Document& doc, const ObjId& parent, std::string_view key) {
    return find_object(doc, parent, key, crdt::ObjType::List);
}

std::optional<ObjId> find_list(const Document& doc, const std::optional<ObjId>& parent,
                               std::string_view key) {
    if (!parent)
        return std::nullopt;
    return find_list(doc, *parent, key);
}

std::optional<ObjId> map_at(const Document& doc, const ObjId& list, size_t index) {
    auto value = doc.get(list, index);
    if (!value || !value->is(crdt::ObjType::Map))
        return std::nullopt;
    return value->id;
}

std::optional<std::string> read_str(const Document& doc, const ObjId& map, std::string_view key) {
    auto value = doc.get(map, key);
    if (!value || !value->is_scalar())
        return std::nullopt;
    if (const std::string* s = value->str())
        return *s;
    return std::nullopt;
}

std::optional<std::string> read_text(const Document& doc, const ObjId& map, std::string_view key) {
    auto value = doc.get(map, key);
    if (!value)
        return std::nullopt;
    if (value->is(crdt::ObjType::Text))
        return doc.text(value->id);
    if (value->is_scalar()) {
        if (const std::string* s = value->str())
            return *s;
    }
    return std::nullopt;
}

std::optional<int64_t> read_int(const Document& doc, const ObjId& map, std::string_view key) {
    auto value = doc.get(map, key);
    if (!value || !value->is_scalar())
        return std::nullopt;
    const crdt::Scalar& s = value->scalar;
    if (auto* i = std::get_if<int64_t>(&s))
        return *i;
    if (auto* u = std::get_if<uint64_t>(&s))
        return static_cast<int64_t>(*u);
    if (auto* f = std::get_if<double>(&s)) {
        // Converting an out-of-range double is undefined; saturate instead.
        if (std::isnan(*f))
            return std::nullopt;
        double t = std::trunc(*f);
        if (t >= 9223372036854775807.0)
            return std::numeric_limits<int64_t>::max();
        if (t <= -9223372036854775808.0)
            return std::numeric_limits<int64_t>::min();
        return static_cast<int64_t>(t);
    }
    if (auto* c = std::get_if<crdt::Counter>(&s))
        return c->value;
    if (auto* ts = std::get_if<crdt::Timestamp>(&s))
        return ts->millis;
    return std::nullopt;
}

std::optional<bool> find_bool(const Document& doc, const ObjId& map, std::string_view key) {
    auto value = doc.get(map, key);
    if (!value || !value->is_scalar())
        return std::nullopt;
    if (auto* b = std::get_if<bool>(&value->scalar))
        return *b;
    return std::nullopt;
}

bool read_bool(const Document& doc, const ObjId& map, std::string_view key) {
    return find_bool(doc, map, key).value_or(false);
}

void put_str(Document& doc, const ObjId& map, std::string_view key, std::string_view value) {
    (void)doc.put(map, key, crdt::Scalar{std::string(value)});
}

void put_int(Document& doc, const ObjId& map, std::string_view key, int64_t value) {
    (void)doc.put(map, key, crdt::Scalar{value});
}

void put_bool(Document& doc, const ObjId& map, std::string_view key, bool value) {
    (void)doc.put(map, key, crdt::Scalar{value});
}

void delete_key(Document& doc, const ObjId& map, std::string_view key) {
    (void)doc.delete_key(map, key);
}

namespace {

bool is_continuation(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

size_t count_code_points(std::string_view s) {
    size_t n = 0;
    for (char c : s)
        n += is_continuation(c) ? 0 : 1;
    return n;
}

} // namespace

void splice_text_diffed(Document& doc, const ObjId& text, std::string_view new_text) {
    std::string old_text = doc.text(text);
    std::string_view old_view = old_text;
    size_t limit = std::min(old_view.size(), new_text.size());

    size_t prefix = 0;
    while (prefix < limit && old_view[prefix] == new_text[prefix])
        ++prefix;
    // Never split a code point: back up to the start of the one that differs.
    while (prefix > 0 && prefix < old_view.size() && is_continuation(old_view[prefix]))
        --prefix;
    while (prefix > 0 && prefix < new_text.size() && is_continuation(new_text[prefix]))
        --prefix;

    size_t suffix = 0;
    size_t max_suffix = limit - prefix;
    while (suffix < max_suffix &&
           old_view[old_view.size() - 1 - suffix] == new_text[new_text.size() - 1 - suffix])
        ++suffix;
    // The kept suffix must begin on a code point boundary in both texts.
    while (suffix > 0 && is_continuation(old_view[old_view.size() - suffix]))
        --suffix;
    while (suffix > 0 && is_continuation(new_text[new_text.size() - suffix]))
        --suffix;

    std::string_view removed = old_view.substr(prefix, old_view.size() - prefix - suffix);
    std::string_view inserted = new_text.substr(prefix, new_text.size() - prefix - suffix);
    if (removed.empty() && inserted.empty())
        return;
    (void)doc.splice_text(text, count_code_points(old_view.substr(0, prefix)), count_code_points(removed),
                          inserted);
}

bool is_valid_message_id(std::string_view id) {
    if (id.empty() || id.size() > 128)
        return false;
    for (char c : id) {
        bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
                  c == '_';
        if (!ok)
            return false;
    }
    return true;
}

std::string thread_draft_key(std::string_view channel, std::string_view root) {
    std::string key(channel);
    key += "::t::";
    key += root;
    return key;
}

} // namespace chat::doc
