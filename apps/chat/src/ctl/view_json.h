#pragma once

#include "actions/action_json.h"
#include "doc/views.h"

// JSON forms of the view records for automation: record fields in snake case,
// absent optionals as null, enumerations as their serialised words.
namespace chat {

OrderedJson to_json(const WorkspaceEntry& entry);
OrderedJson to_json(const CategoryEntry& entry);
OrderedJson to_json(const ChannelEntry& entry);
OrderedJson to_json(const PersonEntry& entry);
OrderedJson to_json(const CallParticipant& participant);
OrderedJson to_json(const HistoryEntry& entry);
OrderedJson to_json(const ReactionGroup& group);
OrderedJson to_json(const MessageView& message);

} // namespace chat
