#pragma once

#include "doc/views.h"

#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace chat {

// What the interface shows, read from the workspace document by the view
// refresh. Never written back: the next refresh replaces all of it.
struct ViewState {
    std::vector<WorkspaceEntry> workspaces;
    std::vector<CategoryEntry> categories;
    std::vector<ChannelEntry> channels; // every workspace's, with unread counts
    std::vector<MessageView> messages;  // the current channel's, in conversation order
    std::vector<PersonEntry> users;     // every user of the document
    std::vector<PersonEntry> people;    // the people of the current workspace
    // Voice channel id to its participants, for the current workspace.
    std::map<std::string, std::vector<CallParticipant>, std::less<>> calls;

    const WorkspaceEntry* find_workspace(std::string_view id) const;
    const CategoryEntry* find_category(std::string_view id) const;
    const ChannelEntry* find_channel(std::string_view id) const;
    ChannelEntry* find_channel(std::string_view id);
    const MessageView* find_message(std::string_view id) const;
    const PersonEntry* find_user(std::string_view id) const;
    const PersonEntry* find_person(std::string_view id) const; // among `people`
};

} // namespace chat
