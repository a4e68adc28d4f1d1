#pragma once

#include "actions/mentions.h"
#include "actions/view_state.h"

#include <kavu_actions/resource.h>

#include <nlohmann/json.hpp>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace crdt {
class Document;
}

namespace chat {

inline constexpr std::string_view kWorkspaceKind = "chat.workspace";
inline constexpr std::string_view kChannelKind = "chat.channel";
inline constexpr std::string_view kCategoryKind = "chat.category";
inline constexpr std::string_view kPersonKind = "chat.person";
inline constexpr std::string_view kCallKind = "chat.call";
inline constexpr std::string_view kMessageKind = "chat.message";
inline constexpr std::string_view kAttachmentKind = "chat.attachment";
inline constexpr std::string_view kReactionKind = "chat.reaction";
inline constexpr std::string_view kPeopleKind = "chat.people";

// What resources are built from: the view state, the selection, the local
// person and whom a posted message can mention. `doc`, when given, is read
// for what the view state does not hold (messages of other channels, call
// participants of other workspaces, top-level counts).
struct ResourceContext {
    const ViewState& view;
    const crdt::Document* doc = nullptr;
    std::string current_workspace;
    std::string current_channel;
    std::string local_person;
    std::vector<MentionCandidate> mention_people;
    // Seconds since the epoch for messages posted through a resource; 0
    // before the epoch. Unset: the system clock.
    std::function<int64_t()> clock;
};

// Workspaces (each holding its channels, then its categories), then the
// people group. Every "delete" action is destructive.
std::vector<kavu::actions::Resource> resource_tree(const ResourceContext& context);

// The resource at an address, built on demand; nothing for an unknown kind
// or id.
std::optional<kavu::actions::Resource> resource_by_address(const ResourceContext& context,
                                                           std::string_view address);

// The reduced resource behind a search result: same address and title, the
// "open" action only. Workspaces, channels, categories, people and messages.
std::optional<kavu::actions::Resource> search_resource(const ResourceContext& context,
                                                       std::string_view address);

// Marks every action with the id "delete", at any depth, destructive.
void mark_destructive(kavu::actions::Resource& resource);

// The JSON form the toolkit reads: address, kind, title, type_label and
// actions ({id, label, kind, operation, destructive, parameter, payload}),
// then children.
nlohmann::json resource_json(const kavu::actions::Resource& resource);

// "# name" or "🔊 name" (the name trimmed, "channel" when empty).
std::string channel_title(const ChannelEntry& channel);

} // namespace chat
