#pragma once

#include "actions/agent_work.h"
#include "actions/records.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Plain records read from the workspace document. The interface draws only
// from these; each is a copy, independent of the document afterwards.
namespace chat {

enum class PresenceStatus : uint8_t { Online, Idle, Dnd, Offline };

// "online", "idle", "dnd", "offline".
std::string_view presence_word(PresenceStatus status);
// The stored word; anything else (missing included) is Online.
PresenceStatus parse_presence(std::string_view word);

struct WorkspaceEntry {
    std::string id;
    std::string name;
    std::string glyph;
    int64_t color_idx = 0;
    uint32_t order = 0;

    bool operator==(const WorkspaceEntry&) const = default;
};

struct CategoryEntry {
    std::string id;
    std::string workspace;
    std::string name;
    uint32_t order = 0;
    bool collapsed = false;

    bool operator==(const CategoryEntry&) const = default;
};

struct ChannelEntry {
    std::string id;
    std::string workspace;
    std::string category; // empty: the channel belongs to no category
    std::string name;
    std::string topic;
    uint32_t order = 0;
    uint32_t unread = 0; // filled by the view refresh, not by the reader
    bool voice = false;
    bool archived = false;

    bool operator==(const ChannelEntry&) const = default;
};

struct PersonEntry {
    std::string id;
    std::string name;
    std::string initials;
    int64_t color_idx = 0;
    PresenceStatus status = PresenceStatus::Online;
    bool agent = false;

    bool operator==(const PersonEntry&) const = default;
};

struct CallParticipant {
    std::string user;
    std::optional<std::string> ticket; // absent when missing or empty
    bool talking = false;
    bool muted = false;
    bool deafened = false;
    bool audio_only = false;
    bool sharing = false;

    bool operator==(const CallParticipant&) const = default;
};

// One earlier version of a message and the time it was replaced.
struct HistoryEntry {
    std::string text;
    int64_t ts = 0;

    bool operator==(const HistoryEntry&) const = default;
};

struct ReactionGroup {
    std::string emoji;
    std::vector<std::string> users; // no duplicates

    bool operator==(const ReactionGroup&) const = default;
};

struct MessageView {
    std::string id;
    std::string channel;
    std::string author;
    int64_t ts = 0;
    std::string text;
    bool edited = false;
    std::vector<HistoryEntry> history;
    std::optional<std::string> parent; // absent for a top-level message
    std::vector<ReactionGroup> reactions;
    std::vector<Mention> mentions;
    std::optional<ResourceRef> reference;
    std::optional<Attachment> attachment;
    std::optional<AgentWork> work;
    bool pinned = false;

    bool operator==(const MessageView&) const = default;
};

} // namespace chat
