#pragma once

#include "actions/mentions.h"
#include "actions/view_state.h"
#include "app/identity.h"

#include <ui/color.h>

#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace crdt {
class Document;
}

namespace chat::app {

// What the toolkit's presence context says about the other participants.
struct PresenceNames {
    std::map<std::string, std::string, std::less<>> names; // trimmed, never blank
    std::map<std::string, kavu::ui::Color, std::less<>> colors;
};

// The people of a workspace: the local person (under any of its ids), every
// author, reactor and mentioned person of its channels, and the participants
// of its calls, as users of the document. The local person is always there
// (from the identity when the document lacks it). Sorted by name, then id.
std::vector<PersonEntry> workspace_people(const crdt::Document& doc, const std::vector<PersonEntry>& users,
                                          const std::vector<ChannelEntry>& channels,
                                          std::string_view workspace, const LocalIdentity& identity);

// The name shown for a person id: the presence name, the workspace entry's
// name, the identity's name for the local person, else the id.
std::string person_name(std::string_view id, const ViewState& view, const PresenceNames& presence,
                        const LocalIdentity& identity);

// Whom a message can mention: the workspace's people, then presence-only
// participants, sorted by name (stable).
std::vector<MentionCandidate> mention_candidates(const ViewState& view, const PresenceNames& presence,
                                                 const LocalIdentity& identity);

} // namespace chat::app
