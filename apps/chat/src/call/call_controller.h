#pragma once

#include "actions/call_continuation.h"
#include "call/call_continuity.h"
#include "call/call_host.h"
#include "call/local_call.h"
#include "media/media_net.h"

#include <base/result.h>

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace chat {

// The local call and its controls. Owns LocalCall, the media backend and the
// state that waits for the next synchronisation (pending leave, pending
// resume, pending screen-share publication). Every document write goes out
// through CallHost::dispatch; everything runs on the UI thread.
class CallController {
public:
    CallController(CallHost& host, std::unique_ptr<MediaNet> media);

    const LocalCall& call() const { return m_call; }
    MediaNet& media() { return *m_media; }
    const MediaNet& media() const { return *m_media; }

    // Join, in order: permission; LeaveCall for another current channel;
    // enter the call locally; JoinCall, SetCallTicket, SetCallState; publish
    // the microphone; connect to the peers; the join cue. Rejoining the
    // current channel dispatches no LeaveCall.
    void join_call(std::string_view channel);
    // LeaveCall, withdraw the microphone, the leave cue. Only when in a call.
    void leave_call();
    // SetCallState from the local flags (talking = not muted); nothing when
    // not in a call.
    void publish_call_state();
    // SetScreenShare with the local flag; nothing when not in a call.
    void publish_screen_share();

    // The stage's controls. Mute, deafen and audio-only ask for permission
    // and publish; unmuting also undeafens and deafening also mutes.
    void toggle_mute();
    void toggle_deafen();
    void toggle_audio_only();
    void toggle_screen_share();
    void toggle_expanded();
    void toggle_participants();
    // CallLeave: leave_call when in a call.
    void leave_from_stage();
    // StartCall: in a call, flips expanded; else joins the first voice channel
    // of the current workspace, creating one named "Voice" when it has none.
    void start_call();

    // Connects to every other participant of the call whose record carries a
    // ticket, and subscribes to their microphone. Also run by every media tick.
    void connect_peers();

    // The desktop's answer to a screen-capture request started by the toggle
    // or by a resume. Success starts sharing and marks it for publication; an
    // error during a resume drops the local call and reports the failure.
    void screen_capture_answered(const kavu::Result<void>& answer);

    // Synchronisation stages, called by the application in its fixed order.
    void set_pending_leave() { m_pending_leave = true; }
    bool has_pending_leave() const { return m_pending_leave; }
    // Leaves without a cue and withdraws all three kinds.
    void run_pending_leave();
    // The toolkit's resume event: the stored continuation is entered at the
    // next run_pending_resume().
    void request_resume() { m_resume_requested = true; }
    void run_pending_resume();
    // Publishes a screen-share change that happened outside a user toggle.
    void run_pending_publication();
    void set_screen_share_publish_pending() { m_publish_pending = true; }
    bool screen_share_publish_pending() const { return m_publish_pending; }

    // Stops screen sharing locally (an error or a size or sequence limit);
    // the change is published at the next synchronisation.
    void drop_screen_share();

    // Continuation: the active call as JSON, or nothing; restore accepts a
    // continuation naming a voice channel of an existing workspace.
    std::optional<std::string> continuation_snapshot() const;
    std::optional<ChatCallContinuation> continuation() const;
    bool restore_continuation(std::string_view json);
    const std::optional<ChatCallContinuation>& stored_continuation() const { return m_stored; }
    CallContinuityQueue& continuity_events() { return m_events; }

    const std::optional<std::string>& media_status() const { return m_media_status; }
    void set_media_status(std::optional<std::string> text) { m_media_status = std::move(text); }

    // Returns whether a redraw was requested, and clears the request.
    bool take_redraw_request() { return std::exchange(m_redraw, false); }

private:
    void enter_call(std::string_view channel);
    void drop_call();
    void announce_call();
    void abandon_resume(std::string error);
    void dispatch(ChatAction action);

    CallHost& m_host;
    std::unique_ptr<MediaNet> m_media;
    LocalCall m_call;
    std::optional<std::string> m_media_status;
    std::optional<ChatCallContinuation> m_stored;
    CallContinuityQueue m_events;
    bool m_pending_leave = false;
    bool m_resume_requested = false;
    bool m_publish_pending = false;
    bool m_redraw = false;
    bool m_announced = false;       // the CallStarted event of this call is queued
    bool m_capture_pending = false; // a screen-capture request awaits its answer
    bool m_capture_for_resume = false;
};

} // namespace chat
