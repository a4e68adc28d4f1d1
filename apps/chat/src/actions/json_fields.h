#pragma once

// Internal to the JSON codec: a strict parser and the field-by-field readers
// and writers that every record's field list is run through.

#include "actions/action_json.h"

#include <nlohmann/json.hpp>

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

namespace chat::json_detail {

using Json = nlohmann::json;

// Parses one JSON value. Unlike the library's default parse, a key repeated
// inside one object is an error rather than a silent overwrite.
Result<Json> parse_strict(std::string_view text);

// Collects the first decoding failure; later reads become no-ops.
class Decoder {
public:
    bool ok() const { return !m_error.has_value(); }
    void fail(std::string text) {
        if (!m_error)
            m_error = std::move(text);
    }
    const std::string& error() const { return *m_error; }

private:
    std::optional<std::string> m_error;
};

std::string_view type_name(const Json& value);
void fail_type(Decoder& d, const Json& value, std::string_view field, std::string_view expected);

enum class Missing { Fails, Allowed };

void read_value(Decoder& d, const Json& j, std::string_view field, std::string& out);
void read_value(Decoder& d, const Json& j, std::string_view field, int64_t& out);
void read_value(Decoder& d, const Json& j, std::string_view field, uint64_t& out);
void read_value(Decoder& d, const Json& j, std::string_view field, uint32_t& out);
void read_value(Decoder& d, const Json& j, std::string_view field, bool& out);
void read_value(Decoder& d, const Json& j, std::string_view field, ChannelKind& out);
void read_value(Decoder& d, const Json& j, std::string_view field, SpanUnit& out);
void read_value(Decoder& d, const Json& j, std::string_view field, ReasoningRoute& out);
void read_value(Decoder& d, const Json& j, std::string_view field, Span& out);
void read_value(Decoder& d, const Json& j, std::string_view field, ResourceRef& out);
void read_value(Decoder& d, const Json& j, std::string_view field, Mention& out);
void read_value(Decoder& d, const Json& j, std::string_view field, Attachment& out);
void read_value(Decoder& d, const Json& j, std::string_view field, AgentWork& out);
void read_value(Decoder& d, const Json& j, std::string_view field, AgentWorkState& out);
void read_value(Decoder& d, const Json& j, std::string_view field, AgentReasoning& out);
void read_value(Decoder& d, const Json& j, std::string_view field, AgentStep& out);
void read_value(Decoder& d, const Json& j, std::string_view field, AgentStepOutcome& out);
void read_value(Decoder& d, const Json& j, std::string_view field, StoredAgentTransition& out);
void read_value(Decoder& d, const Json& j, std::string_view field, RealtimeMediaFacets& out);
void read_value(Decoder& d, const Json& j, std::string_view field, RealtimeControlIntent& out);
void read_value(Decoder& d, const Json& j, std::string_view field, ChatCallContinuation& out);
void read_value(Decoder& d, const Json& j, std::string_view field, ChatAction& out);
void read_value(Decoder& d, const Json& j, std::string_view field, ChatOperation& out);

template <typename T>
void read_value(Decoder& d, const Json& j, std::string_view field, std::optional<T>& out) {
    if (j.is_null()) {
        out.reset();
        return;
    }
    T value{};
    read_value(d, j, field, value);
    out = std::move(value);
}

template <typename T>
void read_value(Decoder& d, const Json& j, std::string_view field, std::vector<T>& out) {
    if (!j.is_array()) {
        fail_type(d, j, field, "a sequence");
        return;
    }
    out.clear();
    for (const Json& element : j) {
        T value{};
        read_value(d, element, field, value);
        if (!d.ok())
            return;
        out.push_back(std::move(value));
    }
}

inline OrderedJson write_value(const std::string& v) {
    return v;
}
inline OrderedJson write_value(int64_t v) {
    return v;
}
inline OrderedJson write_value(uint64_t v) {
    return v;
}
inline OrderedJson write_value(uint32_t v) {
    return v;
}
inline OrderedJson write_value(bool v) {
    return v;
}
template <typename T> OrderedJson write_value(const T& v) {
    return to_json(v);
}
template <typename T> OrderedJson write_value(const std::optional<T>& v) {
    return v ? write_value(*v) : OrderedJson(nullptr);
}
template <typename T> OrderedJson write_value(const std::vector<T>& v) {
    OrderedJson array = OrderedJson::array();
    for (const T& element : v)
        array.push_back(write_value(element));
    return array;
}

// Runs over a record's field list, reading each field from an object.
struct FieldReader {
    Decoder& d;
    const Json& object;

    template <typename T> void operator()(std::string_view key, T& out, Missing missing = Missing::Fails) {
        if (!d.ok())
            return;
        auto it = object.find(key);
        if (it == object.end()) {
            if (missing == Missing::Fails)
                d.fail("missing field \"" + std::string(key) + "\"");
            return;
        }
        read_value(d, *it, key, out);
    }
};

// Runs over a record's field list, appending each field to an object.
struct FieldWriter {
    OrderedJson& object;

    template <typename T> void operator()(std::string_view key, const T& value, Missing = Missing::Fails) {
        object[std::string(key)] = write_value(value);
    }
};

// A record type whose const and mutable forms share one field list.
template <typename Self, typename Record>
concept RecordOf = std::same_as<std::remove_const_t<Self>, Record>;

template <typename T>
void read_fields(Decoder& d, const Json& j, std::string_view field, std::string_view what, T& out) {
    if (!j.is_object()) {
        fail_type(d, j, field, what);
        return;
    }
    FieldReader reader{d, j};
    fields(out, reader);
}

template <typename T> OrderedJson write_fields(const T& value) {
    OrderedJson object = OrderedJson::object();
    FieldWriter writer{object};
    fields(value, writer);
    return object;
}

template <typename Variant, typename F, size_t... I>
void with_alternative(size_t index, Variant& out, F&& f, std::index_sequence<I...>) {
    (void)((index == I ? (f(out.template emplace<I>()), true) : false) || ...);
}

template <size_t N>
std::optional<size_t> find_name(const std::array<std::string_view, N>& names, std::string_view name) {
    for (size_t i = 0; i < N; ++i) {
        if (names[i] == name)
            return i;
    }
    return std::nullopt;
}

// {"Name": {fields…}}: exactly one key, naming the variant.
template <typename Variant, size_t N>
void read_external(Decoder& d, const Json& j, std::string_view field, std::string_view what,
                   const std::array<std::string_view, N>& names, Variant& out) {
    static_assert(std::variant_size_v<Variant> == N);
    if (!d.ok())
        return;
    if (!j.is_object() || j.size() != 1) {
        fail_type(d, j, field, std::string(what) + " (an object with one key naming the variant)");
        return;
    }
    auto it = j.begin();
    auto index = find_name(names, it.key());
    if (!index) {
        d.fail("unknown variant \"" + it.key() + "\" of " + std::string(what));
        return;
    }
    with_alternative(
        *index, out, [&](auto& alt) { read_fields(d, it.value(), it.key(), it.key(), alt); },
        std::make_index_sequence<N>{});
}

template <typename Variant, size_t N>
OrderedJson write_external(const std::array<std::string_view, N>& names, const Variant& value) {
    OrderedJson object = OrderedJson::object();
    object[std::string(names[value.index()])] =
        std::visit([](const auto& alt) { return write_fields(alt); }, value);
    return object;
}

// {"tag": "name", fields…}: the variant's fields sit beside its tag.
template <typename Variant, size_t N>
void read_internal(Decoder& d, const Json& j, std::string_view field, std::string_view what,
                   std::string_view tag, const std::array<std::string_view, N>& names, Variant& out) {
    static_assert(std::variant_size_v<Variant> == N);
    if (!d.ok())
        return;
    if (!j.is_object()) {
        fail_type(d, j, field, what);
        return;
    }
    auto it = j.find(tag);
    if (it == j.end()) {
        d.fail("missing field \"" + std::string(tag) + "\"");
        return;
    }
    if (!it->is_string()) {
        fail_type(d, *it, tag, "a string");
        return;
    }
    const std::string& name = it->template get_ref<const std::string&>();
    auto index = find_name(names, name);
    if (!index) {
        d.fail("unknown variant \"" + name + "\" of " + std::string(what));
        return;
    }
    with_alternative(
        *index, out, [&](auto& alt) { read_fields(d, j, field, what, alt); }, std::make_index_sequence<N>{});
}

template <typename Variant, size_t N>
OrderedJson write_internal(std::string_view tag, const std::array<std::string_view, N>& names,
                           const Variant& value) {
    OrderedJson object = OrderedJson::object();
    object[std::string(tag)] = names[value.index()];
    std::visit(
        [&](const auto& alt) {
            FieldWriter writer{object};
            fields(alt, writer);
        },
        value);
    return object;
}

template <typename T> Result<T> decode_text(std::string_view text) {
    auto parsed = parse_strict(text);
    if (!parsed)
        return parsed.error();
    Decoder d;
    T out{};
    read_value(d, *parsed, "", out);
    if (!d.ok())
        return kavu::make_error(d.error());
    return out;
}

} // namespace chat::json_detail
