// Timed workloads of the document engine, one figure per line:
// "name value unit".
//
//   crdt_bench [editing-trace.json [trace|chat]]
//
// (a) the editing trace applied to one text object, in one transaction and
//     with a commit per edit, then save and load; (b) a chat document of 20
//     channels and 100,000 messages, one commit per message, then save, load
//     and reading one channel into plain records.

#include <crdt/document.h>

#include <nlohmann/json.hpp>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using crdt::Document;
using crdt::ObjId;
using crdt::ObjType;

// Wall time, and the CPU time of this thread over the same span: the machine
// is shared, so CPU time is the steadier figure of the two.
struct Timer {
    Clock::time_point wall = Clock::now();
    double cpu = thread_cpu_ms();

    static double thread_cpu_ms() {
        timespec ts{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
        return double(ts.tv_sec) * 1e3 + double(ts.tv_nsec) / 1e6;
    }
};

struct Span {
    double wall_ms;
    double cpu_ms;
};

Span ms_since(const Timer& t) {
    return {std::chrono::duration<double, std::milli>(Clock::now() - t.wall).count(),
            Timer::thread_cpu_ms() - t.cpu};
}

void figure(const char* name, double value, const char* unit) {
    std::printf("%s %.2f %s\n", name, value, unit);
}
void figure(const char* name, Span span, const char*) {
    std::printf("%s %.2f ms\n", name, span.wall_ms);
    std::printf("%s_cpu %.2f ms\n", name, span.cpu_ms);
}
void figure(const char* name, size_t value, const char* unit) {
    std::printf("%s %zu %s\n", name, value, unit);
}

struct Edit {
    size_t pos;
    size_t del;
    std::string insert;
};

struct Trace {
    std::string end;
    std::vector<Edit> edits;
};

bool read_trace(const std::string& path, Trace& out) {
    std::ifstream in(path);
    if (!in)
        return false;
    auto json = nlohmann::json::parse(in, nullptr, false);
    if (json.is_discarded())
        return false;
    out.end = json.at("endContent").get<std::string>();
    for (const auto& t : json.at("txns"))
        out.edits.push_back({t.at(0).get<size_t>(), t.at(1).get<size_t>(), t.at(2).get<std::string>()});
    return true;
}

void fail(const char* what) {
    std::fprintf(stderr, "crdt_bench: %s\n", what);
    std::exit(1);
}

void trace_workload(const Trace& trace, bool commit_each, const char* label) {
    Document doc;
    auto text = doc.put_object(ObjId::root(), "text", ObjType::Text);
    if (!text)
        fail("put text");
    doc.commit();
    Timer start;
    for (const Edit& e : trace.edits) {
        if (!doc.splice_text(*text, e.pos, e.del, e.insert).ok())
            fail("splice");
        if (commit_each)
            doc.commit();
    }
    doc.commit();
    Span apply_ms = ms_since(start);
    if (doc.text(*text) != trace.end)
        fail("final text differs from the trace's end");
    start = Timer();
    auto bytes = doc.save();
    Span save_ms = ms_since(start);
    start = Timer();
    auto loaded = Document::load(bytes);
    Span load_ms = ms_since(start);
    if (!loaded || loaded->text(*text) != trace.end)
        fail("loaded text differs");
    std::string name = std::string("trace_") + label;
    figure((name + "_apply").c_str(), apply_ms, "ms");
    figure((name + "_save").c_str(), save_ms, "ms");
    figure((name + "_saved_size").c_str(), bytes.size(), "bytes");
    figure((name + "_load").c_str(), load_ms, "ms");
}

// ---- Chat ----

struct Reaction {
    std::string emoji;
    std::string user;
};

struct Message {
    std::string id;
    std::string author;
    int64_t ts = 0;
    std::string text;
    std::vector<Reaction> reactions;
};

constexpr int kChannels = 20;
constexpr int kMessages = 100000;

std::string hex_id(std::mt19937_64& rng) {
    static const char* digits = "0123456789abcdef";
    std::string s;
    for (int i = 0; i < 32; ++i)
        s.push_back(digits[rng() & 15]);
    return s;
}

std::string sentence(std::mt19937_64& rng) {
    static const std::vector<std::string> words{
        "the",    "build",  "is",      "green",   "again", "after",  "merge", "of",      "branch", "we",
        "should", "ship",   "release", "notes",   "today", "review", "this",  "please",  "call",   "at",
        "noon",   "about",  "budget",  "design",  "looks", "good",   "to",    "me",      "thanks", "for",
        "fixing", "flaky",  "tests",   "deploy",  "went",  "fine",   "on",    "staging", "lunch",  "anyone",
        "new",    "ticket", "filed",   "against", "audio", "video",  "lag",   "in",      "calls",  "✓"};
    std::string s;
    while (s.size() < 80) {
        if (!s.empty())
            s.push_back(' ');
        s += words[rng() % words.size()];
    }
    return s;
}

Message read_message(const Document& doc, const ObjId& m) {
    Message out;
    auto str = [&](const ObjId& map, const char* key) {
        auto v = doc.get(map, key);
        return v && v->str() ? *v->str() : std::string();
    };
    out.id = str(m, "id");
    out.author = str(m, "author");
    if (auto ts = doc.get(m, "ts"); ts && std::holds_alternative<int64_t>(ts->scalar))
        out.ts = std::get<int64_t>(ts->scalar);
    if (auto t = doc.get(m, "text"); t && t->is(ObjType::Text))
        out.text = doc.text(t->id);
    if (auto rx = doc.get(m, "reactions"); rx && rx->is(ObjType::List)) {
        size_t n = doc.length(rx->id);
        for (size_t i = 0; i < n; ++i) {
            auto e = doc.get(rx->id, i);
            if (e && e->is(ObjType::Map))
                out.reactions.push_back({str(e->id, "emoji"), str(e->id, "user")});
        }
    }
    return out;
}

void chat_workload() {
    std::mt19937_64 rng(42);
    Document doc;
    auto root = ObjId::root();
    auto messages = *doc.put_object(root, "messages", ObjType::Map);
    std::vector<ObjId> channels;
    std::vector<std::string> channel_ids;
    for (int c = 0; c < kChannels; ++c) {
        channel_ids.push_back("c_" + hex_id(rng));
        channels.push_back(*doc.put_object(messages, channel_ids.back(), ObjType::List));
    }
    std::vector<std::string> users;
    for (int u = 0; u < 50; ++u)
        users.push_back("u_" + hex_id(rng));
    static const char* emoji[] = {"👍", "🎉", "❤️", "😂", "👀"};
    doc.commit();

    auto must = [](bool ok, const char* what) {
        if (!ok)
            fail(what);
    };
    Timer start;
    for (int i = 0; i < kMessages; ++i) {
        ObjId list = channels[static_cast<size_t>(i % kChannels)];
        auto m = doc.insert_object(list, doc.length(list), ObjType::Map);
        must(m.ok(), "insert msg");
        must(doc.put(*m, "id", "m_" + hex_id(rng)).ok(), "id");
        must(doc.put(*m, "author", users[rng() % users.size()]).ok(), "author");
        must(doc.put(*m, "ts", int64_t{1700000000} + i * 7).ok(), "ts");
        auto t = doc.put_object(*m, "text", ObjType::Text);
        must(t.ok(), "text");
        must(doc.splice_text(*t, 0, 0, sentence(rng)).ok(), "splice");
        auto rx = doc.put_object(*m, "reactions", ObjType::List);
        must(rx.ok(), "rx");
        int nrx = 1 + static_cast<int>(rng() % 2);
        for (int r = 0; r < nrx; ++r) {
            auto e = doc.insert_object(*rx, static_cast<size_t>(r), ObjType::Map);
            must(e.ok(), "rxentry");
            must(doc.put(*e, "emoji", std::string(emoji[rng() % 5])).ok(), "emoji");
            must(doc.put(*e, "user", users[rng() % users.size()]).ok(), "user");
        }
        doc.commit(int64_t{1700000000} + i * 7);
    }
    Span build_ms = ms_since(start);
    start = Timer();
    auto bytes = doc.save();
    Span save_ms = ms_since(start);
    start = Timer();
    auto loaded = Document::load(bytes);
    Span load_ms = ms_since(start);
    if (!loaded)
        fail("load chat");

    // Read one channel of the loaded document, as a UI frame would.
    start = Timer();
    auto ch = loaded->get(loaded->get(root, "messages")->id, channel_ids[7]);
    std::vector<Message> read;
    size_t n = loaded->length(ch->id);
    read.reserve(n);
    for (size_t i = 0; i < n; ++i) {
        auto m = loaded->get(ch->id, i);
        if (m && m->is(ObjType::Map))
            read.push_back(read_message(*loaded, m->id));
    }
    Span read_ms = ms_since(start);
    if (std::getenv("CRDT_BENCH_REREAD")) {
        for (int k = 0; k < std::atoi(std::getenv("CRDT_BENCH_REREAD")); ++k) {
            start = Timer();
            std::vector<Message> again;
            for (size_t i = 0; i < n; ++i) {
                auto m = loaded->get(ch->id, i);
                if (m && m->is(ObjType::Map))
                    again.push_back(read_message(*loaded, m->id));
            }
            figure("chat_reread_channel", ms_since(start), "ms");
        }
    }
    if (read.size() != kMessages / kChannels || read.front().text.empty() || read.back().reactions.empty())
        fail("channel read back wrong");

    figure("chat_build", build_ms, "ms");
    figure("chat_save", save_ms, "ms");
    figure("chat_saved_size", bytes.size(), "bytes");
    figure("chat_load", load_ms, "ms");
    figure("chat_read_channel", read_ms, "ms");
    figure("chat_channel_messages", read.size(), "messages");
}

} // namespace

int main(int argc, char** argv) {
    std::string path;
    if (argc > 1) {
        path = argv[1];
    } else {
        const char* shared = std::getenv("KAVU_SHARED_DIR");
        path = std::string(shared ? shared : KAVU_SOURCE_DIR "/../shared") + "/bench/editing-trace.json";
    }
    std::string only = argc > 2 ? argv[2] : "";
    if (only.empty() || only == "trace") {
        Trace trace;
        if (!read_trace(path, trace))
            fail(("cannot read the editing trace " + path).c_str());
        figure("trace_edits", trace.edits.size(), "edits");
        trace_workload(trace, false, "one_txn");
        trace_workload(trace, true, "per_edit");
    }
    if (only.empty() || only == "chat")
        chat_workload();
    return 0;
}
