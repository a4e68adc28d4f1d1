// The call continuation: the snapshot handed to the toolkit while a call is
// active, the restore of a stored snapshot, the resume it leads to, and the
// screen-capture answers that finish a resume.
#include "call/call_controller.h"

#include "actions/action_json.h"
#include "doc/readers.h"

#include <algorithm>

namespace chat {

namespace {

bool workspace_exists(const doc::Document& doc, std::string_view id) {
    std::vector<WorkspaceEntry> workspaces = doc::list_workspaces(doc);
    return std::any_of(workspaces.begin(), workspaces.end(),
                       [&](const WorkspaceEntry& w) { return w.id == id; });
}

} // namespace

std::optional<ChatCallContinuation> CallController::continuation() const {
    if (!m_call.in_call)
        return std::nullopt;
    const doc::Document& doc = m_host.document();
    std::vector<ChannelEntry> channels = doc::list_channels(doc);
    auto channel = std::find_if(channels.begin(), channels.end(),
                                [&](const ChannelEntry& c) { return c.voice && c.id == m_call.channel; });
    if (channel == channels.end() || !workspace_exists(doc, channel->workspace))
        return std::nullopt;
    return ChatCallContinuation{
        .workspace_id = channel->workspace,
        .channel_id = channel->id,
        .media = {.microphone = true,
                  .camera = !m_call.audio_only,
                  .screen_share = m_call.sharing,
                  .share_audio = false},
        .controls = {.microphone_muted = m_call.muted,
                     .camera_muted = m_call.audio_only,
                     .screen_share_paused = false,
                     .share_audio_muted = true},
    };
}

std::optional<std::string> CallController::continuation_snapshot() const {
    std::optional<ChatCallContinuation> record = continuation();
    if (!record)
        return std::nullopt;
    return encode_json(*record);
}

void CallController::announce_call() {
    if (m_announced)
        return;
    if (std::optional<std::string> snapshot = continuation_snapshot()) {
        m_events.push({continuity::CallStarted{.snapshot = std::move(*snapshot)}});
        m_announced = true;
    }
}

bool CallController::restore_continuation(std::string_view json) {
    Result<ChatCallContinuation> parsed = decode_json<ChatCallContinuation>(json);
    if (!parsed)
        return false;
    const doc::Document& doc = m_host.document();
    if (!workspace_exists(doc, parsed->workspace_id))
        return false;
    std::vector<ChannelEntry> channels = doc::list_channels(doc);
    bool voice_channel_of_workspace =
        std::any_of(channels.begin(), channels.end(), [&](const ChannelEntry& c) {
            return c.voice && c.id == parsed->channel_id && c.workspace == parsed->workspace_id;
        });
    if (!voice_channel_of_workspace)
        return false;
    m_stored = parsed.release_value();
    return true;
}

void CallController::run_pending_resume() {
    if (!std::exchange(m_resume_requested, false) || !m_stored)
        return;
    ChatCallContinuation record = std::move(*m_stored);
    m_stored.reset();

    std::string user = m_host.local_user();
    // Resuming into another channel than the current call's is a switch:
    // the old record must not linger as a participant nobody is behind.
    if (m_call.in_call && m_call.channel != record.channel_id) {
        dispatch({ChatAction::LeaveCall{.channel = m_call.channel, .user = user}});
        m_announced = false;
    }
    enter_call(record.channel_id);
    m_call.muted = record.controls.microphone_muted;
    m_call.audio_only = !record.media.camera || record.controls.camera_muted;

    // The document normally lists the user in the call already, so nothing is
    // written. A resume in a new process has a new media ticket, though, and
    // the record may have been removed or changed meanwhile: peers can only
    // reach this client when the record matches what it now is.
    std::vector<CallParticipant> participants = doc::call_participants(m_host.document(), m_call.channel);
    auto own = std::find_if(participants.begin(), participants.end(),
                            [&](const CallParticipant& p) { return p.user == user; });
    if (own == participants.end())
        dispatch({ChatAction::JoinCall{.channel = m_call.channel, .user = user}});
    std::string ticket = m_media->ticket();
    if (own == participants.end() || own->ticket.value_or("") != ticket)
        dispatch({ChatAction::SetCallTicket{.channel = m_call.channel, .user = user, .ticket = ticket}});
    if (own == participants.end() || own->muted != m_call.muted || own->talking == m_call.muted ||
        own->deafened || own->audio_only != m_call.audio_only)
        publish_call_state();
    if (own != participants.end() && own->sharing)
        publish_screen_share();
    m_announced = true;
    m_redraw = true;

    if (record.media.screen_share && !record.controls.screen_share_paused) {
        kavu::Result<void> started = m_host.start_screen_capture();
        if (!started) {
            abandon_resume(started.error_text());
            return;
        }
        m_capture_pending = true;
        m_capture_for_resume = true;
        return;
    }
    m_events.push({continuity::CallStateChanged{.snapshot = continuation_snapshot().value_or("")}});
}

void CallController::abandon_resume(std::string error) {
    // The person is not in the call after all; a record left behind would
    // show everyone a participant with a dead ticket.
    dispatch({ChatAction::LeaveCall{.channel = m_call.channel, .user = m_host.local_user()}});
    drop_call();
    m_events.push({continuity::CallResumeFailed{.error = std::move(error)}});
}

void CallController::screen_capture_answered(const kavu::Result<void>& answer) {
    if (!std::exchange(m_capture_pending, false) || !m_call.in_call)
        return;
    bool for_resume = std::exchange(m_capture_for_resume, false);
    if (!answer) {
        if (for_resume) {
            abandon_resume(answer.error_text());
        } else {
            m_media_status = answer.error_text();
        }
        m_redraw = true;
        return;
    }
    m_call.sharing = true;
    m_publish_pending = true;
    m_redraw = true;
    if (for_resume)
        m_events.push({continuity::CallStateChanged{.snapshot = continuation_snapshot().value_or("")}});
}

} // namespace chat
