#include "actions/perform.h"

#include "actions/action_json.h"
#include "actions/action_specs.h"
#include "doc/readers.h"

#include <algorithm>

namespace chat {

using kavu::actions::OperationType;

namespace {

const ChannelEntry* channel_in(const ViewState& view, std::string_view workspace, std::string_view channel) {
    const ChannelEntry* c = view.find_channel(channel);
    return c && c->workspace == workspace ? c : nullptr;
}

// The state every plain navigation lands in.
void settle(NavigationTarget& t, std::string workspace, std::string channel) {
    t.selection.workspace = std::move(workspace);
    t.selection.channel = std::move(channel);
    t.selection.thread.reset();
    t.selection.reveal.reset();
    t.selection.focused_person.reset();
    t.flags.inbox_view = false;
    t.flags.reveal_pending = false;
    t.flags.thread_shown = false;
    t.flags.read_marking = true;
}

bool involves(const MessageView& m, std::string_view person) {
    if (m.author == person)
        return true;
    for (const Mention& mention : m.mentions)
        if (mention.user == person)
            return true;
    for (const ReactionGroup& g : m.reactions)
        if (std::find(g.users.begin(), g.users.end(), person) != g.users.end())
            return true;
    return false;
}

// The first channel, in list order, where the person wrote, was mentioned or
// reacted.
const ChannelEntry* channel_involving(const PerformContext& ctx, std::string_view person) {
    for (const ChannelEntry& c : ctx.view.channels) {
        std::vector<MessageView> fetched;
        if (ctx.doc)
            fetched = doc::read_messages(*ctx.doc, c.id);
        const std::vector<MessageView>& messages = ctx.doc ? fetched : ctx.view.messages;
        for (const MessageView& m : messages)
            if (m.channel == c.id && involves(m, person))
                return &c;
    }
    return nullptr;
}

struct Performer {
    const PerformContext& ctx;
    NavigationTarget& t;

    PerformResult operator()(const ChatOperation::OpenWorkspace& op) {
        if (!ctx.view.find_workspace(op.workspace))
            return PerformResult::failed("workspace no longer exists");
        settle(t, op.workspace, "");
        return PerformResult::done();
    }

    PerformResult operator()(const ChatOperation::OpenChannel& op) {
        if (!channel_in(ctx.view, op.workspace, op.channel))
            return PerformResult::failed("conversation no longer exists");
        settle(t, op.workspace, op.channel);
        return PerformResult::done();
    }

    PerformResult operator()(const ChatOperation::OpenCategory& op) {
        const CategoryEntry* category = ctx.view.find_category(op.category);
        if (!category || category->workspace != op.workspace)
            return PerformResult::failed("category no longer exists");
        std::string first;
        for (const ChannelEntry& c : ctx.view.channels)
            if (c.workspace == op.workspace && c.category == op.category) {
                first = c.id;
                break;
            }
        settle(t, op.workspace, std::move(first));
        return PerformResult::done();
    }

    PerformResult operator()(const ChatOperation::RevealMessage& op) {
        if (!channel_in(ctx.view, op.workspace, op.channel))
            return PerformResult::failed("conversation no longer exists");
        bool found = false;
        if (op.channel == t.selection.channel || !ctx.doc) {
            const MessageView* m = ctx.view.find_message(op.message);
            found = m && m->channel == op.channel;
        } else {
            for (const MessageView& m : doc::read_messages(*ctx.doc, op.channel))
                found = found || m.id == op.message;
        }
        if (!found)
            return PerformResult::failed("message no longer exists");
        t.selection.workspace = op.workspace;
        t.selection.channel = op.channel;
        t.flags.inbox_view = false;
        t.selection.thread = op.parent;
        t.flags.thread_shown = op.parent.has_value();
        t.selection.reveal = op.message;
        t.flags.reveal_pending = true;
        t.selection.focused_person.reset();
        // Revealing shows a message without claiming it was read.
        t.flags.read_marking = false;
        if (op.parent)
            t.open_right_panel = true;
        return PerformResult::done();
    }

    PerformResult operator()(const ChatOperation::OpenPerson& op) {
        if (!ctx.view.find_user(op.user))
            return PerformResult::failed("person no longer exists");
        if (!ctx.view.find_person(op.user)) {
            if (const ChannelEntry* c = channel_involving(ctx, op.user)) {
                t.selection.workspace = c->workspace;
                t.selection.channel = c->id;
            }
        }
        t.flags.inbox_view = false;
        t.selection.thread.reset();
        t.selection.reveal.reset();
        t.flags.thread_shown = false;
        t.selection.focused_person = op.user;
        t.open_right_panel = true;
        return PerformResult::done();
    }

    PerformResult operator()(const ChatOperation::ImportAttachment& op) {
        if (op.path.empty())
            return PerformResult::failed("attachment path is empty");
        if (!ctx.view.find_channel(op.channel))
            return PerformResult::failed("conversation no longer exists");
        if (!ctx.start_import || !ctx.start_import(op.channel, op.path))
            return PerformResult::failed("attachment import was not accepted");
        return PerformResult::done();
    }
};

} // namespace

PerformResult perform_decoded(const ChatOperation& operation, const PerformContext& context,
                              NavigationTarget& target) {
    // Work on copies so that a failure leaves everything as it was.
    Selection selection = target.selection;
    NavigationFlags flags = target.flags;
    NavigationTarget scratch{selection, flags};
    PerformResult result = std::visit(Performer{context, scratch}, operation.value);
    if (result.status == PerformStatus::Done) {
        target.selection = std::move(selection);
        target.flags = flags;
        target.open_right_panel = target.open_right_panel || scratch.open_right_panel;
    }
    return result;
}

PerformResult perform_operation(OperationType type, std::string_view kind, std::string_view payload,
                                const PerformContext& context, NavigationTarget& target) {
    auto decoded = decode_operation(kind, payload);
    if (!decoded)
        return PerformResult::not_handled();
    if (!*decoded)
        return PerformResult::failed(decoded->error_text());
    const ChatOperation& operation = decoded->value();
    if (declared_type(operation) == OperationType::Effect) {
        if (type != OperationType::Effect)
            return PerformResult::failed("attachment import requires an Effect operation");
    } else if (type == OperationType::Effect) {
        return PerformResult::failed("Chat navigation requires a View operation");
    } else if (type != OperationType::View) {
        return PerformResult::not_handled();
    }
    return perform_decoded(operation, context, target);
}

} // namespace chat
