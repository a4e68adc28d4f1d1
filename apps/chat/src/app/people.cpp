#include "app/people.h"

#include "doc/readers.h"

#include <algorithm>
#include <set>

namespace chat::app {

namespace {

bool is_blank(std::string_view s) {
    return s.find_first_not_of(" \t\n\r\f\v") == std::string_view::npos;
}

} // namespace

std::vector<PersonEntry> workspace_people(const crdt::Document& doc, const std::vector<PersonEntry>& users,
                                          const std::vector<ChannelEntry>& channels,
                                          std::string_view workspace, const LocalIdentity& identity) {
    std::set<std::string, std::less<>> ids;
    ids.insert(identity.id);
    ids.insert(identity.earlier_ids.begin(), identity.earlier_ids.end());
    for (const ChannelEntry& c : channels) {
        if (c.workspace != workspace)
            continue;
        for (const MessageView& m : doc::read_messages(doc, c.id)) {
            ids.insert(m.author);
            for (const ReactionGroup& g : m.reactions)
                ids.insert(g.users.begin(), g.users.end());
            for (const Mention& mention : m.mentions)
                ids.insert(mention.user);
        }
        if (c.voice)
            for (const CallParticipant& p : doc::call_participants(doc, c.id))
                ids.insert(p.user);
    }

    std::vector<PersonEntry> people;
    for (const PersonEntry& u : users)
        if (ids.contains(u.id))
            people.push_back(u);
    bool has_local = std::any_of(people.begin(), people.end(),
                                 [&](const PersonEntry& p) { return identity.is_local(p.id); });
    if (!has_local)
        people.push_back(PersonEntry{.id = identity.id,
                                     .name = identity.name,
                                     .initials = identity.initials,
                                     .color_idx = identity.color_idx,
                                     .status = PresenceStatus::Online,
                                     .agent = false});
    std::sort(people.begin(), people.end(), [](const PersonEntry& a, const PersonEntry& b) {
        return a.name != b.name ? a.name < b.name : a.id < b.id;
    });
    return people;
}

std::string person_name(std::string_view id, const ViewState& view, const PresenceNames& presence,
                        const LocalIdentity& identity) {
    if (auto it = presence.names.find(id); it != presence.names.end() && !is_blank(it->second))
        return it->second;
    if (const PersonEntry* p = view.find_person(id); p && !is_blank(p->name))
        return p->name;
    if (identity.is_local(id) && !is_blank(identity.name))
        return identity.name;
    return std::string(id);
}

std::vector<MentionCandidate> mention_candidates(const ViewState& view, const PresenceNames& presence,
                                                 const LocalIdentity& identity) {
    std::vector<MentionCandidate> out;
    std::set<std::string, std::less<>> seen;
    for (const PersonEntry& p : view.people) {
        out.push_back({p.id, person_name(p.id, view, presence, identity), p.agent});
        seen.insert(p.id);
    }
    for (const auto& [id, name] : presence.names)
        if (!seen.contains(id))
            out.push_back({id, person_name(id, view, presence, identity), false});
    std::stable_sort(out.begin(), out.end(),
                     [](const MentionCandidate& a, const MentionCandidate& b) { return a.name < b.name; });
    return out;
}

} // namespace chat::app
