#include "call/call_resource.h"

#include "doc/readers.h"

#include <algorithm>

namespace chat {

std::vector<CallResourceAction> call_resource_actions(const doc::Document& doc, std::string_view channel,
                                                      std::string_view user) {
    std::vector<ChannelEntry> channels = doc::list_channels(doc);
    auto entry = std::find_if(channels.begin(), channels.end(),
                              [&](const ChannelEntry& c) { return c.voice && c.id == channel; });
    if (entry == channels.end())
        return {};

    std::vector<CallResourceAction> out;
    out.push_back({.id = "open",
                   .label = "Open call conversation",
                   .produces = ChatOperation{
                       ChatOperation::OpenChannel{.workspace = entry->workspace, .channel = entry->id}}});

    std::vector<CallParticipant> participants = doc::call_participants(doc, channel);
    auto own = std::find_if(participants.begin(), participants.end(),
                            [&](const CallParticipant& p) { return p.user == user; });
    if (own == participants.end()) {
        out.push_back(
            {.id = "join",
             .label = "Join call",
             .produces = ChatAction{ChatAction::JoinCall{.channel = entry->id, .user = std::string(user)}}});
        return out;
    }

    out.push_back(
        {.id = "leave",
         .label = "Leave call",
         .produces = ChatAction{ChatAction::LeaveCall{.channel = entry->id, .user = std::string(user)}}});
    auto state = [&](bool muted, bool deafened, bool audio_only) {
        return ChatAction{ChatAction::SetCallState{.channel = entry->id,
                                                   .user = std::string(user),
                                                   .talking = !muted,
                                                   .muted = muted,
                                                   .deafened = deafened,
                                                   .audio_only = audio_only}};
    };
    const bool m = own->muted, d = own->deafened, a = own->audio_only;
    out.push_back({.id = m ? "unmute" : "mute", .label = m ? "Unmute" : "Mute", .produces = state(!m, d, a)});
    out.push_back(
        {.id = d ? "undeafen" : "deafen", .label = d ? "Undeafen" : "Deafen", .produces = state(m, !d, a)});
    out.push_back({.id = a ? "enable-camera" : "audio-only",
                   .label = a ? "Enable camera" : "Audio only",
                   .produces = state(m, d, !a)});
    return out;
}

} // namespace chat
