#include "doc/agent_work_store.h"

#include "actions/action_json.h"
#include "doc_fixture.h"

#include <gtest/gtest.h>

namespace chat::doc {
namespace {

using A = ChatAction;
using testing::DocFixture;

AgentStep step(std::string id, uint64_t sequence, std::string resource = "r",
               AgentStepOutcome outcome = {AgentStepOutcome::Applied{}}) {
    return AgentStep{.id = std::move(id),
                     .sequence = sequence,
                     .resource = std::move(resource),
                     .label = "L",
                     .outcome = std::move(outcome)};
}

AgentWork doing() {
    return AgentWork{.state = {AgentWorkState::Doing{.did = "read", .about = "grid"}},
                     .since = 100,
                     .reasoning = AgentReasoning{.route = ReasoningRoute::Model, .why = "asked"},
                     .trace = {step("a", 1)}};
}

struct AgentWorkFixture : DocFixture, ::testing::Test {
    AgentWorkFixture() {
        channel("c");
        apply(send("c", "m", ""));
        m = *find_message(doc, "c", "m");
    }
    void set(AgentWork work, std::optional<std::string> say = std::nullopt) {
        apply(A::SetAgentWork{.channel = "c", .msg = "m", .work = std::move(work), .say = std::move(say)});
    }
    std::optional<AgentWork> work() { return read_agent_work(doc, m); }
    ObjId work_map() { return *find_map(doc, m, "work"); }
    ObjId m;
};

TEST_F(AgentWorkFixture, RoundTripsAndSecondWriteIsSilent) {
    set(doing());
    EXPECT_EQ(work(), doing());
    EXPECT_EQ(read_messages(doc, "c").at(0).work, doing());
    settle();
    set(doing());
    EXPECT_EQ(writes(), 0u);
}

TEST_F(AgentWorkFixture, WritesOnlyWhatChanged) {
    set(doing());
    settle();
    AgentWork done = doing();
    done.state = {AgentWorkState::Done{.did = "read"}};
    set(done);
    EXPECT_EQ(writes(), 1u) << "only the transition is rewritten";
    EXPECT_EQ(work(), done);

    settle();
    AgentWork changed = done;
    changed.trace[0].resource = "elsewhere";
    changed.trace[0].outcome = {AgentStepOutcome::Refused{.why = "no"}};
    set(changed);
    AgentWork expected = changed;
    expected.trace[0].resource = "r";
    EXPECT_EQ(work(), expected) << "identity fields are written once per step id";
}

TEST_F(AgentWorkFixture, StepsAreNeverDeletedAndSortBySequenceThenId) {
    AgentWork w = doing();
    w.trace = {step("b", 2), step("c", 1), step("a", 1), step("", 0)};
    set(w);
    w.trace = {step("d", 0)};
    set(w);
    std::vector<std::string> ids;
    auto stored = work();
    for (const AgentStep& s : stored->trace)
        ids.push_back(s.id);
    EXPECT_EQ(ids, (std::vector<std::string>{"d", "a", "c", "b"}));
}

TEST_F(AgentWorkFixture, SayFillsAnEmptyTextOnce) {
    set(doing(), "On it");
    EXPECT_EQ(read_messages(doc, "c").at(0).text, "On it");
    AgentWork later = doing();
    later.since = 200;
    set(later, "Again");
    EXPECT_EQ(read_messages(doc, "c").at(0).text, "On it");
}

TEST_F(AgentWorkFixture, OlderLayoutsStillRead) {
    ObjId w = ensure_map(doc, m, "work");
    ObjId state = ensure_map(doc, w, "state");
    put_str(doc, state, "kind", "waiting");
    put_str(doc, state, "app", "Files");
    put_int(doc, w, "since", 42);
    ObjId reasoning = ensure_map(doc, w, "reasoning");
    put_bool(doc, reasoning, "present", true);
    put_str(doc, reasoning, "route", "floor");
    put_str(doc, reasoning, "why", "quiet");
    ObjId trace = ensure_map(doc, w, "trace");
    auto add = [&](std::string_view key, bool present, std::string_view outcome, int64_t sequence) {
        ObjId s = ensure_map(doc, trace, key);
        put_bool(doc, s, "present", present);
        put_str(doc, s, "outcome", outcome);
        put_int(doc, s, "sequence", sequence);
        put_str(doc, s, "why", "denied");
        return s;
    };
    add("00000007", true, "refused", 1);
    add("hidden", false, "applied", 0);
    add("odd", true, "exploded", 0);
    add("json", true, R"({"outcome":"no_change"})", 2);

    AgentWork expected{
        .state = {AgentWorkState::Waiting{.app = "Files"}},
        .since = 42,
        .reasoning = AgentReasoning{.route = ReasoningRoute::Floor, .why = "quiet"},
        .trace = {AgentStep{.id = "legacy_step_00000007",
                            .sequence = 1,
                            .outcome = {AgentStepOutcome::Refused{.why = "denied"}}},
                  AgentStep{.id = "json", .sequence = 2, .outcome = {AgentStepOutcome::NoChange{}}}},
    };
    EXPECT_EQ(work(), expected);

    // The next write supersedes the numbered steps.
    AgentWork next = doing();
    set(next);
    auto after = work();
    ASSERT_TRUE(after);
    for (const AgentStep& s : after->trace)
        EXPECT_NE(s.id, "legacy_step_00000007");
    EXPECT_EQ(after->state, next.state);
}

TEST_F(AgentWorkFixture, UnexplainedWorkReadsAsNone) {
    ObjId w = ensure_map(doc, m, "work");
    put_str(doc, ensure_map(doc, w, "state"), "kind", "pondering");
    EXPECT_EQ(work(), std::nullopt);
    put_str(doc, w, "transition", "{broken");
    EXPECT_EQ(work(), std::nullopt);
    put_str(doc, w, "transition",
            encode_json(StoredAgentTransition{.state = {AgentWorkState::Taken{}}, .since = 1}));
    ASSERT_TRUE(work());
    EXPECT_EQ(work()->reasoning, std::nullopt);
    put_str(doc, w, "reasoning", "{broken");
    EXPECT_EQ(work()->reasoning, std::nullopt);
}

TEST_F(AgentWorkFixture, WholeRecordAsJsonTextIsTheOldestLayout) {
    put_str(doc, m, "work", encode_json(doing()));
    EXPECT_EQ(work(), doing());
    put_str(doc, m, "work", "");
    EXPECT_EQ(work(), std::nullopt);
    put_str(doc, m, "work", "{}");
    EXPECT_EQ(work(), std::nullopt);
    put_str(doc, m, "work", encode_json(doing()));
    AgentWork next = doing();
    next.since = 5;
    set(next);
    EXPECT_TRUE(find_map(doc, m, "work")) << "a write replaces the text with the map layout";
    EXPECT_EQ(work(), next);
}

} // namespace
} // namespace chat::doc
