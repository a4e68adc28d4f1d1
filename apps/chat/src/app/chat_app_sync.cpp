// The synchronise hook and the view refresh.
#include "app/chat_app.h"

#include "doc/readers.h"
#include "doc/schema.h"
#include "doc/seed.h"
#include "doc/writers.h"

#include <algorithm>
#include <set>

namespace chat::app {

namespace ui = kavu::ui;

void ChatApp::sync(ui::SyncContext& context) {
    m_doc = context.document;

    // 1. A leave asked for while in a call.
    if (m_call->has_pending_leave())
        m_call->run_pending_leave();
    // 2. A call handed over from outside the main view.
    m_call->run_pending_resume();
    // 3. The screen-capture answer arrives through the call controls'
    // screen_capture_answered(); the toolkit offers no request to poll yet.

    if (!m_doc)
        return;
    // 4. Starting content (changes nothing once seeded).
    seed();
    // 5. Once per run.
    if (!m_flags.migrated) {
        m_flags.migrated = true;
        doc::migrate_attachment_paths(*m_doc);
    }
    // 6. A call state change made outside a control.
    m_call->run_pending_publication();
    // 7. Attachment listing and import results: the import job posts its own
    // messages; nothing to collect while none is running.

    // 8. Refresh with its repairs, then settle the current channel's unread.
    refresh();
    bool replaced = false;
    if (!m_view.workspaces.empty() && !m_view.find_workspace(m_selection.workspace)) {
        m_selection.workspace = m_view.workspaces.front().id;
        m_selection.context_workspace = m_selection.workspace;
        m_selection.channel.clear();
        replaced = true;
    }
    if (m_selection.thread && !m_view.find_message(*m_selection.thread)) {
        close_thread();
    }
    if (replaced)
        refresh();
    mark_current_channel_read();

    // 9. Call media: keep the connections to the other participants.
    if (m_call->call().in_call)
        m_call->connect_peers();
}

void ChatApp::seed() {
    crdt::Document& doc = *m_doc;
    if (m_flags.live) {
        doc::seed_home(doc, m_identity.id, m_identity.name, m_identity.initials);
        doc::refresh_person(doc, m_identity.id, m_identity.name, m_identity.initials, m_identity.color_idx,
                            PresenceStatus::Online);
    } else if (m_flags.starter) {
        doc::seed_home(doc, m_identity.id, m_identity.name, m_identity.initials);
    } else {
        doc::seed_demo(doc);
    }
    if (doc.pending_ops() > 0)
        doc.commit();
}

std::string ChatApp::first_channel_in_sidebar_order(std::string_view workspace) const {
    // The sidebar lists categories in order, each with its channels; archived
    // channels are not listed, and a channel outside every category comes
    // after them.
    for (const CategoryEntry& category : m_view.categories) {
        if (category.workspace != workspace)
            continue;
        for (const ChannelEntry& c : m_view.channels)
            if (c.workspace == workspace && c.category == category.id && !c.archived)
                return c.id;
    }
    for (const ChannelEntry& c : m_view.channels)
        if (c.workspace == workspace && !c.archived && !m_view.find_category(c.category))
            return c.id;
    return {};
}

void ChatApp::refresh() {
    if (!m_doc)
        return;
    const crdt::Document& doc = *m_doc;
    m_view.workspaces = doc::list_workspaces(doc);
    m_view.channels = doc::list_channels(doc);
    m_view.categories = doc::list_categories(doc);

    if (!m_view.find_workspace(m_selection.context_workspace)) {
        if (m_view.find_workspace(m_selection.workspace))
            m_selection.context_workspace = m_selection.workspace;
        else if (!m_view.workspaces.empty())
            m_selection.context_workspace = m_view.workspaces.front().id;
    }

    const ChannelEntry* current = m_view.find_channel(m_selection.channel);
    if (!current || current->workspace != m_selection.workspace) {
        std::string first = first_channel_in_sidebar_order(m_selection.workspace);
        if (!first.empty())
            m_selection.channel = std::move(first);
    }

    for (ChannelEntry& c : m_view.channels)
        c.unread = c.id == m_selection.channel ? 0 : doc::unread_count(doc, c.id, m_identity.id);

    m_view.users = doc::list_people(doc);
    m_view.calls.clear();
    for (const ChannelEntry& c : m_view.channels)
        if (c.voice && c.workspace == m_selection.workspace)
            m_view.calls[c.id] = doc::call_participants(doc, c.id);
    m_view.people = workspace_people(doc, m_view.users, m_view.channels, m_selection.workspace, m_identity);
    m_view.messages = doc::read_messages(doc, m_selection.channel);

    refresh_composers();
}

void ChatApp::refresh_composers() {
    const crdt::Document& doc = *m_doc;
    const ChannelEntry* channel = m_view.find_channel(m_selection.channel);
    std::string main_text = doc::draft_text(doc, m_selection.channel).value_or("");
    if (m_composers.main.text() != main_text)
        m_composers.main.set_text(main_text);
    m_composers.main.set_placeholder("Message #" + (channel ? channel->name : std::string()));
    m_composers.main.set_local_author(m_identity.id);

    std::string thread_text;
    if (m_selection.thread)
        thread_text = doc::draft_text(doc, doc::thread_draft_key(m_selection.channel, *m_selection.thread))
                          .value_or("");
    if (m_composers.thread.text() != thread_text)
        m_composers.thread.set_text(thread_text);
    m_composers.thread.set_placeholder("Reply…");
    m_composers.thread.set_local_author(m_identity.id);
}

void ChatApp::mark_current_channel_read() {
    if (!m_nav.read_marking || m_selection.channel.empty() || !m_doc)
        return;
    auto count = static_cast<int64_t>(doc::top_level_count(*m_doc, m_selection.channel));
    if (count <= doc::read_marker(*m_doc, m_selection.channel, m_identity.id))
        return;
    dispatch(ChatAction{
        ChatAction::MarkRead{.channel = m_selection.channel, .user = m_identity.id, .count = count}});
    if (ChannelEntry* entry = m_view.find_channel(m_selection.channel))
        entry->unread = 0;
}

std::string ChatApp::person_name(std::string_view id) const {
    return app::person_name(id, m_view, m_presence, m_identity);
}

std::vector<MentionCandidate> ChatApp::mention_candidates() const {
    return app::mention_candidates(m_view, m_presence, m_identity);
}

} // namespace chat::app
