#pragma once

// A canonical text form of a document's visible tree (with conflicts), for
// comparing replicas whose object ids are numbered differently.

#include <crdt/document.h>

#include <sstream>
#include <string>

namespace crdt::testing {

inline ActorId actor(uint8_t n) {
    ActorId a;
    a.bytes.fill(n);
    return a;
}

inline void dump_value(const Document& doc, const Value& v, std::ostringstream& out);

inline void dump_object(const Document& doc, const ObjId& obj, std::ostringstream& out) {
    switch (*doc.object_type(obj)) {
    case ObjType::Map:
        out << '{';
        for (const auto& key : doc.keys(obj)) {
            out << key << ':';
            auto all = doc.get_all(obj, key);
            if (all.size() > 1)
                out << "conflict" << all.size() << '=';
            for (const auto& v : all)
                dump_value(doc, v, out);
            out << ',';
        }
        out << '}';
        break;
    case ObjType::List:
        out << '[';
        for (size_t i = 0; i < doc.length(obj); ++i) {
            dump_value(doc, *doc.get(obj, i), out);
            out << ',';
        }
        out << ']';
        break;
    case ObjType::Text:
        out << '"' << doc.text(obj) << '"';
        break;
    }
}

inline void dump_value(const Document& doc, const Value& v, std::ostringstream& out) {
    if (v.is_object()) {
        dump_object(doc, v.id, out);
        return;
    }
    std::visit(
        [&](const auto& s) {
            using T = std::decay_t<decltype(s)>;
            if constexpr (std::is_same_v<T, Null>)
                out << "null";
            else if constexpr (std::is_same_v<T, Counter>)
                out << "counter(" << s.value << ')';
            else if constexpr (std::is_same_v<T, Timestamp>)
                out << "ts(" << s.millis << ')';
            else if constexpr (std::is_same_v<T, std::string>)
                out << '\'' << s << '\'';
            else
                out << s;
        },
        v.scalar);
}

inline std::string dump(const Document& doc) {
    std::ostringstream out;
    dump_object(doc, ObjId::root(), out);
    return out.str();
}

} // namespace crdt::testing
