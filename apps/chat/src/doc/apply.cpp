#include "doc/apply.h"

#include "doc/agent_work_store.h"
#include "doc/readers.h"
#include "doc/writers.h"

#include <base/fatal.h>

#include <algorithm>

namespace chat::doc {

namespace {

using A = ChatAction;

constexpr uint32_t kMaxDimension = 16384;
constexpr uint64_t kMaxAttachmentBytes = 32 * 1024 * 1024;

// A file name shown to people: 1 to 255 bytes of valid UTF-8 without C0 or C1
// control characters or DEL.
bool is_acceptable_name(std::string_view name) {
    if (name.empty() || name.size() > 255)
        return false;
    size_t i = 0;
    while (i < name.size()) {
        auto b = static_cast<unsigned char>(name[i]);
        uint32_t cp = 0;
        size_t len = 0;
        if (b < 0x80) {
            cp = b;
            len = 1;
        } else if ((b & 0xE0) == 0xC0) {
            cp = b & 0x1F;
            len = 2;
        } else if ((b & 0xF0) == 0xE0) {
            cp = b & 0x0F;
            len = 3;
        } else if ((b & 0xF8) == 0xF0) {
            cp = b & 0x07;
            len = 4;
        } else {
            return false;
        }
        if (i + len > name.size())
            return false;
        for (size_t k = 1; k < len; ++k) {
            auto c = static_cast<unsigned char>(name[i + k]);
            if ((c & 0xC0) != 0x80)
                return false;
            cp = (cp << 6) | (c & 0x3F);
        }
        bool overlong = (len == 2 && cp < 0x80) || (len == 3 && cp < 0x800) || (len == 4 && cp < 0x10000);
        if (overlong || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
        if (cp < 0x20 || cp == 0x7F || (cp >= 0x80 && cp <= 0x9F))
            return false;
        i += len;
    }
    return true;
}

bool is_blob_key(std::string_view blob) {
    return blob.size() == 64 && std::all_of(blob.begin(), blob.end(), [](char c) {
               return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
           });
}

bool within(uint64_t v, uint64_t lo, uint64_t hi) {
    return v >= lo && v <= hi;
}

std::optional<ObjId> channel_map(const Document& doc, std::string_view id) {
    return find_map(doc, find_map(doc, kRoot, "channels"), id);
}

std::optional<ObjId> category_map(const Document& doc, std::string_view id) {
    return find_map(doc, find_map(doc, kRoot, "categories"), id);
}

ObjId ensure_participant(Document& doc, std::string_view channel, std::string_view user) {
    return ensure_map(doc, ensure_map(doc, ensure_map(doc, kRoot, "voice"), channel), user);
}

void put_bool_if_changed(Document& doc, const ObjId& map, std::string_view key, bool value) {
    if (read_bool(doc, map, key) != value)
        put_bool(doc, map, key, value);
}

void send_message(Document& doc, const A::SendMessage& a) {
    if (!channel_map(doc, a.channel))
        return;
    if (!is_valid_message_id(a.id))
        return;
    if (a.text.size() > kMaxMessageTextBytes)
        return;
    if (message_id_taken(doc, a.id))
        return;
    if (a.attachment && !is_acceptable_attachment(*a.attachment))
        return;
    if (a.parent && !a.parent->empty()) {
        // Threads are one level deep: a reply to a reply is refused. A parent
        // that is not (yet) here is accepted, as it may arrive by merge.
        if (auto parent = find_message(doc, a.channel, *a.parent);
            parent && !read_str(doc, *parent, "parent").value_or("").empty())
            return;
    }
    // The id was checked above and nothing has been written since.
    append_message(doc, a.channel, a.id,
                   MessageRecord{
                       .author = a.author,
                       .text = a.text,
                       .mentions = a.mentions,
                       .parent = a.parent,
                       .reference = a.reference,
                       .attachment = a.attachment,
                       .ts = a.ts,
                   });
}

void edit_message(Document& doc, const A::EditMessage& a) {
    // The size limit of a send holds for edits too; otherwise an edit could
    // grow a message without bound.
    if (a.text.size() > kMaxMessageTextBytes)
        return;
    auto m = find_message(doc, a.channel, a.id);
    if (!m)
        return;
    std::string previous = read_text(doc, *m, "text").value_or("");
    if (previous == a.text)
        return;
    ObjId history = ensure_list(doc, *m, "history");
    auto entry = doc.insert_object(history, doc.length(history), crdt::ObjType::Map);
    if (!entry)
        kavu::fatal("hrec");
    put_int(doc, *entry, "ts", a.ts);
    put_str(doc, *entry, "text", previous);
    splice_text_diffed(doc, ensure_text(doc, *m, "text"), a.text);
    put_bool(doc, *m, "edited", true);
}

void delete_message(Document& doc, const A::DeleteMessage& a) {
    auto list = find_list(doc, find_map(doc, kRoot, "messages"), a.channel);
    if (!list)
        return;
    size_t n = doc.length(*list);
    for (size_t i = 0; i < n; ++i) {
        if (auto m = map_at(doc, *list, i); m && read_str(doc, *m, "id") == a.id) {
            (void)doc.delete_at(*list, i);
            return;
        }
    }
}

// Index of the first reaction entry holding this (emoji, user) pair.
std::optional<size_t> find_reaction(const Document& doc, const ObjId& list, std::string_view emoji,
                                    std::string_view user) {
    size_t n = doc.length(list);
    for (size_t i = 0; i < n; ++i) {
        auto entry = map_at(doc, list, i);
        if (entry && read_str(doc, *entry, "emoji") == emoji && read_str(doc, *entry, "user") == user)
            return i;
    }
    return std::nullopt;
}

void add_reaction(Document& doc, const A::AddReaction& a) {
    auto m = find_message(doc, a.channel, a.msg);
    if (!m)
        return;
    ObjId list = ensure_list(doc, *m, "reactions");
    if (find_reaction(doc, list, a.emoji, a.user))
        return;
    auto entry = doc.insert_object(list, doc.length(list), crdt::ObjType::Map);
    if (!entry)
        kavu::fatal("rxentry");
    put_str(doc, *entry, "emoji", a.emoji);
    put_str(doc, *entry, "user", a.user);
}

void remove_reaction(Document& doc, const A::RemoveReaction& a) {
    auto list = find_list(doc, find_message(doc, a.channel, a.msg), "reactions");
    if (!list)
        return;
    if (auto index = find_reaction(doc, *list, a.emoji, a.user))
        (void)doc.delete_at(*list, *index);
}

void delete_category(Document& doc, const A::DeleteCategory& a) {
    // An empty id names no category; taking it literally would renumber every
    // uncategorised channel.
    if (a.id.empty())
        return;
    for (const ChannelEntry& c : list_channels(doc)) {
        if (c.category != a.id)
            continue;
        // Recomputed per channel, so the moved channels keep their relative order.
        uint32_t order = next_channel_order(doc, c.workspace, "");
        if (auto map = channel_map(doc, c.id)) {
            put_str(doc, *map, "category", "");
            put_int(doc, *map, "order", order);
        }
    }
    if (auto categories = find_map(doc, kRoot, "categories"))
        delete_key(doc, *categories, a.id);
}

void reorder_channel(Document& doc, const A::ReorderChannel& a) {
    auto channels = list_channels(doc);
    auto self = std::find_if(channels.begin(), channels.end(), [&](const auto& c) { return c.id == a.id; });
    if (self == channels.end())
        return;
    std::vector<const ChannelEntry*> siblings;
    for (const ChannelEntry& c : channels) {
        if (c.workspace == self->workspace && c.category == self->category)
            siblings.push_back(&c);
    }
    size_t i = std::find(siblings.begin(), siblings.end(), &*self) - siblings.begin();
    size_t j = 0;
    if (a.up) {
        if (i == 0)
            return;
        j = i - 1;
    } else {
        j = i + 1;
        if (j >= siblings.size())
            return;
    }
    auto mine = channel_map(doc, siblings[i]->id);
    auto theirs = channel_map(doc, siblings[j]->id);
    if (!mine || !theirs)
        return;
    // A plain swap, no renumbering: equal orders swap to no visible effect.
    put_int(doc, *mine, "order", siblings[j]->order);
    put_int(doc, *theirs, "order", siblings[i]->order);
}

void delete_channel(Document& doc, const A::DeleteChannel& a) {
    for (std::string_view root : {"channels", "messages", "voice", "drafts"}) {
        if (auto map = find_map(doc, kRoot, root))
            delete_key(doc, *map, a.id);
    }
}

void mark_read(Document& doc, const A::MarkRead& a) {
    ObjId markers = ensure_map(doc, ensure_map(doc, kRoot, "read"), a.user);
    if (read_int(doc, markers, a.channel).value_or(0) != a.count)
        put_int(doc, markers, a.channel, a.count);
}

void set_agent_work(Document& doc, const A::SetAgentWork& a) {
    auto m = find_message(doc, a.channel, a.msg);
    if (!m)
        return;
    if (read_agent_work(doc, *m) != a.work)
        write_agent_work(doc, *m, a.work);
    if (!a.say || a.say->empty())
        return;
    // The agent's reply fills the message once, only while it is empty.
    auto text = doc.get(*m, "text");
    if (text && text->is(crdt::ObjType::Text) && doc.length(text->id) == 0)
        (void)doc.splice_text(text->id, 0, 0, *a.say);
}

void join_call(Document& doc, const A::JoinCall& a) {
    ObjId p = ensure_participant(doc, a.channel, a.user);
    if (find_bool(doc, p, "talking"))
        return; // a rejoin keeps the previous flags
    for (std::string_view key : {"talking", "muted", "deafened", "audio_only", "sharing"})
        put_bool(doc, p, key, false);
}

void leave_call(Document& doc, const A::LeaveCall& a) {
    if (auto call = find_map(doc, find_map(doc, kRoot, "voice"), a.channel))
        delete_key(doc, *call, a.user);
}

} // namespace

bool is_acceptable_attachment(const Attachment& attachment) {
    if (!is_acceptable_name(attachment.name()) || !is_blob_key(attachment.blob()))
        return false;
    return std::visit(
        [](const auto& v) {
            using T = std::decay_t<decltype(v)>;
            if constexpr (std::is_same_v<T, Attachment::Image>)
                return within(v.w, 1, kMaxDimension) && within(v.h, 1, kMaxDimension);
            else if constexpr (std::is_same_v<T, Attachment::Video>)
                return within(v.w, 0, kMaxDimension) && within(v.h, 0, kMaxDimension) &&
                       within(v.size, 1, kMaxAttachmentBytes);
            else
                return within(v.size, 1, kMaxAttachmentBytes);
        },
        attachment.value);
}

void apply_action(Document& doc, const ChatAction& action) {
    std::visit(
        [&](const auto& a) {
            using T = std::decay_t<decltype(a)>;
            if constexpr (std::is_same_v<T, A::SendMessage>) {
                send_message(doc, a);
            } else if constexpr (std::is_same_v<T, A::EditMessage>) {
                edit_message(doc, a);
            } else if constexpr (std::is_same_v<T, A::DeleteMessage>) {
                delete_message(doc, a);
            } else if constexpr (std::is_same_v<T, A::AddReaction>) {
                add_reaction(doc, a);
            } else if constexpr (std::is_same_v<T, A::RemoveReaction>) {
                remove_reaction(doc, a);
            } else if constexpr (std::is_same_v<T, A::PinMessage>) {
                if (auto m = find_message(doc, a.channel, a.msg))
                    put_bool_if_changed(doc, *m, "pinned", a.pinned);
            } else if constexpr (std::is_same_v<T, A::CreateChannel>) {
                uint32_t order = next_channel_order(doc, a.workspace, a.category);
                write_channel(doc, a.id, a.workspace, a.category, a.name, "", a.kind == ChannelKind::Voice,
                              order);
            } else if constexpr (std::is_same_v<T, A::CreateCategory>) {
                write_category(doc, a.id, a.workspace, a.name, next_category_order(doc, a.workspace));
            } else if constexpr (std::is_same_v<T, A::RenameCategory>) {
                if (auto c = category_map(doc, a.id))
                    put_str(doc, *c, "name", a.name);
            } else if constexpr (std::is_same_v<T, A::DeleteCategory>) {
                delete_category(doc, a);
            } else if constexpr (std::is_same_v<T, A::SetCategoryCollapsed>) {
                if (auto c = category_map(doc, a.id))
                    put_bool(doc, *c, "collapsed", a.collapsed);
            } else if constexpr (std::is_same_v<T, A::ReorderChannel>) {
                reorder_channel(doc, a);
            } else if constexpr (std::is_same_v<T, A::RenameChannel>) {
                if (auto c = channel_map(doc, a.id))
                    put_str(doc, *c, "name", a.name);
            } else if constexpr (std::is_same_v<T, A::DeleteChannel>) {
                delete_channel(doc, a);
            } else if constexpr (std::is_same_v<T, A::ArchiveChannel>) {
                if (auto c = channel_map(doc, a.id))
                    put_bool_if_changed(doc, *c, "archived", a.archived);
            } else if constexpr (std::is_same_v<T, A::MarkRead>) {
                mark_read(doc, a);
            } else if constexpr (std::is_same_v<T, A::SetAgentWork>) {
                set_agent_work(doc, a);
            } else if constexpr (std::is_same_v<T, A::JoinCall>) {
                join_call(doc, a);
            } else if constexpr (std::is_same_v<T, A::LeaveCall>) {
                leave_call(doc, a);
            } else if constexpr (std::is_same_v<T, A::SetCallState>) {
                ObjId p = ensure_participant(doc, a.channel, a.user);
                put_bool(doc, p, "talking", a.talking);
                put_bool(doc, p, "muted", a.muted);
                put_bool(doc, p, "deafened", a.deafened);
                put_bool(doc, p, "audio_only", a.audio_only);
            } else if constexpr (std::is_same_v<T, A::SetScreenShare>) {
                put_bool_if_changed(doc, ensure_participant(doc, a.channel, a.user), "sharing", a.sharing);
            } else {
                static_assert(std::is_same_v<T, A::SetCallTicket>);
                ObjId p = ensure_participant(doc, a.channel, a.user);
                if (read_str(doc, p, "ticket").value_or("") != a.ticket)
                    put_str(doc, p, "ticket", a.ticket);
            }
        },
        action.value);
}

} // namespace chat::doc
