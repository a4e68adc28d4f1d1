#pragma once

#include "doc/apply.h"
#include "doc/readers.h"
#include "doc/schema.h"
#include "doc/writers.h"

#include <crdt/document.h>

namespace chat::doc::testing {

// A fresh document with a fixed actor, and shorthands for building raw trees
// the way another peer or an older version might have written them.
struct DocFixture {
    crdt::Document doc{crdt::ActorId{}};

    void apply(ChatAction::SendMessage a) { apply_action(doc, {std::move(a)}); }
    template <typename T> void apply(T a) { apply_action(doc, {std::move(a)}); }

    // Commits what is pending; afterwards pending_ops() counts new writes only.
    void settle() { doc.commit(); }
    size_t writes() const { return doc.pending_ops(); }

    ObjId map(std::initializer_list<std::string_view> path) {
        ObjId at = kRoot;
        for (std::string_view key : path)
            at = ensure_map(doc, at, key);
        return at;
    }
    ObjId list(std::string_view channel) { return ensure_list(doc, map({"messages"}), channel); }
    ObjId append_map(const ObjId& list) {
        return *doc.insert_object(list, doc.length(list), crdt::ObjType::Map);
    }

    void channel(std::string_view id, std::string_view workspace = "w", std::string_view category = "k",
                 uint32_t order = 0, bool voice = false) {
        write_channel(doc, id, workspace, category, id, "", voice, order);
    }
    ChatAction::SendMessage send(std::string channel, std::string id, std::string text = "hi") {
        return ChatAction::SendMessage{.channel = std::move(channel),
                                       .id = std::move(id),
                                       .author = "u",
                                       .ts = 1,
                                       .text = std::move(text)};
    }
};

} // namespace chat::doc::testing
