#include "actions/json_fields.h"

#include <limits>

namespace chat {

std::string dump_compact(const OrderedJson& value) {
    // Replacing invalid UTF-8 keeps encoding total: a record holding bytes
    // that are not UTF-8 still serialises instead of aborting the caller.
    return value.dump(-1, ' ', false, OrderedJson::error_handler_t::replace);
}

} // namespace chat

namespace chat::json_detail {

namespace {

// Builds a DOM like the library's own SAX builder, and refuses a key that
// already exists in the object being filled.
class StrictBuilder {
public:
    using number_integer_t = Json::number_integer_t;
    using number_unsigned_t = Json::number_unsigned_t;
    using number_float_t = Json::number_float_t;
    using string_t = Json::string_t;
    using binary_t = Json::binary_t;

    bool null() { return add(nullptr) != nullptr; }
    bool boolean(bool v) { return add(v) != nullptr; }
    bool number_integer(number_integer_t v) { return add(v) != nullptr; }
    bool number_unsigned(number_unsigned_t v) { return add(v) != nullptr; }
    bool number_float(number_float_t v, const string_t&) { return add(v) != nullptr; }
    bool string(string_t& v) { return add(std::move(v)) != nullptr; }
    bool binary(binary_t& v) { return add(Json::binary(std::move(v))) != nullptr; }

    bool start_object(std::size_t) {
        Json* object = add(Json::object());
        m_stack.push_back(object);
        return true;
    }
    bool key(string_t& key) {
        Json& object = *m_stack.back();
        if (object.contains(key)) {
            m_error = "duplicate field \"" + key + "\"";
            return false;
        }
        m_key = std::move(key);
        return true;
    }
    bool end_object() {
        m_stack.pop_back();
        return true;
    }
    bool start_array(std::size_t) {
        Json* array = add(Json::array());
        m_stack.push_back(array);
        return true;
    }
    bool end_array() {
        m_stack.pop_back();
        return true;
    }
    bool parse_error(std::size_t, const std::string&, const nlohmann::json::exception& ex) {
        m_error = ex.what();
        return false;
    }

    Json& root() { return m_root; }
    const std::string& error() const { return m_error; }

private:
    // Places a value where the parser is; returns where it now lives. Only the
    // innermost open container grows, so pointers to the open ones stay valid.
    Json* add(Json value) {
        if (m_stack.empty()) {
            m_root = std::move(value);
            return &m_root;
        }
        Json& top = *m_stack.back();
        if (top.is_array()) {
            top.push_back(std::move(value));
            return &top.back();
        }
        Json& slot = top[m_key];
        slot = std::move(value);
        return &slot;
    }

    Json m_root;
    std::vector<Json*> m_stack;
    std::string m_key;
    std::string m_error;
};

} // namespace

Result<Json> parse_strict(std::string_view text) {
    StrictBuilder builder;
    bool ok = Json::sax_parse(text, &builder, nlohmann::json::input_format_t::json, true, false);
    if (!ok) {
        if (builder.error().empty())
            return kavu::make_error("invalid JSON");
        return kavu::make_error(builder.error());
    }
    return std::move(builder.root());
}

std::string_view type_name(const Json& value) {
    switch (value.type()) {
    case Json::value_t::null:
        return "null";
    case Json::value_t::object:
        return "map";
    case Json::value_t::array:
        return "sequence";
    case Json::value_t::string:
        return "string";
    case Json::value_t::boolean:
        return "boolean";
    case Json::value_t::number_integer:
    case Json::value_t::number_unsigned:
        return "integer";
    case Json::value_t::number_float:
        return "floating point";
    default:
        return "unsupported value";
    }
}

void fail_type(Decoder& d, const Json& value, std::string_view field, std::string_view expected) {
    std::string text =
        "invalid type: " + std::string(type_name(value)) + ", expected " + std::string(expected);
    if (!field.empty())
        text += " for field \"" + std::string(field) + "\"";
    d.fail(std::move(text));
}

namespace {

void fail_range(Decoder& d, const Json& value, std::string_view field, std::string_view expected) {
    std::string text = "invalid value: integer " + value.dump() + ", expected " + std::string(expected);
    if (!field.empty())
        text += " for field \"" + std::string(field) + "\"";
    d.fail(std::move(text));
}

} // namespace

void read_value(Decoder& d, const Json& j, std::string_view field, std::string& out) {
    if (!j.is_string())
        return fail_type(d, j, field, "a string");
    out = j.get_ref<const std::string&>();
}

void read_value(Decoder& d, const Json& j, std::string_view field, int64_t& out) {
    if (j.is_number_unsigned()) {
        uint64_t v = j.get<uint64_t>();
        if (v > static_cast<uint64_t>(std::numeric_limits<int64_t>::max()))
            return fail_range(d, j, field, "i64");
        out = static_cast<int64_t>(v);
        return;
    }
    if (j.is_number_integer()) {
        out = j.get<int64_t>();
        return;
    }
    fail_type(d, j, field, "i64");
}

void read_value(Decoder& d, const Json& j, std::string_view field, uint64_t& out) {
    if (j.is_number_unsigned()) {
        out = j.get<uint64_t>();
        return;
    }
    if (j.is_number_integer())
        return fail_range(d, j, field, "u64");
    fail_type(d, j, field, "u64");
}

void read_value(Decoder& d, const Json& j, std::string_view field, uint32_t& out) {
    uint64_t wide = 0;
    if (j.is_number_integer() && !j.is_number_unsigned())
        return fail_range(d, j, field, "u32");
    if (!j.is_number_unsigned())
        return fail_type(d, j, field, "u32");
    wide = j.get<uint64_t>();
    if (wide > std::numeric_limits<uint32_t>::max())
        return fail_range(d, j, field, "u32");
    out = static_cast<uint32_t>(wide);
}

void read_value(Decoder& d, const Json& j, std::string_view field, bool& out) {
    if (!j.is_boolean())
        return fail_type(d, j, field, "a boolean");
    out = j.get<bool>();
}

namespace {

template <typename E, size_t N>
void read_word(Decoder& d, const Json& j, std::string_view field, std::string_view what,
               const std::array<std::string_view, N>& names, E& out) {
    if (!j.is_string())
        return fail_type(d, j, field, what);
    auto index = find_name(names, j.get_ref<const std::string&>());
    if (!index) {
        d.fail("unknown variant \"" + j.get<std::string>() + "\" of " + std::string(what));
        return;
    }
    out = static_cast<E>(*index);
}

constexpr std::array<std::string_view, 2> kChannelKinds = {"Text", "Voice"};
constexpr std::array<std::string_view, 2> kSpanUnits = {"Chars", "Bytes"};
constexpr std::array<std::string_view, 2> kRoutes = {"model", "floor"};

} // namespace

void read_value(Decoder& d, const Json& j, std::string_view field, ChannelKind& out) {
    read_word(d, j, field, "ChannelKind", kChannelKinds, out);
}

void read_value(Decoder& d, const Json& j, std::string_view field, SpanUnit& out) {
    read_word(d, j, field, "SpanUnit", kSpanUnits, out);
}

void read_value(Decoder& d, const Json& j, std::string_view field, ReasoningRoute& out) {
    read_word(d, j, field, "ReasoningRoute", kRoutes, out);
}

} // namespace chat::json_detail

namespace chat {

OrderedJson to_json(ChannelKind kind) {
    return std::string(json_detail::kChannelKinds[static_cast<size_t>(kind)]);
}

OrderedJson to_json(SpanUnit unit) {
    return std::string(json_detail::kSpanUnits[static_cast<size_t>(unit)]);
}

OrderedJson to_json(ReasoningRoute route) {
    return std::string(json_detail::kRoutes[static_cast<size_t>(route)]);
}

} // namespace chat
