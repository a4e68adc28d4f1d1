#include "doc/readers.h"

#include "actions/action_json.h"
#include "doc/agent_work_store.h"

#include <algorithm>

namespace chat {

std::string_view presence_word(PresenceStatus status) {
    switch (status) {
    case PresenceStatus::Idle:
        return "idle";
    case PresenceStatus::Dnd:
        return "dnd";
    case PresenceStatus::Offline:
        return "offline";
    case PresenceStatus::Online:
        break;
    }
    return "online";
}

PresenceStatus parse_presence(std::string_view word) {
    if (word == "idle")
        return PresenceStatus::Idle;
    if (word == "dnd")
        return PresenceStatus::Dnd;
    if (word == "offline")
        return PresenceStatus::Offline;
    return PresenceStatus::Online;
}

} // namespace chat

namespace chat::doc {

namespace {

std::string str_or_empty(const Document& doc, const ObjId& map, std::string_view key) {
    return read_str(doc, map, key).value_or(std::string());
}

uint32_t order_of(const Document& doc, const ObjId& map) {
    return low32(read_int(doc, map, "order").value_or(0));
}

// Runs `read` over every map-valued entry of the root map `root_key`, in key order.
template <typename Entry, typename Read>
std::vector<Entry> read_root_maps(const Document& doc, const std::optional<ObjId>& root, Read read) {
    std::vector<Entry> out;
    if (!root)
        return out;
    for (auto& [key, value] : doc.entries(*root)) {
        if (value.is(crdt::ObjType::Map))
            out.push_back(read(key, value.id));
    }
    return out;
}

template <typename Entry> void sort_by_order(std::vector<Entry>& entries) {
    std::stable_sort(entries.begin(), entries.end(),
                     [](const Entry& a, const Entry& b) { return a.order < b.order; });
}

std::optional<Attachment> read_attachment(const Document& doc, const ObjId& message) {
    auto a = find_map(doc, message, "attachment");
    if (!a)
        return std::nullopt;
    std::string blob = str_or_empty(doc, *a, "blob");
    if (blob.empty())
        blob = str_or_empty(doc, *a, "path");
    std::string name = str_or_empty(doc, *a, "name");
    auto kind = read_str(doc, *a, "kind");
    auto dim = [&](std::string_view key) { return low32(read_int(doc, *a, key).value_or(0)); };
    auto size = [&] { return static_cast<uint64_t>(read_int(doc, *a, "size").value_or(0)); };
    if (kind == "image")
        return Attachment{Attachment::Image{.name = name, .blob = blob, .w = dim("w"), .h = dim("h")}};
    if (kind == "video")
        return Attachment{
            Attachment::Video{.name = name, .blob = blob, .w = dim("w"), .h = dim("h"), .size = size()}};
    if (kind == "file")
        return Attachment{Attachment::File{.name = name, .blob = blob, .size = size()}};
    return std::nullopt;
}

std::vector<ReactionGroup> read_reactions(const Document& doc, const ObjId& message) {
    std::vector<ReactionGroup> groups; // in first-seen order until sorted
    auto list = find_list(doc, message, "reactions");
    if (!list)
        return groups;
    size_t n = doc.length(*list);
    for (size_t i = 0; i < n; ++i) {
        auto entry = map_at(doc, *list, i);
        if (!entry)
            continue;
        std::string emoji = str_or_empty(doc, *entry, "emoji");
        if (emoji.empty())
            continue;
        std::string user = str_or_empty(doc, *entry, "user");
        auto group =
            std::find_if(groups.begin(), groups.end(), [&](const auto& g) { return g.emoji == emoji; });
        if (group == groups.end()) {
            groups.push_back(ReactionGroup{.emoji = std::move(emoji), .users = {std::move(user)}});
        } else if (std::find(group->users.begin(), group->users.end(), user) == group->users.end()) {
            group->users.push_back(std::move(user));
        }
    }
    std::stable_sort(groups.begin(), groups.end(), [](const ReactionGroup& a, const ReactionGroup& b) {
        if (a.users.size() != b.users.size())
            return a.users.size() > b.users.size();
        return a.emoji < b.emoji;
    });
    return groups;
}

std::vector<Mention> read_mentions(const Document& doc, const ObjId& message) {
    std::vector<Mention> mentions;
    auto list = find_list(doc, message, "mentions");
    if (!list)
        return mentions;
    size_t n = doc.length(*list);
    for (size_t i = 0; i < n; ++i) {
        auto entry = map_at(doc, *list, i);
        if (!entry)
            continue;
        std::string user = str_or_empty(doc, *entry, "user");
        if (user.empty())
            continue;
        auto floored = [&](std::string_view key) {
            return static_cast<uint64_t>(std::max<int64_t>(read_int(doc, *entry, key).value_or(0), 0));
        };
        mentions.push_back(Mention{.user = std::move(user),
                                   .start = floored("start"),
                                   .len = floored("len"),
                                   .is_agent = read_bool(doc, *entry, "agent")});
    }
    return mentions;
}

std::vector<HistoryEntry> read_history(const Document& doc, const ObjId& message) {
    std::vector<HistoryEntry> history;
    auto list = find_list(doc, message, "history");
    if (!list)
        return history;
    size_t n = doc.length(*list);
    for (size_t i = 0; i < n; ++i) {
        if (auto entry = map_at(doc, *list, i)) {
            history.push_back(HistoryEntry{.text = str_or_empty(doc, *entry, "text"),
                                           .ts = read_int(doc, *entry, "ts").value_or(0)});
        }
    }
    return history;
}

MessageView read_message(const Document& doc, std::string_view channel, const ObjId& m) {
    MessageView view;
    view.id = str_or_empty(doc, m, "id");
    view.channel = std::string(channel);
    view.author = str_or_empty(doc, m, "author");
    view.ts = read_int(doc, m, "ts").value_or(0);
    view.text = read_text(doc, m, "text").value_or(std::string());
    view.edited = read_bool(doc, m, "edited");
    view.history = read_history(doc, m);
    if (std::string parent = str_or_empty(doc, m, "parent"); !parent.empty())
        view.parent = std::move(parent);
    view.reactions = read_reactions(doc, m);
    view.mentions = read_mentions(doc, m);
    if (auto reference = read_str(doc, m, "reference"); reference && !reference->empty()) {
        if (auto ref = decode_json<ResourceRef>(*reference))
            view.reference = ref.release_value();
    }
    view.attachment = read_attachment(doc, m);
    view.work = read_agent_work(doc, m);
    view.pinned = read_bool(doc, m, "pinned");
    return view;
}

std::optional<ObjId> channel_list(const Document& doc, std::string_view channel) {
    return find_list(doc, find_map(doc, kRoot, "messages"), channel);
}

} // namespace

std::vector<WorkspaceEntry> list_workspaces(const Document& doc) {
    auto out = read_root_maps<WorkspaceEntry>(doc, find_map(doc, kRoot, "workspaces"),
                                              [&](const std::string& key, const ObjId& m) {
                                                  return WorkspaceEntry{
                                                      .id = key,
                                                      .name = str_or_empty(doc, m, "name"),
                                                      .glyph = str_or_empty(doc, m, "glyph"),
                                                      .color_idx = read_int(doc, m, "color_idx").value_or(0),
                                                      .order = order_of(doc, m),
                                                  };
                                              });
    sort_by_order(out);
    return out;
}

std::vector<CategoryEntry> list_categories(const Document& doc) {
    auto out = read_root_maps<CategoryEntry>(doc, find_map(doc, kRoot, "categories"),
                                             [&](const std::string& key, const ObjId& m) {
                                                 return CategoryEntry{
                                                     .id = key,
                                                     .workspace = str_or_empty(doc, m, "workspace"),
                                                     .name = str_or_empty(doc, m, "name"),
                                                     .order = order_of(doc, m),
                                                     .collapsed = read_bool(doc, m, "collapsed"),
                                                 };
                                             });
    sort_by_order(out);
    return out;
}

std::vector<ChannelEntry> list_channels(const Document& doc) {
    auto out = read_root_maps<ChannelEntry>(doc, find_map(doc, kRoot, "channels"),
                                            [&](const std::string& key, const ObjId& m) {
                                                return ChannelEntry{
                                                    .id = key,
                                                    .workspace = str_or_empty(doc, m, "workspace"),
                                                    .category = str_or_empty(doc, m, "category"),
                                                    .name = str_or_empty(doc, m, "name"),
                                                    .topic = str_or_empty(doc, m, "topic"),
                                                    .order = order_of(doc, m),
                                                    .unread = 0,
                                                    .voice = read_str(doc, m, "kind") == "voice",
                                                    .archived = read_bool(doc, m, "archived"),
                                                };
                                            });
    sort_by_order(out);
    return out;
}

std::vector<PersonEntry> list_people(const Document& doc) {
    return read_root_maps<PersonEntry>(doc, find_map(doc, kRoot, "users"),
                                       [&](const std::string& key, const ObjId& m) {
                                           return PersonEntry{
                                               .id = key,
                                               .name = str_or_empty(doc, m, "name"),
                                               .initials = str_or_empty(doc, m, "initials"),
                                               .color_idx = read_int(doc, m, "color_idx").value_or(0),
                                               .status = parse_presence(str_or_empty(doc, m, "status")),
                                               .agent = read_bool(doc, m, "agent"),
                                           };
                                       });
}

std::vector<CallParticipant> call_participants(const Document& doc, std::string_view channel) {
    auto out = read_root_maps<CallParticipant>(doc, find_map(doc, find_map(doc, kRoot, "voice"), channel),
                                               [&](const std::string& key, const ObjId& m) {
                                                   CallParticipant p{
                                                       .user = key,
                                                       .ticket = std::nullopt,
                                                       .talking = read_bool(doc, m, "talking"),
                                                       .muted = read_bool(doc, m, "muted"),
                                                       .deafened = read_bool(doc, m, "deafened"),
                                                       .audio_only = read_bool(doc, m, "audio_only"),
                                                       .sharing = read_bool(doc, m, "sharing"),
                                                   };
                                                   if (auto ticket = read_str(doc, m, "ticket");
                                                       ticket && !ticket->empty())
                                                       p.ticket = std::move(*ticket);
                                                   return p;
                                               });
    std::stable_sort(out.begin(), out.end(), [](const CallParticipant& a, const CallParticipant& b) {
        if (a.talking != b.talking)
            return a.talking;
        return a.user < b.user;
    });
    return out;
}

std::vector<MessageView> read_messages(const Document& doc, std::string_view channel) {
    std::vector<MessageView> out;
    auto list = channel_list(doc, channel);
    if (!list)
        return out;
    size_t n = doc.length(*list);
    out.reserve(n);
    for (size_t i = 0; i < n; ++i) {
        if (auto m = map_at(doc, *list, i))
            out.push_back(read_message(doc, channel, *m));
    }
    return out;
}

size_t top_level_count(const Document& doc, std::string_view channel) {
    // Counts what read_messages would return without a parent, without
    // building the views.
    auto list = channel_list(doc, channel);
    if (!list)
        return 0;
    size_t n = doc.length(*list);
    size_t count = 0;
    for (size_t i = 0; i < n; ++i) {
        if (auto m = map_at(doc, *list, i); m && read_str(doc, *m, "parent").value_or("").empty())
            ++count;
    }
    return count;
}

int64_t read_marker(const Document& doc, std::string_view channel, std::string_view person) {
    auto markers = find_map(doc, find_map(doc, kRoot, "read"), person);
    if (!markers)
        return 0;
    return read_int(doc, *markers, channel).value_or(0);
}

uint32_t unread_count(const Document& doc, std::string_view channel, std::string_view person) {
    auto top = static_cast<int64_t>(top_level_count(doc, channel));
    int64_t marker = read_marker(doc, channel, person);
    // A marker of INT64_MIN would overflow the subtraction; anything at or
    // below zero means nothing was read.
    int64_t unread = marker <= 0 ? top : (marker >= top ? 0 : top - marker);
    return low32(unread);
}

std::optional<std::string> draft_text(const Document& doc, std::string_view key) {
    auto drafts = find_map(doc, kRoot, "drafts");
    if (!drafts)
        return std::nullopt;
    return read_text(doc, *drafts, key);
}

} // namespace chat::doc
