#include <kavu_actions/action_host.h>
#include <crdt/document.h>

#include <gtest/gtest.h>
#include <spdlog/sinks/ringbuffer_sink.h>
#include <spdlog/spdlog.h>

using namespace kavu::actions;
using nlohmann::json;

namespace {

// Puts a text under a key of the root map; optionally fails after editing,
// to show that a failed action leaves nothing behind.
class PutText final : public ApplicableAction {
public:
    PutText(std::string key, std::string value, bool fail = false, bool ephemeral = false)
        : m_key(std::move(key)), m_value(std::move(value)), m_fail(fail), m_ephemeral(ephemeral) {}

    std::string debug_string() const override { return "PutText(" + m_key + "=" + m_value + ")"; }
    kavu::Result<void> apply(crdt::Document& doc) const override {
        if (auto put = doc.put(crdt::ObjId::root(), m_key, m_value); !put)
            return put.error();
        if (m_fail)
            return kavu::make_error("the channel is archived");
        return {};
    }
    bool is_ephemeral() const override { return m_ephemeral; }

private:
    std::string m_key, m_value;
    bool m_fail, m_ephemeral;
};

// An action that finds nothing to change.
class Nothing final : public ApplicableAction {
public:
    std::string debug_string() const override { return "Nothing"; }
    kavu::Result<void> apply(crdt::Document&) const override { return {}; }
};

std::optional<std::string> text_at(const crdt::Document& doc, std::string_view key) {
    auto value = doc.get(crdt::ObjId::root(), key);
    if (!value || !value->str())
        return std::nullopt;
    return *value->str();
}

ActionContext context_for(std::string id) {
    return {.label = "Put " + id, .resource_kind = "test.key", .resource_id = std::move(id), .time = 100};
}

// Captures what dispatch logs.
class LogCapture {
public:
    LogCapture() : m_sink(std::make_shared<spdlog::sinks::ringbuffer_sink_mt>(16)) {
        spdlog::default_logger()->sinks().push_back(m_sink);
    }
    ~LogCapture() {
        auto& sinks = spdlog::default_logger()->sinks();
        sinks.erase(std::remove(sinks.begin(), sinks.end(), m_sink), sinks.end());
    }
    std::vector<std::string> lines() { return m_sink->last_formatted(); }
    std::vector<spdlog::level::level_enum> levels() {
        std::vector<spdlog::level::level_enum> out;
        for (const auto& msg : m_sink->last_raw())
            out.push_back(msg.level);
        return out;
    }
    std::vector<std::string> payloads() {
        std::vector<std::string> out;
        for (const auto& msg : m_sink->last_raw())
            out.emplace_back(msg.payload.data(), msg.payload.size());
        return out;
    }

private:
    std::shared_ptr<spdlog::sinks::ringbuffer_sink_mt> m_sink;
};

const ActionContext kDefaults{.app_id = "org.kavu.Chat", .app_name = "Chat"};

TEST(ActionHost, DispatchAppliesLocallyAndReportsTheChange) {
    crdt::Document doc;
    ActionHost host(kDefaults);
    auto start = doc.heads();

    auto first = host.dispatch_with_context(doc, "test.action", PutText("a", "1"), context_for("a"));
    ASSERT_TRUE(first) << first.error_text();
    EXPECT_EQ(text_at(doc, "a"), "1");
    EXPECT_EQ(doc.pending_ops(), 0u) << "the action's change is committed";
    EXPECT_EQ(first->seq, 1u);
    EXPECT_EQ(first->kind, "test.action");
    EXPECT_EQ(first->address, (ActionAddress{"test.key", "a"}));
    EXPECT_EQ(first->label, "Put a");
    EXPECT_EQ(first->heads_before, start);
    EXPECT_EQ(first->heads_after, doc.heads());
    EXPECT_EQ(first->time, 100);

    auto second = host.dispatch_with_context(doc, "test.action", PutText("b", "2"), context_for("b"));
    ASSERT_TRUE(second);
    EXPECT_EQ(second->heads_before, first->heads_after);
    ASSERT_EQ(host.changes().size(), 2u);
    EXPECT_EQ(host.changes().back(), *second);

    // The checkpoint holds the heads from before the first change since the
    // last take, and is handed over once.
    EXPECT_EQ(host.take_checkpoint(), start);
    EXPECT_EQ(host.take_checkpoint(), std::nullopt);
    ASSERT_TRUE(host.dispatch(doc, "test.action", PutText("c", "3")));
    EXPECT_EQ(host.take_checkpoint(), second->heads_after);
    EXPECT_EQ(host.changes().back().label, "") << "no context, no label";
}

TEST(ActionHost, AFailedDispatchIsLoggedAndChangesNothing) {
    LogCapture log;
    crdt::Document doc;
    ActionHost host(kDefaults);
    // A draft typed outside any action is pending when the action fails.
    ASSERT_TRUE(doc.put(crdt::ObjId::root(), "draft", std::string("hello")));

    auto failed = host.dispatch_with_context(doc, "test.action", PutText("a", "1", true), context_for("a"));
    ASSERT_FALSE(failed);
    EXPECT_EQ(failed.error(),
              (ActionError{.kind = ActionError::Kind::Apply, .text = "the channel is archived"}));
    EXPECT_EQ(text_at(doc, "a"), std::nullopt);
    EXPECT_EQ(text_at(doc, "draft"), "hello") << "only the failed action's edits are rolled back";
    EXPECT_FALSE(host.has_checkpoint());
    EXPECT_TRUE(host.changes().empty());
    EXPECT_EQ(log.payloads(), std::vector<std::string>{"action dispatch failed: the channel is archived"});
    EXPECT_EQ(log.levels(), std::vector<spdlog::level::level_enum>{spdlog::level::warn});

    // The caller carries on: the next dispatch works.
    EXPECT_TRUE(host.dispatch_with_context(doc, "test.action", PutText("a", "2"), context_for("a")));
    EXPECT_EQ(text_at(doc, "a"), "2");
}

TEST(ActionHost, ChangesThatChangeNothingOrAreEphemeralAreNotReported) {
    crdt::Document doc;
    ActionHost host(kDefaults);
    auto nothing = host.dispatch_with_context(doc, "test.action", Nothing(), context_for("x"));
    ASSERT_TRUE(nothing);
    EXPECT_EQ(nothing->seq, 0u);
    auto cursor = host.dispatch_with_context(doc, "test.action", PutText("cursor", "4", false, true),
                                             context_for("cursor"));
    ASSERT_TRUE(cursor);
    EXPECT_EQ(text_at(doc, "cursor"), "4");
    EXPECT_TRUE(host.changes().empty());
    EXPECT_FALSE(host.has_checkpoint());
}

TEST(ActionHost, TheChangeLogIsBounded) {
    crdt::Document doc;
    ActionHost host(kDefaults, 3);
    for (int i = 0; i < 5; i++) {
        auto key = "k" + std::to_string(i);
        ASSERT_TRUE(host.dispatch_with_context(doc, "test.action", PutText(key, "v"), context_for(key)));
    }
    ASSERT_EQ(host.changes().size(), 3u);
    EXPECT_EQ(host.changes().front().seq, 3u);
    EXPECT_EQ(host.changes().front().address.id, "k2");
    EXPECT_EQ(host.changes().back().seq, 5u);
}

TEST(ActionHost, AGestureRecordsTheHeadsFromBeforeItsFirstAction) {
    crdt::Document doc;
    ActionHost host(kDefaults);
    ASSERT_TRUE(
        host.dispatch_with_context(doc, "test.action", PutText("before", "0"), context_for("before")));
    auto start = doc.heads();
    {
        bound_dispatch::Scope gesture(host, doc);
        EXPECT_EQ(bound_dispatch::typed_action_before(host), start);
        for (std::string key : {"join", "ticket"})
            ASSERT_TRUE(host.dispatch_with_context(doc, "test.action", PutText(key, "1"), context_for(key)));
        {
            bound_dispatch::Scope inner(host, doc);
            ASSERT_TRUE(
                host.dispatch_with_context(doc, "test.action", PutText("state", "1"), context_for("state")));
        }
        // An action inside the gesture that changes nothing is not reported.
        ASSERT_TRUE(host.dispatch_with_context(doc, "test.action", Nothing(), context_for("x")));
    }
    EXPECT_EQ(bound_dispatch::typed_action_before(host), std::nullopt);
    ASSERT_EQ(host.changes().size(), 4u);
    for (size_t i = 1; i < 4; i++)
        EXPECT_EQ(host.changes()[i].heads_before, start) << i;

    auto after = doc.heads();
    ASSERT_TRUE(host.dispatch_with_context(doc, "test.action", PutText("later", "1"), context_for("later")));
    EXPECT_EQ(host.changes().back().heads_before, after);
}

TEST(ActionHost, EncodedActionsGoThroughTheRegistry) {
    LogCapture log;
    ActionRegistry registry;
    registry.register_decoder(
        "test.action", [](std::string_view payload) -> kavu::Result<std::unique_ptr<ApplicableAction>> {
            auto parsed = json::parse(payload, nullptr, false);
            if (parsed.is_discarded() || !parsed.contains("Put"))
                return kavu::make_error("syntax error");
            const auto& put = parsed["Put"];
            return std::unique_ptr<ApplicableAction>(
                std::make_unique<PutText>(put.value("key", ""), put.value("value", "")));
        });
    registry.register_decoder(
        "test.throwing", [](std::string_view payload) -> kavu::Result<std::unique_ptr<ApplicableAction>> {
            auto parsed = json::parse(payload); // throws on bad input
            (void)parsed;
            return kavu::make_error("unreachable");
        });
    EXPECT_TRUE(registry.has("test.action"));
    EXPECT_FALSE(registry.has("test.other"));

    crdt::Document doc;
    ActionHost host(kDefaults);
    auto spec =
        ActionSpec::action("put", "Put", "test.action", json{{"Put", {{"key", "a"}, {"value", "1"}}}});
    auto done = host.dispatch_encoded(doc, registry, spec.encode(), context_for("a"));
    ASSERT_TRUE(done) << done.error_text();
    EXPECT_EQ(text_at(doc, "a"), "1");

    struct Case {
        EncodedAction encoded;
        ActionError error;
    };
    const Case cases[] = {
        {{.kind = "test.action", .payload = "{\"Put\":"},
         {.kind = ActionError::Kind::Decode,
          .text = "could not decode a \"test.action\" action: syntax error",
          .action_kind = "test.action",
          .parser_text = "syntax error"}},
        {{.kind = "test.other", .payload = "{}"},
         {.kind = ActionError::Kind::UnknownKind,
          .text = "no decoder is registered for the action kind \"test.other\"",
          .action_kind = "test.other"}},
    };
    for (const auto& c : cases) {
        auto failed = host.dispatch_encoded(doc, registry, c.encoded, {});
        ASSERT_FALSE(failed);
        EXPECT_EQ(failed.error(), c.error);
    }
    auto thrown = registry.decode("test.throwing", "[1,");
    ASSERT_FALSE(thrown);
    EXPECT_EQ(thrown.error().kind, ActionError::Kind::Decode);
    EXPECT_TRUE(thrown.error_text().starts_with("could not decode a \"test.throwing\" action: "));
    EXPECT_EQ(log.payloads().size(), 2u);
}

TEST(ActionHost, DispatchGoesThroughTheHostsTransport) {
    struct Recording final : Transport {
        std::vector<std::string> seen;
        ActionResult<void> replicate(crdt::Document& doc, std::string_view kind,
                                     const ApplicableAction& action, const ActionContext& context) override {
            seen.push_back(std::string(kind) + " " + action.debug_string() + " " + context.app_id);
            return LocalTransport().replicate(doc, kind, action, context);
        }
    };
    auto transport = std::make_unique<Recording>();
    auto* recording = transport.get();
    crdt::Document doc;
    ActionHost host(kDefaults);
    host.set_transport(std::move(transport));
    ASSERT_TRUE(host.dispatch_with_context(doc, "test.action", PutText("a", "1"), context_for("a")));
    EXPECT_EQ(recording->seen, std::vector<std::string>{"test.action PutText(a=1) org.kavu.Chat"});

    // dispatch_by alone applies without any host bookkeeping.
    LocalTransport local;
    ASSERT_TRUE(dispatch_by(local, doc, "test.action", PutText("b", "2")));
    EXPECT_EQ(text_at(doc, "b"), "2");
    EXPECT_EQ(host.changes().size(), 1u);
}

} // namespace
