#include "ctl/view_json.h"

namespace chat {

namespace {

template <typename T> OrderedJson optional_json(const std::optional<T>& value) {
    return value ? OrderedJson(to_json(*value)) : OrderedJson(nullptr);
}

OrderedJson optional_json(const std::optional<std::string>& value) {
    return value ? OrderedJson(*value) : OrderedJson(nullptr);
}

template <typename T> OrderedJson array_json(const std::vector<T>& values) {
    OrderedJson array = OrderedJson::array();
    for (const T& v : values)
        array.push_back(to_json(v));
    return array;
}

} // namespace

OrderedJson to_json(const WorkspaceEntry& e) {
    return OrderedJson{
        {"id", e.id}, {"name", e.name}, {"glyph", e.glyph}, {"color_idx", e.color_idx}, {"order", e.order}};
}

OrderedJson to_json(const CategoryEntry& e) {
    return OrderedJson{{"id", e.id},
                       {"workspace", e.workspace},
                       {"name", e.name},
                       {"order", e.order},
                       {"collapsed", e.collapsed}};
}

OrderedJson to_json(const ChannelEntry& e) {
    return OrderedJson{{"id", e.id},         {"workspace", e.workspace}, {"category", e.category},
                       {"name", e.name},     {"topic", e.topic},         {"order", e.order},
                       {"unread", e.unread}, {"voice", e.voice},         {"archived", e.archived}};
}

OrderedJson to_json(const PersonEntry& e) {
    return OrderedJson{{"id", e.id},
                       {"name", e.name},
                       {"initials", e.initials},
                       {"color_idx", e.color_idx},
                       {"status", std::string(presence_word(e.status))},
                       {"agent", e.agent}};
}

OrderedJson to_json(const CallParticipant& p) {
    return OrderedJson{{"user", p.user},         {"ticket", optional_json(p.ticket)},
                       {"talking", p.talking},   {"muted", p.muted},
                       {"deafened", p.deafened}, {"audio_only", p.audio_only},
                       {"sharing", p.sharing}};
}

OrderedJson to_json(const HistoryEntry& e) {
    return OrderedJson{{"text", e.text}, {"ts", e.ts}};
}

OrderedJson to_json(const ReactionGroup& g) {
    return OrderedJson{{"emoji", g.emoji}, {"users", g.users}};
}

OrderedJson to_json(const MessageView& m) {
    OrderedJson out = OrderedJson::object();
    out["id"] = m.id;
    out["channel"] = m.channel;
    out["author"] = m.author;
    out["ts"] = m.ts;
    out["text"] = m.text;
    out["edited"] = m.edited;
    out["history"] = array_json(m.history);
    out["parent"] = optional_json(m.parent);
    out["reactions"] = array_json(m.reactions);
    out["mentions"] = array_json(m.mentions);
    out["reference"] = optional_json(m.reference);
    out["attachment"] = optional_json(m.attachment);
    out["work"] = optional_json(m.work);
    out["pinned"] = m.pinned;
    return out;
}

} // namespace chat
