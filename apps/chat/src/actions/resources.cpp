#include "actions/resources.h"

#include "actions/action_json.h"
#include "actions/action_specs.h"
#include "actions/fresh_id.h"
#include "call/call_resource.h"
#include "doc/readers.h"

#include <kavu_actions/action_address.h>

#include <algorithm>
#include <chrono>

namespace chat {

using kavu::actions::ActionAddress;
using kavu::actions::ActionSpec;
using kavu::actions::OperationType;
using kavu::actions::Resource;
using kavu::actions::TextParameter;

namespace {

std::string_view trim(std::string_view s) {
    constexpr std::string_view kSpace = " \t\n\r\f\v";
    size_t b = s.find_first_not_of(kSpace);
    if (b == std::string_view::npos)
        return {};
    size_t e = s.find_last_not_of(kSpace);
    return s.substr(b, e - b + 1);
}

// The first `n` code points of UTF-8 text.
std::string_view first_chars(std::string_view s, size_t n) {
    size_t i = 0;
    for (size_t count = 0; i < s.size() && count < n; ++count) {
        ++i;
        while (i < s.size() && (static_cast<unsigned char>(s[i]) & 0xC0) == 0x80)
            ++i;
    }
    return s.substr(0, i);
}

ActionAddress address_of(std::string_view kind, std::string_view id) {
    return ActionAddress{std::string(kind), std::string(id)};
}

int64_t clock_now(const std::function<int64_t()>& clock) {
    if (clock)
        return clock();
    auto secs =
        std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch())
            .count();
    return std::max<int64_t>(0, secs);
}

// A spec whose ChatAction is built from the trimmed parameter text.
ActionSpec text_action(std::string id, std::string label, TextParameter parameter,
                       std::function<ChatAction(std::string_view)> build) {
    return ActionSpec::with_text(
        std::move(id), std::move(label), std::move(parameter), std::string(kActionKind), std::nullopt,
        [build = std::move(build)](std::string_view text) { return payload_json(build(trim(text))); });
}

std::string person_name(const ResourceContext& ctx, std::string_view id) {
    if (const PersonEntry* p = ctx.view.find_user(id))
        return p->name;
    return std::string(id);
}

std::string workspace_of(const ResourceContext& ctx, std::string_view channel) {
    const ChannelEntry* c = ctx.view.find_channel(channel);
    return c ? c->workspace : std::string();
}

int64_t top_level_count(const ResourceContext& ctx, std::string_view channel) {
    if (ctx.doc)
        return static_cast<int64_t>(doc::top_level_count(*ctx.doc, channel));
    if (channel != ctx.current_channel)
        return 0;
    return std::count_if(ctx.view.messages.begin(), ctx.view.messages.end(),
                         [](const MessageView& m) { return !m.parent; });
}

// A message and the channel it is in, looked up in the view state first.
std::optional<MessageView> lookup_message(const ResourceContext& ctx, std::string_view id) {
    if (const MessageView* m = ctx.view.find_message(id))
        return *m;
    if (!ctx.doc)
        return std::nullopt;
    for (const ChannelEntry& c : ctx.view.channels) {
        if (c.id == ctx.current_channel)
            continue;
        for (MessageView& m : doc::read_messages(*ctx.doc, c.id))
            if (m.id == id)
                return std::move(m);
    }
    return std::nullopt;
}

std::string workspace_title(const WorkspaceEntry& w) {
    return trim(w.name).empty() ? std::string("Workspace") : w.name;
}

std::string message_title(const ResourceContext& ctx, const MessageView& m) {
    std::string body(first_chars(trim(m.text), 72));
    if (trim(body).empty())
        body = m.attachment ? m.attachment->name() : std::string("Attachment");
    return person_name(ctx, m.author) + ": " + body;
}

ActionSpec open_operation(std::string label, ChatOperation op) {
    return operation_spec("open", std::move(label), op);
}

Resource workspace_resource(const ResourceContext& ctx, const WorkspaceEntry& w, bool reduced) {
    Resource r(address_of(kWorkspaceKind, w.id), workspace_title(w));
    r.with_type_label("Workspace");
    r.with_action(open_operation("Open workspace", {ChatOperation::OpenWorkspace{.workspace = w.id}}));
    if (reduced)
        return r;
    std::string ws = w.id;
    r.with_action(
        text_action("new-channel", "New channel", {"Name", "channel name…"}, [ws](std::string_view t) {
            return ChatAction{ChatAction::CreateChannel{.workspace = ws,
                                                        .category = "",
                                                        .id = fresh_id("c_"),
                                                        .name = t.empty() ? "new-channel" : std::string(t),
                                                        .kind = ChannelKind::Text}};
        }));
    r.with_action(
        text_action("new-category", "New category", {"Name", "category name…"}, [ws](std::string_view t) {
            return ChatAction{
                ChatAction::CreateCategory{.workspace = ws,
                                           .id = fresh_id("cat_"),
                                           .name = t.empty() ? "New Category" : std::string(t)}};
        }));
    return r;
}

Resource call_resource(const ResourceContext& ctx, const ChannelEntry& c) {
    Resource r(address_of(kCallKind, c.id), "Call: " + channel_title(c));
    if (!ctx.doc) {
        r.with_action(
            operation_spec("open", "Open call conversation",
                           {ChatOperation::OpenChannel{.workspace = c.workspace, .channel = c.id}}));
        return r;
    }
    for (const CallResourceAction& a : call_resource_actions(*ctx.doc, c.id, ctx.local_person)) {
        if (const auto* op = std::get_if<ChatOperation>(&a.produces))
            r.with_action(operation_spec(a.id, a.label, *op));
        else
            r.with_action(action_spec(a.id, a.label, std::get<ChatAction>(a.produces)));
    }
    return r;
}

Resource channel_resource(const ResourceContext& ctx, const ChannelEntry& c, bool reduced) {
    Resource r(address_of(kChannelKind, c.id), channel_title(c));
    r.with_action(open_operation("Open conversation",
                                 {ChatOperation::OpenChannel{.workspace = c.workspace, .channel = c.id}}));
    if (reduced)
        return r;
    std::string id = c.id;
    std::string author = ctx.local_person;
    std::vector<MentionCandidate> people = ctx.mention_people;
    std::function<int64_t()> clock = ctx.clock;
    r.with_action(text_action("post", "Post message", {"Message", "type a message…"},
                              [id, author, people, clock](std::string_view t) {
                                  int64_t now = clock_now(clock);
                                  return ChatAction{
                                      ChatAction::SendMessage{.channel = id,
                                                              .id = fresh_id("m_"),
                                                              .author = author,
                                                              .ts = now,
                                                              .text = std::string(t),
                                                              .mentions = find_mentions(t, people)}};
                              }));
    r.with_action(ActionSpec::with_text(
        "attach", "Attach file", {"File path", "/var/workspace/report.pdf"}, std::string(kOperationKind),
        OperationType::Effect, [id](std::string_view t) {
            return payload_json(
                ChatOperation{ChatOperation::ImportAttachment{.channel = id, .path = std::string(trim(t))}});
        }));
    r.with_action(
        text_action("rename", "Rename channel", {"Name", "channel name…"}, [id](std::string_view t) {
            return ChatAction{ChatAction::RenameChannel{.id = id, .name = std::string(t)}};
        }));
    r.with_action(action_spec(c.archived ? "unarchive" : "archive",
                              c.archived ? "Unarchive channel" : "Archive channel",
                              {ChatAction::ArchiveChannel{.id = c.id, .archived = !c.archived}}));
    r.with_action(
        action_spec("mark-read", "Mark as read",
                    {ChatAction::MarkRead{
                        .channel = c.id, .user = ctx.local_person, .count = top_level_count(ctx, c.id)}}));
    r.with_action(action_spec("delete", "Delete channel", {ChatAction::DeleteChannel{.id = c.id}}));
    if (c.voice)
        r.with_child(call_resource(ctx, c));
    return r;
}

Resource category_resource(const CategoryEntry& c, bool reduced) {
    Resource r(address_of(kCategoryKind, c.id), c.name);
    r.with_action(open_operation("Open category",
                                 {ChatOperation::OpenCategory{.workspace = c.workspace, .category = c.id}}));
    if (reduced)
        return r;
    std::string id = c.id;
    r.with_action(
        text_action("rename", "Rename category", {"Name", "category name…"}, [id](std::string_view t) {
            return ChatAction{ChatAction::RenameCategory{.id = id, .name = std::string(t)}};
        }));
    r.with_action(action_spec(c.collapsed ? "expand" : "collapse",
                              c.collapsed ? "Expand category" : "Collapse category",
                              {ChatAction::SetCategoryCollapsed{.id = c.id, .collapsed = !c.collapsed}}));
    r.with_action(action_spec("delete", "Delete category", {ChatAction::DeleteCategory{.id = c.id}}));
    return r;
}

Resource person_resource(const PersonEntry& p) {
    Resource r(address_of(kPersonKind, p.id), p.name);
    r.with_action(open_operation("Open person", {ChatOperation::OpenPerson{.user = p.id}}));
    return r;
}

ChatOperation reveal(const ResourceContext& ctx, const MessageView& m) {
    return {ChatOperation::RevealMessage{.workspace = workspace_of(ctx, m.channel),
                                         .channel = m.channel,
                                         .message = m.id,
                                         .parent = m.parent}};
}

Resource attachment_resource(const ResourceContext& ctx, const MessageView& m) {
    Resource r(address_of(kAttachmentKind, m.id),
               m.attachment ? m.attachment->name() : std::string("Attachment"));
    r.with_action(operation_spec("open-message", "Reveal shared message", reveal(ctx, m)));
    return r;
}

Resource reaction_resource(const ResourceContext& ctx, const MessageView& m, const ReactionGroup& g) {
    Resource r(address_of(kReactionKind, m.id + ":" + g.emoji),
               g.emoji + " · " + std::to_string(g.users.size()));
    r.with_action(operation_spec("open-message", "Reveal message", reveal(ctx, m)));
    bool mine = std::find(g.users.begin(), g.users.end(), ctx.local_person) != g.users.end();
    if (mine)
        r.with_action(
            action_spec("remove", "Remove my reaction",
                        {ChatAction::RemoveReaction{
                            .channel = m.channel, .msg = m.id, .emoji = g.emoji, .user = ctx.local_person}}));
    else
        r.with_action(
            action_spec("add", "Add my reaction",
                        {ChatAction::AddReaction{
                            .channel = m.channel, .msg = m.id, .emoji = g.emoji, .user = ctx.local_person}}));
    return r;
}

Resource message_resource(const ResourceContext& ctx, const MessageView& m, bool reduced) {
    Resource r(address_of(kMessageKind, m.id), message_title(ctx, m));
    r.with_action(operation_spec("open", "Reveal message", reveal(ctx, m)));
    if (reduced)
        return r;
    std::string channel = m.channel, id = m.id, user = ctx.local_person;
    r.with_action(text_action("edit", "Edit message", {"Message", "new text…"},
                              [channel, id, clock = ctx.clock](std::string_view t) {
                                  int64_t now = clock_now(clock);
                                  return ChatAction{ChatAction::EditMessage{
                                      .channel = channel, .id = id, .text = std::string(t), .ts = now}};
                              }));
    r.with_action(
        text_action("react", "Add reaction", {"Emoji", "👍"}, [channel, id, user](std::string_view t) {
            return ChatAction{ChatAction::AddReaction{
                .channel = channel, .msg = id, .emoji = std::string(t), .user = user}};
        }));
    r.with_action(
        action_spec(m.pinned ? "unpin" : "pin", m.pinned ? "Unpin message" : "Pin message",
                    {ChatAction::PinMessage{.channel = m.channel, .msg = m.id, .pinned = !m.pinned}}));
    r.with_action(action_spec("delete", "Delete message",
                              {ChatAction::DeleteMessage{.channel = m.channel, .id = m.id}}));
    if (m.attachment)
        r.with_child(attachment_resource(ctx, m));
    for (const ReactionGroup& g : m.reactions)
        r.with_child(reaction_resource(ctx, m, g));
    return r;
}

Resource people_resource(const ResourceContext& ctx) {
    Resource r(address_of(kPeopleKind, ""), "People");
    for (const PersonEntry& p : ctx.view.users)
        r.with_child(person_resource(p));
    return r;
}

std::optional<Resource> build(const ResourceContext& ctx, std::string_view address, bool reduced) {
    auto parsed = ActionAddress::parse(address);
    if (!parsed)
        return std::nullopt;
    const std::string& kind = parsed->kind;
    const std::string& id = parsed->id;
    if (kind == kWorkspaceKind) {
        if (const WorkspaceEntry* w = ctx.view.find_workspace(id))
            return workspace_resource(ctx, *w, reduced);
    } else if (kind == kChannelKind) {
        if (const ChannelEntry* c = ctx.view.find_channel(id))
            return channel_resource(ctx, *c, reduced);
    } else if (kind == kCategoryKind) {
        if (const CategoryEntry* c = ctx.view.find_category(id))
            return category_resource(*c, reduced);
    } else if (kind == kPersonKind) {
        if (const PersonEntry* p = ctx.view.find_user(id))
            return person_resource(*p);
    } else if (kind == kMessageKind) {
        if (auto m = lookup_message(ctx, id))
            return message_resource(ctx, *m, reduced);
    } else if (reduced) {
        return std::nullopt;
    } else if (kind == kPeopleKind) {
        return people_resource(ctx);
    } else if (kind == kCallKind) {
        const ChannelEntry* c = ctx.view.find_channel(id);
        if (c && c->voice)
            return call_resource(ctx, *c);
    } else if (kind == kAttachmentKind) {
        auto m = lookup_message(ctx, id);
        if (m && m->attachment)
            return attachment_resource(ctx, *m);
    } else if (kind == kReactionKind) {
        size_t colon = id.find(':');
        if (colon == std::string::npos)
            return std::nullopt;
        std::string_view emoji = std::string_view(id).substr(colon + 1);
        auto m = lookup_message(ctx, std::string_view(id).substr(0, colon));
        if (!m)
            return std::nullopt;
        for (const ReactionGroup& g : m->reactions)
            if (g.emoji == emoji)
                return reaction_resource(ctx, *m, g);
    }
    return std::nullopt;
}

} // namespace

std::string channel_title(const ChannelEntry& channel) {
    std::string_view name = trim(channel.name);
    std::string title = channel.voice ? "🔊 " : "# ";
    title += name.empty() ? std::string_view("channel") : name;
    return title;
}

void mark_destructive(Resource& resource) {
    resource.for_each_action([](ActionSpec& spec) {
        if (spec.id() == "delete")
            spec.destructive();
    });
}

std::vector<Resource> resource_tree(const ResourceContext& ctx) {
    std::vector<Resource> roots;
    for (const WorkspaceEntry& w : ctx.view.workspaces) {
        Resource r = workspace_resource(ctx, w, false);
        for (const ChannelEntry& c : ctx.view.channels)
            if (c.workspace == w.id)
                r.with_child(channel_resource(ctx, c, false));
        for (const CategoryEntry& c : ctx.view.categories)
            if (c.workspace == w.id)
                r.with_child(category_resource(c, false));
        roots.push_back(std::move(r));
    }
    roots.push_back(people_resource(ctx));
    for (Resource& r : roots)
        mark_destructive(r);
    return roots;
}

std::optional<Resource> resource_by_address(const ResourceContext& context, std::string_view address) {
    auto r = build(context, address, false);
    if (r)
        mark_destructive(*r);
    return r;
}

std::optional<Resource> search_resource(const ResourceContext& context, std::string_view address) {
    return build(context, address, true);
}

nlohmann::json resource_json(const Resource& resource) {
    nlohmann::json actions = nlohmann::json::array();
    for (const ActionSpec& spec : resource.actions()) {
        nlohmann::json a = {{"id", spec.id()},
                            {"label", spec.label()},
                            {"kind", spec.kind()},
                            {"destructive", spec.is_destructive()}};
        a["operation"] = spec.operation_type()
                             ? nlohmann::json(std::string(to_string(*spec.operation_type())))
                             : nlohmann::json(nullptr);
        a["parameter"] = spec.parameter() ? nlohmann::json{{"label", spec.parameter()->label},
                                                           {"placeholder", spec.parameter()->placeholder}}
                                          : nlohmann::json(nullptr);
        a["payload"] = spec.payload();
        actions.push_back(std::move(a));
    }
    nlohmann::json children = nlohmann::json::array();
    for (const Resource& child : resource.children())
        children.push_back(resource_json(child));
    return {{"address", resource.address().encode()},
            {"kind", resource.kind()},
            {"title", resource.title()},
            {"type_label",
             resource.type_label() ? nlohmann::json(*resource.type_label()) : nlohmann::json(nullptr)},
            {"actions", std::move(actions)},
            {"children", std::move(children)}};
}

} // namespace chat
