#include "call/tests/call_fixture.h"

#include "actions/action_json.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace chat::testing {
namespace {

// A backend with a ticket of its choosing, as a new process would have.
class TicketMediaNet final : public MediaNet {
public:
    explicit TicketMediaNet(std::string ticket) : m_ticket(std::move(ticket)) {}
    bool is_networked() const override { return true; }
    std::string ticket() const override { return m_ticket; }
    bool connect(std::string_view) override { return true; }
    void publish(MediaKind) override {}
    void unpublish(MediaKind) override {}
    void subscribe(std::string_view, MediaKind) override {}
    bool send(const MediaPacket&) override { return false; }
    std::vector<MediaPacket> drain() override { return {}; }

private:
    std::string m_ticket;
};

std::vector<CallContinuityEvent> take_events(CallController& calls) {
    std::vector<CallContinuityEvent> out;
    while (auto e = calls.continuity_events().pop())
        out.push_back(std::move(*e));
    return out;
}

class CallContinuationTest : public ::testing::Test, public CallFixture {};

TEST_F(CallContinuationTest, SnapshotOfAnAudioOnlySharingCall) {
    EXPECT_FALSE(calls.continuation_snapshot());
    calls.toggle_audio_only();
    calls.toggle_mute();
    calls.join_call("v1");
    calls.toggle_screen_share();
    calls.screen_capture_answered({});

    EXPECT_EQ(calls.continuation_snapshot(),
              R"({"workspace_id":"w","channel_id":"v1",)"
              R"("media":{"microphone":true,"camera":false,"screen_share":true,"share_audio":false},)"
              R"("controls":{"microphone_muted":true,"camera_muted":true,"screen_share_paused":false,)"
              R"("share_audio_muted":true}})");
}

TEST_F(CallContinuationTest, NoSnapshotOnceTheChannelOrItsWorkspaceIsGone) {
    calls.join_call("v1");
    ASSERT_TRUE(calls.continuation_snapshot());
    doc::apply_action(host.doc, {ChatAction::DeleteChannel{.id = "v1"}});
    EXPECT_FALSE(calls.continuation_snapshot());
}

TEST_F(CallContinuationTest, OneStartedEventPerCall) {
    calls.join_call("v1");
    calls.join_call("v1"); // the same call
    calls.toggle_mute();
    auto events = take_events(calls);
    ASSERT_EQ(events.size(), 1u);
    auto started = std::get<continuity::CallStarted>(events[0].value);
    EXPECT_EQ(decode_json<ChatCallContinuation>(started.snapshot)->channel_id, "v1");

    calls.join_call("v2"); // a switch is a new call
    EXPECT_EQ(take_events(calls).size(), 1u);
    calls.leave_call();
    calls.join_call("v2");
    EXPECT_EQ(take_events(calls).size(), 1u);
}

TEST_F(CallContinuationTest, RestoreRefusesWhatCannotBeResumed) {
    auto text = [](std::string workspace, std::string channel) {
        return encode_json(ChatCallContinuation{.workspace_id = workspace, .channel_id = channel});
    };
    const std::pair<const char*, std::string> refused[] = {
        {"not JSON", "{"},
        {"missing fields", R"({"workspace_id":"w"})"},
        {"unknown workspace", text("nope", "v1")},
        {"text channel", text("w", "t")},
        {"voice channel of another workspace", text("w", "x")},
        {"unknown channel", text("w", "v9")},
    };
    for (const auto& [name, json] : refused) {
        EXPECT_FALSE(calls.restore_continuation(json)) << name;
        EXPECT_FALSE(calls.stored_continuation()) << name;
    }
    EXPECT_TRUE(calls.restore_continuation(text("w2", "x")));
    EXPECT_EQ(calls.stored_continuation()->channel_id, "x");
}

TEST_F(CallContinuationTest, RoundTripIntoAFreshControllerResumesWithoutWritingTheSameRecord) {
    calls.toggle_audio_only();
    calls.toggle_mute();
    calls.join_call("v2");
    std::string snapshot = *calls.continuation_snapshot();

    // The same process's document, a new controller (the old one is gone).
    CallController resumed(host, std::make_unique<SimMediaNet>());
    ASSERT_TRUE(resumed.restore_continuation(snapshot));
    resumed.run_pending_resume(); // no resume event yet
    EXPECT_FALSE(resumed.call().in_call);

    host.take_kinds();
    resumed.request_resume();
    resumed.run_pending_resume();
    EXPECT_EQ(
        resumed.call(),
        (LocalCall{
            .in_call = true, .channel = "v2", .participants_open = true, .muted = true, .audio_only = true}));
    EXPECT_TRUE(host.dispatched.empty());
    auto events = take_events(resumed);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(std::get<continuity::CallStateChanged>(events[0].value).snapshot, snapshot);
    EXPECT_FALSE(resumed.stored_continuation());
}

TEST_F(CallContinuationTest, ResumeInANewProcessWritesItsNewTicket) {
    calls.join_call("v1");
    std::string snapshot = *calls.continuation_snapshot();
    host.take_kinds();

    CallController resumed(host, std::make_unique<TicketMediaNet>(R"({"id":"n2","addrs":[]})"));
    ASSERT_TRUE(resumed.restore_continuation(snapshot));
    resumed.request_resume();
    resumed.run_pending_resume();
    EXPECT_EQ(host.take_kinds(), std::vector<std::string>{"SetCallTicket"});
    EXPECT_EQ(host.participant("v1", "u_me")->ticket, R"({"id":"n2","addrs":[]})");
}

TEST_F(CallContinuationTest, ResumeAfterTheRecordWasRemovedJoinsAgain) {
    std::string snapshot = encode_json(ChatCallContinuation{
        .workspace_id = "w", .channel_id = "v1", .media = {.microphone = true, .camera = true}});
    ASSERT_TRUE(calls.restore_continuation(snapshot));
    calls.request_resume();
    calls.run_pending_resume();
    EXPECT_EQ(host.take_kinds(), (std::vector<std::string>{"JoinCall", "SetCallTicket", "SetCallState"}));
    EXPECT_FALSE(call().audio_only);
    EXPECT_TRUE(host.participant("v1", "u_me"));
}

TEST_F(CallContinuationTest, CameraFacetOffMeansAudioOnlyWhateverTheControl) {
    struct Case {
        bool camera;
        bool camera_muted;
        bool audio_only;
    };
    for (Case c : {Case{true, false, false}, Case{true, true, true}, Case{false, false, true}}) {
        CallFixture f;
        ASSERT_TRUE(f.calls.restore_continuation(
            encode_json(ChatCallContinuation{.workspace_id = "w",
                                             .channel_id = "v1",
                                             .media = {.microphone = true, .camera = c.camera},
                                             .controls = {.camera_muted = c.camera_muted}})));
        f.calls.request_resume();
        f.calls.run_pending_resume();
        EXPECT_EQ(f.call().audio_only, c.audio_only) << c.camera << c.camera_muted;
    }
}

class ResumeWithShareTest : public CallContinuationTest {
protected:
    void restore_sharing_call() {
        calls.join_call("v1");
        calls.toggle_screen_share();
        calls.screen_capture_answered({});
        calls.run_pending_publication();
        std::string snapshot = *calls.continuation_snapshot();
        calls.leave_call();
        // Still listed in the call, as after a restart.
        doc::apply_action(host.doc, {ChatAction::JoinCall{.channel = "v1", .user = "u_me"}});
        take_events(calls);
        host.take_kinds();
        ASSERT_TRUE(calls.restore_continuation(snapshot));
        calls.request_resume();
    }
};

TEST_F(ResumeWithShareTest, AnsweredCaptureResumesSharing) {
    restore_sharing_call();
    calls.run_pending_resume();
    EXPECT_EQ(host.capture_requests, 2);
    EXPECT_TRUE(take_events(calls).empty());

    calls.screen_capture_answered({});
    EXPECT_TRUE(call().sharing);
    auto events = take_events(calls);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_TRUE(std::holds_alternative<continuity::CallStateChanged>(events[0].value));
    calls.run_pending_publication();
    EXPECT_TRUE(host.participant("v1", "u_me")->sharing);
}

TEST_F(ResumeWithShareTest, FailedCaptureDropsTheCallAndReportsWhy) {
    struct Case {
        const char* name;
        bool fail_to_start;
    };
    for (Case c : {Case{"refused to start", true}, Case{"answered with an error", false}}) {
        CallFixture f;
        auto& host = f.host;
        auto& calls = f.calls;
        calls.join_call("v1");
        calls.toggle_screen_share();
        calls.screen_capture_answered({});
        std::string snapshot = *calls.continuation_snapshot();
        calls.leave_call();
        doc::apply_action(host.doc, {ChatAction::JoinCall{.channel = "v1", .user = "u_me"}});
        take_events(calls);
        ASSERT_TRUE(calls.restore_continuation(snapshot));
        calls.request_resume();

        if (c.fail_to_start)
            host.capture_start_error = "portal unavailable";
        calls.run_pending_resume();
        if (!c.fail_to_start)
            calls.screen_capture_answered(kavu::make_error("portal unavailable"));

        EXPECT_FALSE(calls.call().in_call) << c.name;
        EXPECT_FALSE(calls.call().sharing) << c.name;
        auto events = take_events(calls);
        ASSERT_EQ(events.size(), 1u) << c.name;
        EXPECT_EQ(std::get<continuity::CallResumeFailed>(events[0].value).error, "portal unavailable")
            << c.name;
        // Nobody is behind the record any more.
        EXPECT_FALSE(host.participant("v1", "u_me")) << c.name;
    }
}

TEST(CallContinuityQueue, DropsTheOldestBeyondItsCapacity) {
    CallContinuityQueue queue;
    for (size_t i = 0; i < CallContinuityQueue::kCapacity + 2; ++i)
        queue.push({continuity::CallResumeFailed{.error = std::to_string(i)}});
    EXPECT_EQ(queue.size(), CallContinuityQueue::kCapacity);
    EXPECT_EQ(std::get<continuity::CallResumeFailed>(queue.pop()->value).error, "2");
}

} // namespace
} // namespace chat::testing
