#include "call/tests/call_fixture.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace chat::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::Pair;

class CallControllerTest : public ::testing::Test, public CallFixture {};

TEST_F(CallControllerTest, JoinWritesJoinTicketAndStateInOrderAndEntersTheFloatingCall) {
    calls.toggle_expanded(); // a join always starts as the floating call
    calls.join_call("v1");

    ASSERT_EQ(host.dispatched.size(), 3u);
    EXPECT_EQ(host.dispatched[0].label, "Join call");
    EXPECT_EQ(host.take_kinds(), (std::vector<std::string>{"JoinCall", "SetCallTicket", "SetCallState"}));
    EXPECT_EQ(host.participant("v1", "u_me"), (CallParticipant{.user = "u_me",
                                                               .ticket = "sim://local",
                                                               .talking = true,
                                                               .muted = false,
                                                               .deafened = false,
                                                               .audio_only = false,
                                                               .sharing = false}));
    EXPECT_EQ(call(), (LocalCall{.in_call = true, .channel = "v1", .participants_open = true}));
    EXPECT_THAT(media->published(), ElementsAre(MediaKind::Microphone));
    EXPECT_THAT(host.tones, ElementsAre(CallTone::Join));
    EXPECT_TRUE(calls.take_redraw_request());
    EXPECT_FALSE(calls.take_redraw_request());
}

TEST_F(CallControllerTest, JoiningAnotherChannelLeavesTheOldOneFirst) {
    calls.join_call("v1");
    host.take_kinds();
    calls.join_call("v2");

    ASSERT_FALSE(host.dispatched.empty());
    EXPECT_EQ(std::get<ChatAction::LeaveCall>(host.dispatched[0].action.value),
              (ChatAction::LeaveCall{.channel = "v1", .user = "u_me"}));
    EXPECT_EQ(host.take_kinds(),
              (std::vector<std::string>{"LeaveCall", "JoinCall", "SetCallTicket", "SetCallState"}));
    EXPECT_TRUE(doc::call_participants(host.doc, "v1").empty());
    EXPECT_TRUE(host.participant("v2", "u_me"));
    EXPECT_EQ(call().channel, "v2");
}

TEST_F(CallControllerTest, RejoiningTheSameChannelResetsDeafenAndSharingWithoutLeaving) {
    calls.join_call("v1");
    calls.toggle_deafen();
    calls.toggle_screen_share();
    calls.screen_capture_answered({});
    calls.run_pending_publication();
    ASSERT_TRUE(host.participant("v1", "u_me")->sharing);
    host.take_kinds();

    calls.join_call("v1");

    // The rejoin keeps the document record, so the stopped share is written
    // back; otherwise the others would go on seeing a share that ended.
    EXPECT_EQ(host.take_kinds(),
              (std::vector<std::string>{"JoinCall", "SetCallTicket", "SetCallState", "SetScreenShare"}));
    EXPECT_FALSE(call().deafened);
    EXPECT_TRUE(call().muted); // deafening muted, and mute survives a join
    EXPECT_FALSE(call().sharing);
    EXPECT_EQ(host.share_stops, 1);
    auto record = host.participant("v1", "u_me");
    EXPECT_FALSE(record->sharing);
    EXPECT_FALSE(record->deafened);
    EXPECT_FALSE(record->talking);
}

TEST_F(CallControllerTest, JoinRefusesAnythingButAnExistingVoiceChannel) {
    for (std::string_view channel : {"t", "nope", ""}) {
        calls.join_call(channel);
        EXPECT_TRUE(host.dispatched.empty()) << channel;
        EXPECT_FALSE(call().in_call) << channel;
    }
}

TEST_F(CallControllerTest, LeaveRemovesTheRecordAndKeepsMuteAndAudioOnlyForTheNextJoin) {
    calls.leave_call(); // idle: nothing to leave
    EXPECT_TRUE(host.dispatched.empty());

    calls.join_call("v1");
    calls.toggle_mute();
    calls.toggle_audio_only();
    calls.toggle_participants();
    calls.toggle_expanded();
    host.take_kinds();
    host.tones.clear();

    calls.leave_from_stage();

    EXPECT_EQ(host.take_kinds(), std::vector<std::string>{"LeaveCall"});
    EXPECT_TRUE(doc::call_participants(host.doc, "v1").empty());
    EXPECT_TRUE(media->published().empty());
    EXPECT_THAT(host.tones, ElementsAre(CallTone::Leave));
    EXPECT_EQ(call(), (LocalCall{.in_call = false,
                                 .channel = "v1",
                                 .expanded = false,
                                 .participants_open = false,
                                 .muted = true,
                                 .audio_only = true}));

    calls.join_call("v2");
    auto record = host.participant("v2", "u_me");
    EXPECT_TRUE(record->muted);
    EXPECT_TRUE(record->audio_only);
    EXPECT_FALSE(record->talking);
}

TEST_F(CallControllerTest, MuteAndDeafenAreCoupled) {
    enum Toggle { Mute, Deafen };
    struct Case {
        const char* name;
        std::vector<Toggle> toggles;
        bool muted;
        bool deafened;
    };
    const Case cases[] = {
        {"deafen while unmuted", {Deafen}, true, true},
        {"unmute while deafened", {Deafen, Mute}, false, false},
        {"undeafen while muted", {Deafen, Deafen}, true, false},
        {"mute alone", {Mute}, true, false},
        {"mute then deafen then undeafen", {Mute, Deafen, Deafen}, true, false},
    };
    for (const Case& c : cases) {
        CallFixture f;
        f.calls.join_call("v1");
        for (Toggle t : c.toggles)
            t == Mute ? f.calls.toggle_mute() : f.calls.toggle_deafen();

        EXPECT_EQ(f.call().muted, c.muted) << c.name;
        EXPECT_EQ(f.call().deafened, c.deafened) << c.name;
        const auto& published = std::get<ChatAction::SetCallState>(f.last_action().value);
        EXPECT_EQ(published.talking, !c.muted) << c.name;
        auto record = f.host.participant("v1", "u_me");
        EXPECT_EQ(record->muted, c.muted) << c.name;
        EXPECT_EQ(record->deafened, c.deafened) << c.name;
        EXPECT_EQ(record->talking, !c.muted) << c.name;
    }
}

TEST_F(CallControllerTest, AudioOnlyIsPublishedAndOutsideACallOnlyRemembered) {
    calls.toggle_audio_only();
    EXPECT_TRUE(host.dispatched.empty());
    EXPECT_TRUE(call().audio_only);

    calls.join_call("v1");
    EXPECT_TRUE(host.participant("v1", "u_me")->audio_only);
    calls.toggle_audio_only();
    EXPECT_FALSE(host.participant("v1", "u_me")->audio_only);
    EXPECT_EQ(std::get<ChatAction::SetCallState>(last_action().value).audio_only, false);
}

TEST_F(CallControllerTest, DeniedPermissionMakesControlsDoNothing) {
    struct Case {
        const char* name;
        CallPermission denied;
        void (CallController::*control)();
    };
    const Case cases[] = {
        {"mute", CallPermission::Microphone, &CallController::toggle_mute},
        {"deafen", CallPermission::Microphone, &CallController::toggle_deafen},
        {"start", CallPermission::Microphone, &CallController::start_call},
        {"audio only", CallPermission::Camera, &CallController::toggle_audio_only},
        {"share", CallPermission::ScreenCapture, &CallController::toggle_screen_share},
    };
    for (const Case& c : cases) {
        CallFixture f;
        f.calls.join_call("v1");
        f.host.take_kinds();
        LocalCall before = f.call();
        f.host.denied.insert(c.denied);
        (f.calls.*c.control)();
        EXPECT_EQ(f.call(), before) << c.name;
        EXPECT_TRUE(f.host.dispatched.empty()) << c.name;
        EXPECT_EQ(f.host.capture_requests, 0) << c.name;
    }

    host.denied.insert(CallPermission::Microphone);
    calls.join_call("v1");
    EXPECT_FALSE(call().in_call);
    EXPECT_TRUE(host.dispatched.empty());
}

TEST_F(CallControllerTest, ScreenShareStartsOnTheAnswerAndIsPublishedAtTheNextSync) {
    calls.toggle_screen_share(); // not in a call
    EXPECT_EQ(host.capture_requests, 0);

    calls.join_call("v1");
    host.take_kinds();
    calls.toggle_screen_share();
    calls.toggle_screen_share(); // a second press while the desktop asks starts nothing new
    EXPECT_EQ(host.capture_requests, 1);
    EXPECT_FALSE(call().sharing);

    calls.screen_capture_answered({});
    EXPECT_TRUE(call().sharing);
    EXPECT_TRUE(calls.screen_share_publish_pending());
    EXPECT_TRUE(host.dispatched.empty());
    calls.take_redraw_request();

    calls.run_pending_publication();
    EXPECT_EQ(host.take_kinds(), std::vector<std::string>{"SetScreenShare"});
    EXPECT_TRUE(host.participant("v1", "u_me")->sharing);
    EXPECT_FALSE(calls.screen_share_publish_pending());
    EXPECT_TRUE(calls.take_redraw_request());
    calls.run_pending_publication();
    EXPECT_TRUE(host.dispatched.empty());

    // Stopping from the stage publishes at once.
    calls.toggle_screen_share();
    EXPECT_EQ(host.take_kinds(), std::vector<std::string>{"SetScreenShare"});
    EXPECT_FALSE(host.participant("v1", "u_me")->sharing);
    EXPECT_EQ(host.share_stops, 1);
    EXPECT_FALSE(calls.screen_share_publish_pending());
}

TEST_F(CallControllerTest, ScreenShareStoppedByTheMediaLayerIsPublishedLater) {
    calls.join_call("v1");
    calls.toggle_screen_share();
    calls.screen_capture_answered({});
    calls.run_pending_publication();
    host.take_kinds();

    calls.drop_screen_share();
    EXPECT_FALSE(call().sharing);
    EXPECT_TRUE(host.dispatched.empty());
    calls.run_pending_publication();
    EXPECT_EQ(std::get<ChatAction::SetScreenShare>(last_action().value).sharing, false);
    EXPECT_FALSE(host.participant("v1", "u_me")->sharing);
}

TEST_F(CallControllerTest, ScreenCaptureFailuresBecomeTheMediaStatus) {
    calls.join_call("v1");
    host.capture_start_error = "no screen-capture portal";
    calls.toggle_screen_share();
    EXPECT_EQ(calls.media_status(), "no screen-capture portal");

    host.capture_start_error.reset();
    calls.toggle_screen_share();
    calls.screen_capture_answered(kavu::make_error("cancelled"));
    EXPECT_EQ(calls.media_status(), "cancelled");
    EXPECT_FALSE(call().sharing);
    EXPECT_FALSE(calls.screen_share_publish_pending());
}

TEST_F(CallControllerTest, AnAnswerAfterLeavingStartsNoShare) {
    calls.join_call("v1");
    calls.toggle_screen_share();
    calls.leave_call();
    calls.screen_capture_answered({});
    EXPECT_FALSE(call().sharing);
    EXPECT_FALSE(calls.screen_share_publish_pending());
}

TEST_F(CallControllerTest, StartCallJoinsTheFirstVoiceChannelInSidebarOrder) {
    // A second category ordered before "k" puts its voice channel first.
    doc::write_category(host.doc, "k0", "w", "Top", 0);
    doc::write_category(host.doc, "k", "w", "General", 1);
    doc::write_channel(host.doc, "v0", "w", "k0", "Top voice", "", true, 5);
    calls.start_call();
    EXPECT_EQ(call().channel, "v0");
    EXPECT_TRUE(call().in_call);

    host.take_kinds();
    calls.start_call(); // in a call: the stage expands and collapses
    EXPECT_TRUE(call().expanded);
    calls.start_call();
    EXPECT_FALSE(call().expanded);
    EXPECT_TRUE(host.dispatched.empty());
}

TEST_F(CallControllerTest, StartCallCreatesAVoiceChannelWhenTheWorkspaceHasNone) {
    doc::write_workspace(host.doc, "w3", "Empty", "E", 2, 2);
    doc::write_category(host.doc, "k3", "w3", "Only", 0);
    host.workspace = "w3";
    calls.start_call();

    ASSERT_FALSE(host.dispatched.empty());
    const auto& created = std::get<ChatAction::CreateChannel>(host.dispatched[0].action.value);
    EXPECT_EQ(created.name, "Voice");
    EXPECT_EQ(created.kind, ChannelKind::Voice);
    EXPECT_EQ(created.workspace, "w3");
    EXPECT_EQ(created.category, "k3");
    EXPECT_TRUE(created.id.starts_with("c_"));
    EXPECT_EQ(created.id.size(), 34u);
    EXPECT_EQ(call().channel, created.id);
    EXPECT_TRUE(host.participant(created.id, "u_me"));
}

TEST_F(CallControllerTest, StartCallInAWorkspaceThatIsGoneDoesNothing) {
    host.workspace = "gone";
    calls.start_call();
    EXPECT_TRUE(host.dispatched.empty());
    EXPECT_FALSE(call().in_call);
}

TEST_F(CallControllerTest, PendingLeaveWithdrawsEverythingWithoutACue) {
    calls.run_pending_leave(); // nothing pending
    calls.set_pending_leave();
    calls.run_pending_leave(); // pending but idle: only cleared
    EXPECT_FALSE(calls.has_pending_leave());
    EXPECT_TRUE(host.dispatched.empty());

    calls.join_call("v1");
    media->publish(MediaKind::Camera);
    media->publish(MediaKind::ScreenShare);
    calls.toggle_expanded();
    host.take_kinds();
    host.tones.clear();

    calls.set_pending_leave();
    calls.run_pending_leave();
    EXPECT_EQ(host.take_kinds(), std::vector<std::string>{"LeaveCall"});
    EXPECT_TRUE(media->published().empty());
    EXPECT_TRUE(host.tones.empty());
    EXPECT_FALSE(call().in_call);
    EXPECT_FALSE(call().expanded);
    EXPECT_TRUE(doc::call_participants(host.doc, "v1").empty());
}

TEST_F(CallControllerTest, PeersWithTicketsAreConnectedAndSubscribed) {
    doc::apply_action(host.doc, {ChatAction::JoinCall{.channel = "v1", .user = "u_a"}});
    doc::apply_action(host.doc, {ChatAction::SetCallTicket{.channel = "v1", .user = "u_a", .ticket = "T-a"}});
    doc::apply_action(host.doc, {ChatAction::JoinCall{.channel = "v1", .user = "u_b"}}); // no ticket yet
    doc::apply_action(host.doc, {ChatAction::JoinCall{.channel = "v2", .user = "u_c"}});
    doc::apply_action(host.doc, {ChatAction::SetCallTicket{.channel = "v2", .user = "u_c", .ticket = "T-c"}});

    calls.join_call("v1");
    EXPECT_THAT(media->subscriptions(), ElementsAre(Pair("u_a", MediaKind::Microphone)));
}

TEST_F(CallControllerTest, ResourceMuteChangesTheRecordButNotTheLocalMicrophone) {
    calls.join_call("v1");
    doc::apply_action(host.doc, {ChatAction::SetCallState{
                                    .channel = "v1", .user = "u_me", .talking = false, .muted = true}});
    EXPECT_TRUE(host.participant("v1", "u_me")->muted);
    EXPECT_FALSE(call().muted);
    // The next local toggle publishes from the local flags again.
    calls.toggle_audio_only();
    EXPECT_FALSE(host.participant("v1", "u_me")->muted);
}

} // namespace
} // namespace chat::testing
