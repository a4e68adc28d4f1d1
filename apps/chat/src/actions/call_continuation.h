#pragma once

#include <string>

namespace chat {

// Which media a call carries. FIXME: mirrors the toolkit's record of the same
// name until the toolkit's header exists; switch to it then.
struct RealtimeMediaFacets {
    bool microphone = false;
    bool camera = false;
    bool screen_share = false;
    bool share_audio = false;

    bool operator==(const RealtimeMediaFacets&) const = default;
};

// What the person asked of each medium. FIXME: as above, the toolkit's record.
struct RealtimeControlIntent {
    bool microphone_muted = false;
    bool camera_muted = false;
    bool screen_share_paused = false;
    bool share_audio_muted = false;

    bool operator==(const RealtimeControlIntent&) const = default;
};

// Handed to the toolkit when a call continues outside the main view.
struct ChatCallContinuation {
    std::string workspace_id;
    std::string channel_id;
    RealtimeMediaFacets media;
    RealtimeControlIntent controls;

    bool operator==(const ChatCallContinuation&) const = default;
};

} // namespace chat
