#include "actions/view_state.h"

#include <algorithm>

namespace chat {

namespace {
template <typename List> auto find_by_id(List& list, std::string_view id) {
    auto it = std::find_if(list.begin(), list.end(), [&](const auto& e) { return e.id == id; });
    return it == list.end() ? nullptr : &*it;
}
} // namespace

const WorkspaceEntry* ViewState::find_workspace(std::string_view id) const {
    return find_by_id(workspaces, id);
}
const CategoryEntry* ViewState::find_category(std::string_view id) const {
    return find_by_id(categories, id);
}
const ChannelEntry* ViewState::find_channel(std::string_view id) const {
    return find_by_id(channels, id);
}
ChannelEntry* ViewState::find_channel(std::string_view id) {
    return find_by_id(channels, id);
}
const MessageView* ViewState::find_message(std::string_view id) const {
    return find_by_id(messages, id);
}
const PersonEntry* ViewState::find_user(std::string_view id) const {
    return find_by_id(users, id);
}
const PersonEntry* ViewState::find_person(std::string_view id) const {
    return find_by_id(people, id);
}

} // namespace chat
