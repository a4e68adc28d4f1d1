#include "call/call_controller.h"

#include "actions/action_presentation.h"
#include "actions/fresh_id.h"
#include "doc/readers.h"

#include <algorithm>
#include <cassert>

namespace chat {

namespace {

constexpr std::string_view kNewVoiceChannelName = "Voice";

std::optional<ChannelEntry> find_channel(const doc::Document& doc, std::string_view id) {
    for (ChannelEntry& channel : doc::list_channels(doc)) {
        if (channel.id == id)
            return std::move(channel);
    }
    return std::nullopt;
}

// The workspace's voice channels as the sidebar lists them: category by
// category in category order, then those in no (existing) category.
// Archived channels are not offered.
std::vector<std::string> voice_channels_in_sidebar_order(const doc::Document& doc,
                                                         std::string_view workspace) {
    std::vector<ChannelEntry> channels = doc::list_channels(doc);
    std::vector<CategoryEntry> categories = doc::list_categories(doc);
    std::erase_if(categories, [&](const CategoryEntry& c) { return c.workspace != workspace; });
    std::erase_if(channels,
                  [&](const ChannelEntry& c) { return c.workspace != workspace || !c.voice || c.archived; });

    std::vector<std::string> out;
    for (const CategoryEntry& category : categories) {
        for (const ChannelEntry& channel : channels) {
            if (channel.category == category.id)
                out.push_back(channel.id);
        }
    }
    for (const ChannelEntry& channel : channels) {
        bool placed = std::any_of(categories.begin(), categories.end(),
                                  [&](const CategoryEntry& c) { return c.id == channel.category; });
        if (!placed)
            out.push_back(channel.id);
    }
    return out;
}

} // namespace

CallController::CallController(CallHost& host, std::unique_ptr<MediaNet> media)
    : m_host(host), m_media(std::move(media)) {
    assert(m_media);
}

void CallController::dispatch(ChatAction action) {
    std::string label = present_action(action).label;
    m_host.dispatch(action, label);
}

void CallController::join_call(std::string_view channel) {
    if (!m_host.permitted(CallPermission::Microphone))
        return;
    // Only a voice channel of the document hosts a call; anything else would
    // leave a participant record under a channel nobody can see.
    std::optional<ChannelEntry> entry = find_channel(m_host.document(), channel);
    if (!entry || !entry->voice)
        return;

    std::string user = m_host.local_user();
    bool switching = m_call.in_call && m_call.channel != channel;
    bool rejoin_while_sharing = m_call.in_call && !switching && m_call.sharing;
    if (switching) {
        dispatch({ChatAction::LeaveCall{.channel = m_call.channel, .user = user}});
        m_announced = false;
    }

    enter_call(channel);
    dispatch({ChatAction::JoinCall{.channel = m_call.channel, .user = user}});
    dispatch(
        {ChatAction::SetCallTicket{.channel = m_call.channel, .user = user, .ticket = m_media->ticket()}});
    publish_call_state();
    // A rejoin keeps the document record, sharing flag included; the share
    // itself has just stopped, so the record must say so.
    if (rejoin_while_sharing)
        publish_screen_share();
    m_media->publish(MediaKind::Microphone);
    connect_peers();
    announce_call();
    m_host.play_tone(CallTone::Join);
    m_redraw = true;
}

void CallController::enter_call(std::string_view channel) {
    if (m_call.sharing)
        m_host.stop_screen_share();
    m_call.in_call = true;
    m_call.channel = std::string(channel);
    m_call.expanded = false;
    m_call.deafened = false;
    m_call.sharing = false;
    m_capture_pending = false;
    m_capture_for_resume = false;
    m_host.reset_call_stage();
}

void CallController::drop_call() {
    m_call.in_call = false;
    m_call.expanded = false;
    m_call.sharing = false;
    m_capture_pending = false;
    m_capture_for_resume = false;
    m_announced = false;
}

void CallController::leave_call() {
    if (!m_call.in_call)
        return;
    dispatch({ChatAction::LeaveCall{.channel = m_call.channel, .user = m_host.local_user()}});
    m_media->unpublish(MediaKind::Microphone);
    drop_call();
    m_host.reset_call_stage();
    m_host.play_tone(CallTone::Leave);
    m_redraw = true;
}

void CallController::publish_call_state() {
    if (!m_call.in_call)
        return;
    dispatch({ChatAction::SetCallState{.channel = m_call.channel,
                                       .user = m_host.local_user(),
                                       .talking = !m_call.muted,
                                       .muted = m_call.muted,
                                       .deafened = m_call.deafened,
                                       .audio_only = m_call.audio_only}});
}

void CallController::publish_screen_share() {
    if (!m_call.in_call)
        return;
    dispatch({ChatAction::SetScreenShare{
        .channel = m_call.channel, .user = m_host.local_user(), .sharing = m_call.sharing}});
}

void CallController::toggle_mute() {
    if (!m_host.permitted(CallPermission::Microphone))
        return;
    m_call.muted = !m_call.muted;
    // Hearing nothing while speaking is never wanted: opening the
    // microphone also opens the speakers.
    if (!m_call.muted)
        m_call.deafened = false;
    publish_call_state();
}

void CallController::toggle_deafen() {
    if (!m_host.permitted(CallPermission::Microphone))
        return;
    m_call.deafened = !m_call.deafened;
    if (m_call.deafened)
        m_call.muted = true;
    publish_call_state();
}

void CallController::toggle_audio_only() {
    if (!m_host.permitted(CallPermission::Camera))
        return;
    m_call.audio_only = !m_call.audio_only;
    publish_call_state();
}

void CallController::toggle_screen_share() {
    if (!m_call.in_call)
        return;
    if (m_call.sharing) {
        m_host.stop_screen_share();
        m_call.sharing = false;
        publish_screen_share();
        m_redraw = true;
        return;
    }
    if (!m_host.permitted(CallPermission::ScreenCapture) || m_capture_pending)
        return;
    kavu::Result<void> started = m_host.start_screen_capture();
    if (!started) {
        m_media_status = started.error_text();
        m_redraw = true;
        return;
    }
    m_capture_pending = true;
    m_capture_for_resume = false;
}

void CallController::toggle_expanded() {
    m_call.expanded = !m_call.expanded;
    m_redraw = true;
}

void CallController::toggle_participants() {
    m_call.participants_open = !m_call.participants_open;
}

void CallController::leave_from_stage() {
    if (m_call.in_call)
        leave_call();
}

void CallController::start_call() {
    if (!m_host.permitted(CallPermission::Microphone))
        return;
    if (m_call.in_call) {
        toggle_expanded();
        return;
    }
    std::string workspace = m_host.current_workspace();
    const doc::Document& doc = m_host.document();
    std::vector<WorkspaceEntry> workspaces = doc::list_workspaces(doc);
    if (std::none_of(workspaces.begin(), workspaces.end(),
                     [&](const WorkspaceEntry& w) { return w.id == workspace; }))
        return;

    std::vector<std::string> voice = voice_channels_in_sidebar_order(doc, workspace);
    if (!voice.empty()) {
        join_call(voice.front());
        return;
    }
    // The new channel goes into the workspace's first category, where the
    // sidebar shows it; a workspace without categories gets it uncategorised.
    std::string category;
    for (const CategoryEntry& c : doc::list_categories(doc)) {
        if (c.workspace == workspace) {
            category = c.id;
            break;
        }
    }
    std::string id = fresh_id("c_");
    dispatch({ChatAction::CreateChannel{.workspace = workspace,
                                        .category = category,
                                        .id = id,
                                        .name = std::string(kNewVoiceChannelName),
                                        .kind = ChannelKind::Voice}});
    join_call(id);
}

void CallController::connect_peers() {
    if (!m_call.in_call)
        return;
    std::string user = m_host.local_user();
    for (const CallParticipant& p : doc::call_participants(m_host.document(), m_call.channel)) {
        if (p.user == user || !p.ticket)
            continue;
        m_media->connect(*p.ticket);
        m_media->subscribe(p.user, MediaKind::Microphone);
    }
}

void CallController::drop_screen_share() {
    if (!m_call.sharing)
        return;
    m_host.stop_screen_share();
    m_call.sharing = false;
    m_publish_pending = true;
}

void CallController::run_pending_publication() {
    if (!m_publish_pending)
        return;
    m_publish_pending = false;
    publish_screen_share();
    m_redraw = true;
}

void CallController::run_pending_leave() {
    if (!std::exchange(m_pending_leave, false))
        return;
    if (!m_call.in_call)
        return;
    dispatch({ChatAction::LeaveCall{.channel = m_call.channel, .user = m_host.local_user()}});
    for (MediaKind kind : {MediaKind::Microphone, MediaKind::Camera, MediaKind::ScreenShare})
        m_media->unpublish(kind);
    drop_call();
    m_redraw = true;
}

} // namespace chat
