// Feeds arbitrary bytes to apply_changes on a document with some content.
// Rejected input must leave the document as it was; accepted input must
// leave a document that still saves, loads and merges.

#include <crdt/document.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

namespace {

crdt::ActorId actor(uint8_t n) {
    crdt::ActorId a;
    a.bytes.fill(n);
    return a;
}

// A document with a map, a list and a text, made by two actors.
crdt::Document make_base() {
    crdt::Document doc(actor(1));
    auto root = crdt::ObjId::root();
    auto list = *doc.put_object(root, "list", crdt::ObjType::List);
    (void)doc.insert(list, 0, int64_t{1});
    auto m = *doc.insert_object(list, 1, crdt::ObjType::Map);
    (void)doc.put(m, "k", std::string("v"));
    auto text = *doc.put_object(root, "text", crdt::ObjType::Text);
    (void)doc.splice_text(text, 0, 0, "hello");
    (void)doc.put(root, "c", crdt::Counter{1});
    doc.commit(1);
    crdt::Document other = doc.fork(actor(2));
    (void)other.splice_text(text, 5, 0, " world");
    (void)other.delete_at(list, 0);
    other.commit(2);
    (void)doc.merge(other);
    return doc;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::vector<uint8_t> base_bytes = make_base().save();
    auto doc = crdt::Document::load(base_bytes);
    if (!doc)
        std::abort();
    auto heads_before = doc->heads();
    auto r = doc->apply_changes(std::span(data, size));
    if (!r) {
        if (doc->heads() != heads_before)
            std::abort();
        return 0;
    }
    auto heads = doc->heads();
    auto again = crdt::Document::load(doc->save());
    if (!again || again->heads() != heads)
        std::abort();
    crdt::Document copy = doc->fork(actor(3));
    if (copy.heads() != heads)
        std::abort();
    return 0;
}
