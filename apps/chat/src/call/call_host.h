#pragma once

#include "actions/chat_action.h"
#include "doc/schema.h"

#include <base/result.h>

#include <string>
#include <string_view>

namespace chat {

// What the call controls need to ask before acting.
enum class CallPermission { Microphone, Camera, ScreenCapture };

enum class CallTone { Join, Leave };

// The application as the call controls see it. ChatApp implements it; tests
// implement it over an in-memory document.
class CallHost {
public:
    virtual ~CallHost() = default;

    // Dispatches through the action framework under "chat.action". Failures
    // are the host's to log; the call state is not rolled back.
    virtual void dispatch(const ChatAction& action, std::string_view label) = 0;
    // The local person's id.
    virtual std::string local_user() const = 0;
    // The workspace document, read through the doc readers.
    virtual const doc::Document& document() const = 0;
    // The workspace the person is looking at ("start a call here").
    virtual std::string current_workspace() const = 0;
    // The toolkit's permission context; a no makes a control do nothing.
    virtual bool permitted(CallPermission permission) const = 0;

    // Plays the join or leave cue; the call does not wait for it.
    virtual void play_tone(CallTone) {}
    // Clears the stage's transient state (hover, drag, focus) on join and leave.
    virtual void reset_call_stage() {}
    // Asks the desktop for a screen to share. An error means no request was
    // started; the answer arrives later through
    // CallController::screen_capture_answered().
    virtual kavu::Result<void> start_screen_capture() {
        return kavu::make_error("screen capture unavailable");
    }
    // Stops an ongoing screen share (pipelines and stream sender).
    virtual void stop_screen_share() {}
};

} // namespace chat
