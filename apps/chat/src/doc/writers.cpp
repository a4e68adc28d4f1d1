#include "doc/writers.h"

#include "actions/action_json.h"
#include "doc/agent_work_store.h"
#include "doc/readers.h"

#include <base/fatal.h>

#include <algorithm>
#include <unordered_set>

namespace chat::doc {

namespace {

ObjId append_map(Document& doc, const ObjId& list, std::string_view label) {
    auto created = doc.insert_object(list, doc.length(list), crdt::ObjType::Map);
    if (!created)
        kavu::fatal(label);
    return *created;
}

ObjId new_object(Document& doc, const ObjId& map, std::string_view key, crdt::ObjType type,
                 std::string_view label) {
    auto created = doc.put_object(map, key, type);
    if (!created)
        kavu::fatal(label);
    return *created;
}

void write_attachment(Document& doc, const ObjId& message, const Attachment& attachment) {
    ObjId a = new_object(doc, message, "attachment", crdt::ObjType::Map, "att");
    std::visit(
        [&](const auto& v) {
            using T = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<T, Attachment::Image>) {
                put_str(doc, a, "kind", "image");
                put_str(doc, a, "name", v.name);
                put_str(doc, a, "blob", v.blob);
                put_int(doc, a, "w", v.w);
                put_int(doc, a, "h", v.h);
            } else if constexpr (std::is_same_v<T, Attachment::Video>) {
                put_str(doc, a, "kind", "video");
                put_str(doc, a, "name", v.name);
                put_str(doc, a, "blob", v.blob);
                put_int(doc, a, "w", v.w);
                put_int(doc, a, "h", v.h);
                put_int(doc, a, "size", static_cast<int64_t>(v.size));
            } else {
                put_str(doc, a, "kind", "file");
                put_str(doc, a, "name", v.name);
                put_str(doc, a, "blob", v.blob);
                put_int(doc, a, "size", static_cast<int64_t>(v.size));
            }
        },
        attachment.value);
}

} // namespace

std::optional<ObjId> find_message(const Document& doc, std::string_view channel, std::string_view id) {
    auto list = find_list(doc, find_map(doc, kRoot, "messages"), channel);
    if (!list)
        return std::nullopt;
    size_t n = doc.length(*list);
    for (size_t i = 0; i < n; ++i) {
        if (auto m = map_at(doc, *list, i); m && read_str(doc, *m, "id") == id)
            return m;
    }
    return std::nullopt;
}

namespace {

// Every message id of the document as of one revision. A send must check its
// id against the whole document; scanning every channel on each send made a
// long history quadratic. The set is rebuilt whenever the document changed
// in a way it did not follow, and kept current across our own appends.
struct MessageIdIndex {
    uint64_t revision = 0;
    std::unordered_set<std::string> ids;
};

MessageIdIndex& message_id_index() {
    thread_local MessageIdIndex index;
    return index;
}

const MessageIdIndex& current_message_ids(const Document& doc) {
    MessageIdIndex& index = message_id_index();
    if (index.revision == doc.revision())
        return index;
    index.ids.clear();
    if (auto messages = find_map(doc, kRoot, "messages")) {
        for (auto& [channel, value] : doc.entries(*messages)) {
            if (!value.is(crdt::ObjType::List))
                continue;
            size_t n = doc.length(value.id);
            for (size_t i = 0; i < n; ++i) {
                if (auto m = map_at(doc, value.id, i))
                    if (auto id = read_str(doc, *m, "id"))
                        index.ids.insert(std::move(*id));
            }
        }
    }
    index.revision = doc.revision();
    return index;
}

} // namespace

bool message_id_taken(const Document& doc, std::string_view id) {
    return current_message_ids(doc).ids.contains(std::string(id));
}

uint32_t next_channel_order(const Document& doc, std::string_view workspace, std::string_view category) {
    std::optional<uint32_t> greatest;
    for (const ChannelEntry& c : list_channels(doc)) {
        if (c.workspace == workspace && c.category == category)
            greatest = std::max(greatest.value_or(0), c.order);
    }
    return greatest ? *greatest + 1 : 0;
}

uint32_t next_category_order(const Document& doc, std::string_view workspace) {
    std::optional<uint32_t> greatest;
    for (const CategoryEntry& c : list_categories(doc)) {
        if (c.workspace == workspace)
            greatest = std::max(greatest.value_or(0), c.order);
    }
    return greatest ? *greatest + 1 : 0;
}

std::string insert_message(Document& doc, std::string_view channel, std::string_view id,
                           const MessageRecord& record) {
    if (!message_id_taken(doc, id))
        append_message(doc, channel, id, record);
    return std::string(id);
}

void append_message(Document& doc, std::string_view channel, std::string_view id,
                    const MessageRecord& record) {
    // When the id index was current before this append, it is current after
    // it with this one id added.
    bool index_was_current = message_id_index().revision == doc.revision();
    ObjId list = ensure_list(doc, ensure_map(doc, kRoot, "messages"), channel);
    ObjId m = append_map(doc, list, "insert msg");

    put_str(doc, m, "id", id);
    put_str(doc, m, "author", record.author);
    put_int(doc, m, "ts", record.ts);
    put_str(doc, m, "parent", record.parent.value_or(""));
    put_bool(doc, m, "edited", record.edited);

    ObjId text = new_object(doc, m, "text", crdt::ObjType::Text, "text");
    if (!record.text.empty())
        (void)doc.splice_text(text, 0, 0, record.text);

    ObjId reactions = new_object(doc, m, "reactions", crdt::ObjType::List, "rx");
    for (const ReactionGroup& group : record.reactions) {
        for (const std::string& user : group.users) {
            ObjId entry = append_map(doc, reactions, "rxentry");
            put_str(doc, entry, "emoji", group.emoji);
            put_str(doc, entry, "user", user);
        }
    }

    ObjId mentions = new_object(doc, m, "mentions", crdt::ObjType::List, "mentions");
    for (const Mention& mention : record.mentions) {
        ObjId entry = append_map(doc, mentions, "mention");
        put_str(doc, entry, "user", mention.user);
        put_int(doc, entry, "start", static_cast<int64_t>(mention.start));
        put_int(doc, entry, "len", static_cast<int64_t>(mention.len));
        put_bool(doc, entry, "agent", mention.is_agent);
    }

    if (record.reference)
        put_str(doc, m, "reference", encode_json(*record.reference));
    if (record.work)
        write_agent_work(doc, m, *record.work);

    ObjId history = new_object(doc, m, "history", crdt::ObjType::List, "hist");
    for (const HistoryEntry& h : record.history) {
        ObjId entry = append_map(doc, history, "hrec");
        put_int(doc, entry, "ts", h.ts);
        put_str(doc, entry, "text", h.text);
    }

    if (record.attachment)
        write_attachment(doc, m, *record.attachment);

    if (index_was_current) {
        MessageIdIndex& index = message_id_index();
        index.ids.insert(std::string(id));
        index.revision = doc.revision();
    }
}

void write_workspace(Document& doc, std::string_view id, std::string_view name, std::string_view glyph,
                     int64_t color_idx, uint32_t order) {
    ObjId w = ensure_map(doc, ensure_map(doc, kRoot, "workspaces"), id);
    put_str(doc, w, "name", name);
    put_str(doc, w, "glyph", glyph);
    put_int(doc, w, "color_idx", color_idx);
    put_int(doc, w, "order", order);
}

void write_category(Document& doc, std::string_view id, std::string_view workspace, std::string_view name,
                    uint32_t order) {
    ObjId c = ensure_map(doc, ensure_map(doc, kRoot, "categories"), id);
    put_str(doc, c, "workspace", workspace);
    put_str(doc, c, "name", name);
    put_int(doc, c, "order", order);
    put_bool(doc, c, "collapsed", false);
}

void write_channel(Document& doc, std::string_view id, std::string_view workspace, std::string_view category,
                   std::string_view name, std::string_view topic, bool voice, uint32_t order) {
    ObjId c = ensure_map(doc, ensure_map(doc, kRoot, "channels"), id);
    put_str(doc, c, "workspace", workspace);
    put_str(doc, c, "category", category);
    put_str(doc, c, "name", name);
    put_str(doc, c, "topic", topic);
    put_str(doc, c, "kind", voice ? "voice" : "text");
    put_int(doc, c, "order", order);
    if (voice)
        ensure_map(doc, ensure_map(doc, kRoot, "voice"), id);
}

void write_person(Document& doc, std::string_view id, std::string_view name, std::string_view initials,
                  int64_t color_idx, PresenceStatus status) {
    ObjId p = ensure_map(doc, ensure_map(doc, kRoot, "users"), id);
    put_str(doc, p, "name", name);
    put_str(doc, p, "initials", initials);
    put_int(doc, p, "color_idx", color_idx);
    put_str(doc, p, "status", presence_word(status));
}

bool refresh_person(Document& doc, std::string_view id, std::string_view name, std::string_view initials,
                    int64_t color_idx, PresenceStatus status) {
    ObjId p = ensure_map(doc, ensure_map(doc, kRoot, "users"), id);
    bool changed = false;
    auto refresh_str = [&](std::string_view key, std::string_view value) {
        if (read_str(doc, p, key) != value) {
            put_str(doc, p, key, value);
            changed = true;
        }
    };
    refresh_str("name", name);
    refresh_str("initials", initials);
    if (read_int(doc, p, "color_idx").value_or(0) != color_idx) {
        put_int(doc, p, "color_idx", color_idx);
        changed = true;
    }
    if (parse_presence(read_str(doc, p, "status").value_or("")) != status) {
        put_str(doc, p, "status", presence_word(status));
        changed = true;
    }
    return changed;
}

void set_draft(Document& doc, std::string_view key, std::string_view text) {
    ObjId t = ensure_text(doc, ensure_map(doc, kRoot, "drafts"), key);
    splice_text_diffed(doc, t, text);
}

void clear_draft(Document& doc, std::string_view key) {
    set_draft(doc, key, "");
}

void migrate_attachment_paths(Document& doc) {
    constexpr size_t kMessagesPerChannel = 256;
    constexpr size_t kMaxMoves = 32;
    constexpr size_t kMaxPathBytes = 256;
    constexpr std::string_view kDemoScheme = "kavu-demo://";

    auto messages = find_map(doc, kRoot, "messages");
    if (!messages)
        return;
    std::vector<std::pair<ObjId, std::string>> moves;
    for (auto& [channel, value] : doc.entries(*messages)) {
        if (!value.is(crdt::ObjType::List))
            continue;
        size_t n = std::min(doc.length(value.id), kMessagesPerChannel);
        for (size_t i = 0; i < n; ++i) {
            auto attachment = find_map(doc, map_at(doc, value.id, i), "attachment");
            if (!attachment)
                continue;
            if (!read_str(doc, *attachment, "blob").value_or("").empty())
                continue;
            auto path = read_str(doc, *attachment, "path");
            if (!path || path->size() > kMaxPathBytes || !path->starts_with(kDemoScheme))
                continue;
            moves.emplace_back(*attachment, std::move(*path));
        }
    }
    if (moves.size() > kMaxMoves)
        moves.resize(kMaxMoves);
    for (auto& [attachment, path] : moves) {
        put_str(doc, attachment, "blob", path);
        delete_key(doc, attachment, "path");
    }
}

} // namespace chat::doc
