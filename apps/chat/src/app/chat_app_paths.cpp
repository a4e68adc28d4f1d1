// The interface's own paths: selection from the sidebar, sending, inline
// edits and renames, reactions and context-menu items.
#include "app/chat_app.h"

#include "actions/fresh_id.h"
#include "actions/mentions.h"
#include "doc/readers.h"
#include "doc/schema.h"
#include "doc/writers.h"

#include <algorithm>
#include <charconv>

namespace chat::app {

namespace ui = kavu::ui;

namespace {

std::string_view trim(std::string_view s) {
    constexpr std::string_view kSpace = " \t\n\r\f\v";
    size_t b = s.find_first_not_of(kSpace);
    if (b == std::string_view::npos)
        return {};
    size_t e = s.find_last_not_of(kSpace);
    return s.substr(b, e - b + 1);
}

} // namespace

// ---- Selection ----

void ChatApp::close_thread() {
    m_selection.thread.reset();
    m_nav.thread_shown = false;
    m_composers.thread_focus = false;
}

void ChatApp::reset_message_list() {
    m_ui.scroll_offset = 0;
    m_ui.content_height = 0;
}

void ChatApp::select_inbox() {
    m_nav.inbox_view = true;
    close_thread();
    refresh();
}

void ChatApp::select_current_context() {
    m_nav.inbox_view = false;
    if (m_selection.workspace != m_selection.context_workspace) {
        m_selection.workspace = m_selection.context_workspace;
        close_thread();
        reset_message_list();
        m_nav.read_marking = true;
        // Empty, so that the refresh picks the workspace's first channel.
        m_selection.channel.clear();
    }
    refresh();
}

void ChatApp::select_channel(std::string_view channel) {
    const ChannelEntry* entry = m_view.find_channel(channel);
    if (entry && entry->voice) {
        m_call->join_call(channel);
        refresh();
        return;
    }
    if (entry)
        m_selection.workspace = entry->workspace;
    m_selection.channel = std::string(channel);
    close_thread();
    reset_message_list();
    m_nav.read_marking = true;
    if (m_ui.narrow_layout)
        m_ui.left_open_override = false;
    refresh();
    mark_current_channel_read();
}

void ChatApp::select_voice_channel(std::string_view channel) {
    m_call->join_call(channel);
    refresh();
}

// ---- Sending and drafts ----

bool ChatApp::writing_permitted() const {
    return m_permissions.check(ui::Permission::WriteDocument);
}

void ChatApp::store_draft(bool thread_composer, std::string_view text) {
    if (!m_doc || m_selection.channel.empty())
        return;
    if (thread_composer) {
        if (m_selection.thread)
            doc::set_draft(*m_doc, doc::thread_draft_key(m_selection.channel, *m_selection.thread), text);
    } else {
        doc::set_draft(*m_doc, m_selection.channel, text);
    }
}

void ChatApp::send_from_composer() {
    if (!writing_permitted() || !m_doc || m_selection.channel.empty())
        return;
    bool from_thread = m_composers.thread_focus && m_selection.thread.has_value();
    std::string key =
        from_thread ? doc::thread_draft_key(m_selection.channel, *m_selection.thread) : m_selection.channel;
    std::optional<std::string> draft = doc::draft_text(*m_doc, key);
    if (!draft || trim(*draft).empty())
        return;
    ChatAction::SendMessage send{.channel = m_selection.channel,
                                 .id = fresh_id("m_"),
                                 .author = m_identity.id,
                                 .ts = interface_now(),
                                 .text = *draft,
                                 .parent = from_thread ? m_selection.thread : std::nullopt,
                                 .mentions = find_mentions(*draft, mention_candidates())};
    dispatch(ChatAction{std::move(send)});
    doc::clear_draft(*m_doc, key);
    if (!from_thread) {
        m_ui.scroll_offset = 0;
        m_nav.read_marking = true;
    }
    refresh();
}

// ---- Inline edit ----

void ChatApp::close_popups_for_edit() {
    m_ui.menu.close();
    m_ui.menu_subject.reset();
    m_ui.emoji_picker_open = false;
    m_ui.emoji_picker_message.reset();
    m_ui.history_popup_message.reset();
}

void ChatApp::start_edit(std::string_view message) {
    if (!writing_permitted())
        return;
    const MessageView* m = m_view.find_message(message);
    if (!m || m->author != m_identity.id)
        return;
    m_composers.editor.set_text(m->text);
    m_composers.editor.set_cursor_pos(m->text.size());
    m_composers.editing = m->id;
    m_composers.editing_channel = m->channel;
    m_composers.thread_focus = false;
    close_popups_for_edit();
}

void ChatApp::save_edit() {
    if (!writing_permitted())
        return;
    std::optional<std::string> message = std::exchange(m_composers.editing, std::nullopt);
    if (!message)
        return;
    std::string text = m_composers.editor.text();
    m_composers.editor.set_text("");
    if (trim(text).empty())
        return;
    // The edit goes to the message's own channel, even when the person
    // navigated elsewhere while editing.
    dispatch(ChatAction{ChatAction::EditMessage{.channel = m_composers.editing_channel,
                                                .id = *message,
                                                .text = std::move(text),
                                                .ts = interface_now()}});
    refresh();
}

// ---- Rename ----

void ChatApp::start_rename(RenameTarget target) {
    std::string name;
    if (target.kind == RenameTarget::Kind::Channel) {
        if (const ChannelEntry* c = m_view.find_channel(target.id))
            name = c->name;
    } else if (const CategoryEntry* c = m_view.find_category(target.id)) {
        name = c->name;
    }
    m_composers.rename.set_text(name);
    m_composers.rename.set_cursor_pos(name.size());
    m_composers.renaming = std::move(target);
}

void ChatApp::rename_key(const ui::Event& event, ui::EventContext& context) {
    ui::TextInputResponse response = m_composers.rename.handle_event(event, context);
    if (!response.submit) {
        // The field's text is not a draft: its change mark is dropped.
        (void)m_composers.rename.take_dirty();
        return;
    }
    commit_rename();
}

void ChatApp::commit_rename() {
    std::optional<RenameTarget> target = std::exchange(m_composers.renaming, std::nullopt);
    if (!target)
        return;
    std::string name(trim(m_composers.rename.text()));
    if (!name.empty()) {
        if (target->kind == RenameTarget::Kind::Channel)
            dispatch(ChatAction{ChatAction::RenameChannel{.id = target->id, .name = std::move(name)}});
        else
            dispatch(ChatAction{ChatAction::RenameCategory{.id = target->id, .name = std::move(name)}});
    }
    m_composers.rename.set_text("");
    refresh();
}

// ---- Reactions ----

void ChatApp::toggle_reaction(std::string_view message, std::string_view emoji) {
    bool mine = false;
    if (const MessageView* m = m_view.find_message(message))
        for (const ReactionGroup& g : m->reactions)
            if (g.emoji == emoji && std::find(g.users.begin(), g.users.end(), m_identity.id) != g.users.end())
                mine = true;
    std::string channel = m_selection.channel;
    if (mine)
        dispatch(ChatAction{ChatAction::RemoveReaction{.channel = channel,
                                                       .msg = std::string(message),
                                                       .emoji = std::string(emoji),
                                                       .user = m_identity.id}});
    else
        dispatch(ChatAction{ChatAction::AddReaction{.channel = channel,
                                                    .msg = std::string(message),
                                                    .emoji = std::string(emoji),
                                                    .user = m_identity.id}});
    refresh();
}

// ---- Creating and context-menu items ----

void ChatApp::create_channel(std::string_view workspace, std::string_view category, ChannelKind kind) {
    std::string id = fresh_id("c_");
    dispatch(
        ChatAction{ChatAction::CreateChannel{.workspace = std::string(workspace),
                                             .category = std::string(category),
                                             .id = id,
                                             .name = kind == ChannelKind::Voice ? "New Voice" : "new-channel",
                                             .kind = kind}});
    refresh();
    start_rename({RenameTarget::Kind::Channel, std::move(id)});
}

void ChatApp::create_category(std::string_view workspace) {
    std::string id = fresh_id("cat_");
    dispatch(ChatAction{
        ChatAction::CreateCategory{.workspace = std::string(workspace), .id = id, .name = "New Category"}});
    refresh();
    start_rename({RenameTarget::Kind::Category, std::move(id)});
}

void ChatApp::open_context_menu(MenuSubject subject, ui::Point at) {
    using enum MenuItem;
    std::vector<MenuItem> items;
    switch (subject.kind) {
    case MenuSubject::Kind::Channel:
        items = {Delete, ArchiveUnarchive, Rename, MoveUp, MoveDown};
        break;
    case MenuSubject::Kind::Category:
        items = {NewTextChannel, NewVoiceChannel, Rename, CollapseExpand, Delete};
        break;
    case MenuSubject::Kind::Message:
        items = {EditMessage, PinUnpin, DeleteMessage};
        break;
    case MenuSubject::Kind::Workspace:
        items = {NewCategory};
        break;
    }
    m_ui.menu.clear();
    for (MenuItem item : items) {
        bool destructive = item == Delete || item == DeleteMessage;
        m_ui.menu.push_keyed(std::to_string(static_cast<int>(item)), std::string(menu_item_label(item)),
                             destructive ? ui::MenuItemStyle::Destructive : ui::MenuItemStyle::Normal);
    }
    if (m_ui.window.is_empty())
        m_ui.menu.open_at(at, m_ui.scale);
    else
        m_ui.menu.open_at_clamped(at, m_ui.window, m_ui.scale);
    m_ui.menu_subject = std::move(subject);
    m_flags.redraw = true;
}

void ChatApp::carry_out_menu_item(const MenuSubject& subject, MenuItem item) {
    const std::string& id = subject.id;
    using Kind = MenuSubject::Kind;
    switch (subject.kind) {
    case Kind::Channel: {
        const ChannelEntry* c = m_view.find_channel(id);
        if (item == MenuItem::Rename) {
            start_rename({RenameTarget::Kind::Channel, id});
        } else if (item == MenuItem::Delete) {
            dispatch(ChatAction{ChatAction::DeleteChannel{.id = id}});
            if (id == m_selection.channel)
                m_selection.channel.clear();
        } else if (item == MenuItem::MoveUp || item == MenuItem::MoveDown) {
            dispatch(ChatAction{ChatAction::ReorderChannel{.id = id, .up = item == MenuItem::MoveUp}});
        } else if (item == MenuItem::ArchiveUnarchive) {
            bool archive = !c || !c->archived;
            dispatch(ChatAction{ChatAction::ArchiveChannel{.id = id, .archived = archive}});
            if (archive && id == m_selection.channel)
                m_selection.channel.clear();
        }
        break;
    }
    case Kind::Category: {
        const CategoryEntry* c = m_view.find_category(id);
        if (item == MenuItem::NewTextChannel || item == MenuItem::NewVoiceChannel) {
            create_channel(m_selection.workspace, id,
                           item == MenuItem::NewVoiceChannel ? ChannelKind::Voice : ChannelKind::Text);
        } else if (item == MenuItem::Rename) {
            start_rename({RenameTarget::Kind::Category, id});
        } else if (item == MenuItem::CollapseExpand) {
            dispatch(
                ChatAction{ChatAction::SetCategoryCollapsed{.id = id, .collapsed = !c || !c->collapsed}});
        } else if (item == MenuItem::Delete) {
            dispatch(ChatAction{ChatAction::DeleteCategory{.id = id}});
        }
        break;
    }
    case Kind::Message: {
        const MessageView* m = m_view.find_message(id);
        if (item == MenuItem::EditMessage) {
            start_edit(id);
        } else if (item == MenuItem::PinUnpin) {
            dispatch(ChatAction{ChatAction::PinMessage{
                .channel = m_selection.channel, .msg = id, .pinned = !m || !m->pinned}});
        } else if (item == MenuItem::DeleteMessage) {
            dispatch(ChatAction{ChatAction::DeleteMessage{.channel = m_selection.channel, .id = id}});
        }
        break;
    }
    case Kind::Workspace:
        if (item == MenuItem::NewCategory)
            create_category(id);
        break;
    }
    refresh();
}

} // namespace chat::app
