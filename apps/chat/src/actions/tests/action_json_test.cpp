#include "actions/action_json.h"

#include <gtest/gtest.h>

namespace chat {
namespace {

using A = ChatAction;
using O = ChatOperation;

AgentWork sample_work() {
    return AgentWork{
        .state = {AgentWorkState::Doing{.did = "read", .about = "grid"}},
        .since = 1782471840,
        .reasoning = AgentReasoning{.route = ReasoningRoute::Floor, .why = "asked"},
        .trace = {AgentStep{.id = "s1",
                            .sequence = 1,
                            .resource = "chat.channel:c_crit",
                            .label = "Read",
                            .outcome = {AgentStepOutcome::Refused{.why = "no"}}}},
    };
}

struct ActionCase {
    const char* json;
    ChatAction action;
};

// One encoded example per variant, in variant order. Each must decode to the
// record and the record must encode back to exactly this text.
std::vector<ActionCase> action_cases() {
    return {
        {R"({"SendMessage":{"channel":"c","id":"m1","author":"u","ts":-5,"text":"hi @u","parent":"m0",)"
         R"("attachment":{"Video":{"name":"a.webm","blob":"b","w":1280,"h":720,"size":99}},)"
         R"("mentions":[{"user":"u","start":3,"len":2,"is_agent":true}],)"
         R"("reference":{"kind":"chat.channel","id":"c","label":"#c","span":{"start":1,"end":4,"unit":"Bytes"}}}})",
         {A::SendMessage{.channel = "c",
                         .id = "m1",
                         .author = "u",
                         .ts = -5,
                         .text = "hi @u",
                         .parent = "m0",
                         .attachment = Attachment{Attachment::Video{
                             .name = "a.webm", .blob = "b", .w = 1280, .h = 720, .size = 99}},
                         .mentions = {Mention{.user = "u", .start = 3, .len = 2, .is_agent = true}},
                         .reference =
                             ResourceRef{.kind = "chat.channel",
                                         .id = "c",
                                         .label = "#c",
                                         .span = Span{.start = 1, .end = 4, .unit = SpanUnit::Bytes}}}}},
        {R"({"EditMessage":{"channel":"c","id":"m","text":"t","ts":7}})",
         {A::EditMessage{.channel = "c", .id = "m", .text = "t", .ts = 7}}},
        {R"({"DeleteMessage":{"channel":"c","id":"m"}})", {A::DeleteMessage{.channel = "c", .id = "m"}}},
        {R"({"AddReaction":{"channel":"c","msg":"m","emoji":"❤️","user":"u"}})",
         {A::AddReaction{.channel = "c", .msg = "m", .emoji = "❤️", .user = "u"}}},
        {R"({"RemoveReaction":{"channel":"c","msg":"m","emoji":"👍","user":"u"}})",
         {A::RemoveReaction{.channel = "c", .msg = "m", .emoji = "👍", .user = "u"}}},
        {R"({"PinMessage":{"channel":"c","msg":"m","pinned":true}})",
         {A::PinMessage{.channel = "c", .msg = "m", .pinned = true}}},
        {R"({"CreateChannel":{"workspace":"w","category":"","id":"c","name":"n","kind":"Voice"}})",
         {A::CreateChannel{
             .workspace = "w", .category = "", .id = "c", .name = "n", .kind = ChannelKind::Voice}}},
        {R"({"CreateCategory":{"workspace":"w","id":"k","name":"n"}})",
         {A::CreateCategory{.workspace = "w", .id = "k", .name = "n"}}},
        {R"({"RenameCategory":{"id":"k","name":"n"}})", {A::RenameCategory{.id = "k", .name = "n"}}},
        {R"({"DeleteCategory":{"id":"k"}})", {A::DeleteCategory{.id = "k"}}},
        {R"({"SetCategoryCollapsed":{"id":"k","collapsed":true}})",
         {A::SetCategoryCollapsed{.id = "k", .collapsed = true}}},
        {R"({"ReorderChannel":{"id":"c","up":false}})", {A::ReorderChannel{.id = "c", .up = false}}},
        {R"({"RenameChannel":{"id":"c","name":"n"}})", {A::RenameChannel{.id = "c", .name = "n"}}},
        {R"({"DeleteChannel":{"id":"c"}})", {A::DeleteChannel{.id = "c"}}},
        {R"({"ArchiveChannel":{"id":"c","archived":true}})",
         {A::ArchiveChannel{.id = "c", .archived = true}}},
        {R"({"MarkRead":{"channel":"c","user":"u","count":3}})",
         {A::MarkRead{.channel = "c", .user = "u", .count = 3}}},
        {R"({"SetAgentWork":{"channel":"c","msg":"m","work":{"state":{"state":"doing","did":"read","about":"grid"},)"
         R"("since":1782471840,"reasoning":{"route":"floor","why":"asked"},"trace":[{"id":"s1","sequence":1,)"
         R"("resource":"chat.channel:c_crit","label":"Read","outcome":{"outcome":"refused","why":"no"}}]},"say":null}})",
         {A::SetAgentWork{.channel = "c", .msg = "m", .work = sample_work(), .say = std::nullopt}}},
        {R"({"JoinCall":{"channel":"c","user":"u"}})", {A::JoinCall{.channel = "c", .user = "u"}}},
        {R"({"LeaveCall":{"channel":"c","user":"u"}})", {A::LeaveCall{.channel = "c", .user = "u"}}},
        {R"({"SetCallState":{"channel":"c","user":"u","talking":true,"muted":false,"deafened":true,"audio_only":false}})",
         {A::SetCallState{.channel = "c",
                          .user = "u",
                          .talking = true,
                          .muted = false,
                          .deafened = true,
                          .audio_only = false}}},
        {R"({"SetScreenShare":{"channel":"c","user":"u","sharing":true}})",
         {A::SetScreenShare{.channel = "c", .user = "u", .sharing = true}}},
        {R"({"SetCallTicket":{"channel":"c","user":"u","ticket":"tk"}})",
         {A::SetCallTicket{.channel = "c", .user = "u", .ticket = "tk"}}},
    };
}

TEST(ActionJson, EveryVariantRoundTripsThroughItsExactText) {
    auto cases = action_cases();
    ASSERT_EQ(cases.size(), std::variant_size_v<decltype(ChatAction::value)>);
    for (size_t i = 0; i < cases.size(); ++i) {
        SCOPED_TRACE(cases[i].json);
        EXPECT_EQ(cases[i].action.value.index(), i);
        EXPECT_EQ(encode_json(cases[i].action), cases[i].json);
        auto decoded = decode_json<ChatAction>(cases[i].json);
        ASSERT_TRUE(decoded.ok()) << decoded.error_text();
        EXPECT_EQ(*decoded, cases[i].action);
    }
}

TEST(ActionJson, EveryOperationRoundTripsThroughItsExactText) {
    std::vector<std::pair<const char*, ChatOperation>> cases = {
        {R"({"OpenWorkspace":{"workspace":"w"}})", {O::OpenWorkspace{.workspace = "w"}}},
        {R"({"OpenChannel":{"workspace":"w","channel":"c"}})",
         {O::OpenChannel{.workspace = "w", .channel = "c"}}},
        {R"({"OpenCategory":{"workspace":"w","category":"k"}})",
         {O::OpenCategory{.workspace = "w", .category = "k"}}},
        {R"({"RevealMessage":{"workspace":"w","channel":"c","message":"m","parent":null}})",
         {O::RevealMessage{.workspace = "w", .channel = "c", .message = "m"}}},
        {R"({"OpenPerson":{"user":"u"}})", {O::OpenPerson{.user = "u"}}},
        {R"({"ImportAttachment":{"channel":"c","path":"/tmp/a b.png"}})",
         {O::ImportAttachment{.channel = "c", .path = "/tmp/a b.png"}}},
    };
    for (size_t i = 0; i < cases.size(); ++i) {
        SCOPED_TRACE(cases[i].first);
        EXPECT_EQ(cases[i].second.value.index(), i);
        EXPECT_EQ(encode_json(cases[i].second), cases[i].first);
        auto decoded = decode_operation("chat.operation", cases[i].first);
        ASSERT_TRUE(decoded.has_value());
        ASSERT_TRUE(decoded->ok()) << decoded->error_text();
        EXPECT_EQ(**decoded, cases[i].second);
    }
}

TEST(ActionJson, SendMessageOptionalFieldsMayBeMissingAndAreWrittenBack) {
    auto decoded =
        decode_json<ChatAction>(R"({"SendMessage":{"channel":"c","id":"m","author":"u","ts":1,"text":"x"}})");
    ASSERT_TRUE(decoded.ok()) << decoded.error_text();
    const auto& send = std::get<A::SendMessage>(decoded->value);
    EXPECT_FALSE(send.parent);
    EXPECT_FALSE(send.attachment);
    EXPECT_FALSE(send.reference);
    EXPECT_TRUE(send.mentions.empty());
    EXPECT_EQ(encode_json(*decoded),
              R"({"SendMessage":{"channel":"c","id":"m","author":"u","ts":1,"text":"x",)"
              R"("parent":null,"attachment":null,"mentions":[],"reference":null}})");
}

TEST(ActionJson, OptionalInputFieldsOutsideSendMessage) {
    auto work = decode_json<ChatAction>(
        R"({"SetAgentWork":{"channel":"c","msg":"m","work":{"state":{"state":"taken"},"since":0,"reasoning":null,"trace":[]}}})");
    ASSERT_TRUE(work.ok()) << work.error_text();
    EXPECT_FALSE(std::get<A::SetAgentWork>(work->value).say);

    auto reveal =
        decode_json<ChatOperation>(R"({"RevealMessage":{"workspace":"w","channel":"c","message":"m"}})");
    ASSERT_TRUE(reveal.ok()) << reveal.error_text();

    auto ref = decode_json<ResourceRef>(R"({"kind":"k","id":"i","label":"l"})");
    ASSERT_TRUE(ref.ok()) << ref.error_text();
    EXPECT_FALSE(ref->span);
}

TEST(ActionJson, UnknownKeysAreIgnored) {
    auto op = decode_json<ChatOperation>(R"({"OpenWorkspace":{"workspace":"w","extra":[1,{"x":2}]}})");
    ASSERT_TRUE(op.ok()) << op.error_text();
    EXPECT_EQ(*op, ChatOperation{O::OpenWorkspace{.workspace = "w"}});
}

TEST(ActionJson, DecodingFailuresCarryAReadableMessage) {
    struct Case {
        const char* json;
        const char* message_part;
    };
    const Case cases[] = {
        {R"({"SetCallState":{"channel":"c","user":"u","talking":true,"muted":false,"audio_only":false}})",
         "missing field \"deafened\""},
        {R"({"DeleteChannel":{"id":"a","id":"b"}})", "duplicate field \"id\""},
        {R"({"DeleteChannel":{"id":"a"},"DeleteChannel":{"id":"b"}})", "duplicate field \"DeleteChannel\""},
        {R"({"DeleteChannel":{"id":1}})", "invalid type: integer, expected a string for field \"id\""},
        {R"({"Explode":{"id":"a"}})", "unknown variant \"Explode\""},
        {R"({"MarkRead":{"channel":"c","user":"u","count":1.5}})", "expected i64"},
        {R"({"MarkRead":{"channel":"c","user":"u","count":9223372036854775808}})", "expected i64"},
        {R"({"PinMessage":{"channel":"c","msg":"m","pinned":"yes"}})", "expected a boolean"},
        {R"({"CreateChannel":{"workspace":"w","category":"","id":"c","name":"n","kind":"voice"}})",
         "unknown variant \"voice\""},
        {R"({"SendMessage":{"channel":"c","id":"m","author":"u","ts":1,"text":"x","mentions":null}})",
         "expected a sequence"},
        {R"({"SendMessage":{"channel":"c","id":"m","author":"u","ts":1,"text":"x",)"
         R"("attachment":{"Image":{"name":"n","blob":"b","w":-1,"h":1}}}})",
         "expected u32"},
        {R"({"SendMessage":{"channel":"c","id":"m","author":"u","ts":1,"text":"x",)"
         R"("attachment":{"Image":{"name":"n","blob":"b","w":4294967296,"h":1}}}})",
         "expected u32"},
        {R"({"SendMessage":{"channel":"c","id":"m","author":"u","ts":1,"text":"x",)"
         R"("mentions":[{"user":"u","start":-1,"len":1,"is_agent":false}]}})",
         "expected u64"},
        {R"({"JoinCall":{"channel":"c","user":"u"},"LeaveCall":{"channel":"c","user":"u"}})", "one key"},
        {R"({})", "one key"},
        {R"(["JoinCall"])", "invalid type: sequence"},
        {R"({"JoinCall":{"channel":"c","user":"u"})", "parse error"},
        {R"({"JoinCall":{"channel":"c","user":"u"}} x)", "parse error"},
        {R"({"SetAgentWork":{"channel":"c","msg":"m","work":{"state":{"state":"sleeping"},"since":0,)"
         R"("reasoning":null,"trace":[]}}})",
         "unknown variant \"sleeping\""},
        {R"({"SetAgentWork":{"channel":"c","msg":"m","work":{"state":{"state":"taken"},"since":0,"trace":[]}}})",
         "missing field \"reasoning\""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.json);
        auto decoded = decode_json<ChatAction>(c.json);
        ASSERT_FALSE(decoded.ok());
        EXPECT_NE(decoded.error_text().find(c.message_part), std::string::npos) << decoded.error_text();
    }
}

TEST(ActionJson, OperationDecoderIgnoresOtherKinds) {
    EXPECT_FALSE(decode_operation("chat.action", R"({"OpenPerson":{"user":"u"}})").has_value());
    EXPECT_FALSE(decode_operation("", "garbage").has_value());
    auto failed = decode_operation("chat.operation", R"({"OpenPerson":{}})");
    ASSERT_TRUE(failed.has_value());
    ASSERT_FALSE(failed->ok());
    EXPECT_EQ(failed->error_text(), "missing field \"user\"");
}

TEST(ActionJson, AttachmentVariantsAndContinuation) {
    Attachment image{Attachment::Image{.name = "a.png", .blob = "k", .w = 1, .h = 2}};
    Attachment file{Attachment::File{.name = "a.md", .blob = "k", .size = 3}};
    EXPECT_EQ(encode_json(image), R"({"Image":{"name":"a.png","blob":"k","w":1,"h":2}})");
    EXPECT_EQ(encode_json(file), R"({"File":{"name":"a.md","blob":"k","size":3}})");
    EXPECT_EQ(*decode_json<Attachment>(encode_json(file)), file);

    ChatCallContinuation continuation{.workspace_id = "w",
                                      .channel_id = "c",
                                      .media = {.microphone = true, .screen_share = true},
                                      .controls = {.camera_muted = true}};
    const char* text = R"({"workspace_id":"w","channel_id":"c","media":{"microphone":true,"camera":false,)"
                       R"("screen_share":true,"share_audio":false},"controls":{"microphone_muted":false,)"
                       R"("camera_muted":true,"screen_share_paused":false,"share_audio_muted":false}})";
    EXPECT_EQ(encode_json(continuation), text);
    EXPECT_EQ(*decode_json<ChatCallContinuation>(text), continuation);
    EXPECT_FALSE(
        decode_json<ChatCallContinuation>(R"({"workspace_id":"w","channel_id":"c","media":{}})").ok());
}

TEST(ActionJson, AgentWorkPartsHaveTheirTaggedForms) {
    EXPECT_EQ(
        encode_json(StoredAgentTransition{.state = {AgentWorkState::Waiting{.app = "Files"}}, .since = 9}),
        R"({"state":{"state":"waiting","app":"Files"},"since":9})");
    EXPECT_EQ(encode_json(AgentStepOutcome{AgentStepOutcome::NoChange{}}), R"({"outcome":"no_change"})");
    EXPECT_EQ(encode_json(std::optional<AgentReasoning>{}), "null");
    EXPECT_EQ(*decode_json<std::optional<AgentReasoning>>("null"), std::nullopt);
    EXPECT_EQ(encode_json(sample_work()), dump_compact(to_json(sample_work())));
    EXPECT_EQ(*decode_json<AgentWork>(encode_json(sample_work())), sample_work());
}

TEST(ActionJson, InvalidUtf8IsReplacedRatherThanAborting) {
    ChatAction action{A::RenameChannel{.id = "c", .name = std::string("a\xff")}};
    EXPECT_EQ(encode_json(action), "{\"RenameChannel\":{\"id\":\"c\",\"name\":\"a\xEF\xBF\xBD\"}}");
}

} // namespace
} // namespace chat
