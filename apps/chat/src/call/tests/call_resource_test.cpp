#include "call/call_resource.h"

#include "call/tests/call_fixture.h"

#include <gtest/gtest.h>

namespace chat::testing {
namespace {

std::vector<std::string> ids(const std::vector<CallResourceAction>& actions) {
    std::vector<std::string> out;
    for (const CallResourceAction& a : actions)
        out.push_back(a.id);
    return out;
}

TEST(CallResource, SomeoneOutsideTheCallCanOpenOrJoin) {
    CallFixture f;
    auto actions = call_resource_actions(f.host.doc, "x", "u_me");
    ASSERT_EQ(ids(actions), (std::vector<std::string>{"open", "join"}));
    EXPECT_EQ(actions[0].label, "Open call conversation");
    EXPECT_EQ(std::get<ChatOperation>(actions[0].produces),
              (ChatOperation{ChatOperation::OpenChannel{.workspace = "w2", .channel = "x"}}));
    EXPECT_EQ(actions[1].label, "Join call");
    EXPECT_EQ(std::get<ChatAction>(actions[1].produces),
              (ChatAction{ChatAction::JoinCall{.channel = "x", .user = "u_me"}}));

    EXPECT_TRUE(call_resource_actions(f.host.doc, "t", "u_me").empty());
    EXPECT_TRUE(call_resource_actions(f.host.doc, "gone", "u_me").empty());
}

TEST(CallResource, AParticipantGetsLeaveAndOneToggleForEachFlag) {
    struct Case {
        bool m, d, a;
        std::vector<std::string> ids;
        std::vector<std::string> labels;
    };
    const Case cases[] = {
        {false,
         false,
         false,
         {"open", "leave", "mute", "deafen", "audio-only"},
         {"Open call conversation", "Leave call", "Mute", "Deafen", "Audio only"}},
        {true,
         true,
         true,
         {"open", "leave", "unmute", "undeafen", "enable-camera"},
         {"Open call conversation", "Leave call", "Unmute", "Undeafen", "Enable camera"}},
        {true,
         false,
         true,
         {"open", "leave", "unmute", "deafen", "enable-camera"},
         {"Open call conversation", "Leave call", "Unmute", "Deafen", "Enable camera"}},
    };
    for (const Case& c : cases) {
        CallFixture f;
        doc::apply_action(f.host.doc, {ChatAction::JoinCall{.channel = "v1", .user = "u_me"}});
        doc::apply_action(f.host.doc, {ChatAction::SetCallState{.channel = "v1",
                                                                .user = "u_me",
                                                                .talking = !c.m,
                                                                .muted = c.m,
                                                                .deafened = c.d,
                                                                .audio_only = c.a}});
        auto actions = call_resource_actions(f.host.doc, "v1", "u_me");
        ASSERT_EQ(ids(actions), c.ids);
        for (size_t i = 0; i < actions.size(); ++i)
            EXPECT_EQ(actions[i].label, c.labels[i]);
        EXPECT_EQ(std::get<ChatAction>(actions[1].produces),
                  (ChatAction{ChatAction::LeaveCall{.channel = "v1", .user = "u_me"}}));

        // Each toggle flips its own flag only, with talking opposite to muted;
        // mute and deafen are not coupled here.
        const bool expected[3][3] = {{!c.m, c.d, c.a}, {c.m, !c.d, c.a}, {c.m, c.d, !c.a}};
        for (int i = 0; i < 3; ++i) {
            auto state =
                std::get<ChatAction::SetCallState>(std::get<ChatAction>(actions[2 + i].produces).value);
            EXPECT_EQ(state.channel, "v1");
            EXPECT_EQ(state.user, "u_me");
            EXPECT_EQ(state.muted, expected[i][0]) << actions[2 + i].id;
            EXPECT_EQ(state.deafened, expected[i][1]) << actions[2 + i].id;
            EXPECT_EQ(state.audio_only, expected[i][2]) << actions[2 + i].id;
            EXPECT_EQ(state.talking, !state.muted) << actions[2 + i].id;
        }
    }
}

} // namespace
} // namespace chat::testing
