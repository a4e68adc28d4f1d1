// Feeds arbitrary bytes to the file loader. Whatever loads must be a usable
// document: readable, editable and saved again to something that loads to
// the same content.

#include <crdt/document.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

namespace {

// Reads every object reachable from `obj`, bounded so that deep or wide
// documents cannot make one input take long.
void walk(const crdt::Document& doc, const crdt::ObjId& obj, int depth, size_t& budget) {
    if (depth > 16 || budget == 0)
        return;
    --budget;
    auto type = doc.object_type(obj);
    if (!type)
        std::abort();
    if (*type == crdt::ObjType::Map) {
        for (const auto& key : doc.keys(obj))
            for (const auto& v : doc.get_all(obj, key))
                if (v.is_object())
                    walk(doc, v.id, depth + 1, budget);
    } else if (*type == crdt::ObjType::List) {
        for (size_t i = 0; i < doc.length(obj) && budget > 0; ++i)
            if (auto v = doc.get(obj, i); v && v->is_object())
                walk(doc, v->id, depth + 1, budget);
    } else {
        (void)doc.text(obj);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    crdt::LoadReport report;
    auto doc = crdt::Document::load(std::span(data, size), &report);
    if (!doc)
        return 0;
    if (report.valid_bytes > size)
        std::abort();
    size_t budget = 10000;
    walk(*doc, crdt::ObjId::root(), 0, budget);
    (void)doc->put(crdt::ObjId::root(), "fuzz", int64_t{1});
    auto heads = doc->heads();
    auto again = crdt::Document::load(doc->save());
    if (!again || again->heads() != heads)
        std::abort();
    return 0;
}
