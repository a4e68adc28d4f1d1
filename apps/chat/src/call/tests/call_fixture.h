#pragma once

#include "call/call_controller.h"
#include "doc/apply.h"
#include "doc/readers.h"
#include "doc/writers.h"
#include "media/sim_media_net.h"

#include <crdt/document.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

namespace chat::testing {

// The application as the call controls see it, over a real in-memory
// document: dispatched actions are recorded and applied.
class FakeCallHost final : public CallHost {
public:
    struct Dispatched {
        ChatAction action;
        std::string label;
    };

    crdt::Document doc{crdt::ActorId{}};
    std::vector<Dispatched> dispatched;
    std::vector<CallTone> tones;
    std::set<CallPermission> denied;
    std::string user = "u_me";
    std::string workspace = "w";
    int stage_resets = 0;
    int capture_requests = 0;
    int share_stops = 0;
    std::optional<std::string> capture_start_error;

    void dispatch(const ChatAction& action, std::string_view label) override {
        dispatched.push_back({action, std::string(label)});
        doc::apply_action(doc, action);
    }
    std::string local_user() const override { return user; }
    const doc::Document& document() const override { return doc; }
    std::string current_workspace() const override { return workspace; }
    bool permitted(CallPermission permission) const override { return !denied.count(permission); }
    void play_tone(CallTone tone) override { tones.push_back(tone); }
    void reset_call_stage() override { ++stage_resets; }
    kavu::Result<void> start_screen_capture() override {
        if (capture_start_error)
            return kavu::make_error(*capture_start_error);
        ++capture_requests;
        return {};
    }
    void stop_screen_share() override { ++share_stops; }

    // The variants of the actions dispatched since the last call, by name.
    std::vector<std::string> take_kinds() {
        std::vector<std::string> out;
        for (const Dispatched& d : dispatched)
            out.push_back(kind_name(d.action));
        dispatched.clear();
        return out;
    }
    static std::string kind_name(const ChatAction& action) {
        static constexpr const char* kNames[] = {"SendMessage",    "EditMessage",          "DeleteMessage",
                                                 "AddReaction",    "RemoveReaction",       "PinMessage",
                                                 "CreateChannel",  "CreateCategory",       "RenameCategory",
                                                 "DeleteCategory", "SetCategoryCollapsed", "ReorderChannel",
                                                 "RenameChannel",  "DeleteChannel",        "ArchiveChannel",
                                                 "MarkRead",       "SetAgentWork",         "JoinCall",
                                                 "LeaveCall",      "SetCallState",         "SetScreenShare",
                                                 "SetCallTicket"};
        return kNames[action.value.index()];
    }

    std::optional<CallParticipant> participant(std::string_view channel, std::string_view who) const {
        for (CallParticipant& p : doc::call_participants(doc, channel)) {
            if (p.user == who)
                return std::move(p);
        }
        return std::nullopt;
    }
};

// A workspace "w" with a category "k" holding text channel "t" and voice
// channels "v1" and "v2", and a second workspace "w2" with voice channel "x".
struct CallFixture {
    FakeCallHost host;
    SimMediaNet* media = nullptr;
    CallController calls;

    CallFixture() : calls(host, make_media()) {
        doc::write_workspace(host.doc, "w", "Team", "T", 0, 0);
        doc::write_workspace(host.doc, "w2", "Other", "O", 1, 1);
        doc::write_category(host.doc, "k", "w", "General", 0);
        doc::write_channel(host.doc, "t", "w", "k", "general", "", false, 0);
        doc::write_channel(host.doc, "v1", "w", "k", "Lounge", "", true, 1);
        doc::write_channel(host.doc, "v2", "w", "k", "Standup", "", true, 2);
        doc::write_channel(host.doc, "x", "w2", "", "Elsewhere", "", true, 0);
    }

    std::unique_ptr<MediaNet> make_media() {
        auto sim = std::make_unique<SimMediaNet>();
        media = sim.get();
        return sim;
    }

    const LocalCall& call() const { return calls.call(); }
    const ChatAction& last_action() const { return host.dispatched.back().action; }
};

} // namespace chat::testing
