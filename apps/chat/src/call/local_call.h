#pragma once

#include <string>

namespace chat {

// This user's side of a call. Not saved: a restarted application is idle
// until a continuation is restored. `muted`, `audio_only` and
// `participants_open` survive leaving and rejoining; every join resets
// `deafened`, `sharing` and `expanded`.
struct LocalCall {
    bool in_call = false;
    std::string channel; // the voice channel; meaningful only while in_call
    bool expanded = false;
    bool participants_open = true;
    bool muted = false;
    bool deafened = false;
    bool audio_only = false;
    bool sharing = false;

    bool operator==(const LocalCall&) const = default;
};

} // namespace chat
