#include "ctl/ctl.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace chat::ctl {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;

struct CtlRun {
    int status = 0;
    std::string out;
    std::string err;
};

CtlRun run_ctl(std::vector<std::string> args, const std::string& input = "") {
    std::istringstream in(input);
    std::ostringstream out, err;
    CtlRun r;
    r.status = run(args, in, out, err);
    r.out = out.str();
    r.err = err.str();
    return r;
}

struct CtlTest : ::testing::Test {
    CtlTest() {
        dir = fs::path(::testing::TempDir()) /
              ("ctl_" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(dir);
        fs::create_directories(dir);
        file = (dir / "workspace.kdoc").string();
    }
    ~CtlTest() override { fs::remove_all(dir); }

    json read(std::vector<std::string> extra = {}) {
        std::vector<std::string> args = {"read", file};
        args.insert(args.end(), extra.begin(), extra.end());
        CtlRun r = run_ctl(args);
        EXPECT_EQ(r.status, 0) << r.err;
        return json::parse(r.out);
    }

    fs::path dir;
    std::string file;
};

TEST_F(CtlTest, ApplyReportsBadLinesAndKeepsTheGoodOnes) {
    std::string input =
        R"({"CreateChannel":{"workspace":"w","category":"","id":"c","name":"general","kind":"Text"}})"
        "\n"
        R"({"SetCallState":{"channel":"c","user":"u"}})"
        "\n"
        "\n"
        R"({"SendMessage":{"channel":"c","id":"m1","author":"u_me","ts":5,"text":"hello"}})"
        "\n"
        "not json\n";
    CtlRun r = run_ctl({"apply", file}, input);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("line 2: missing field \"talking\""), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("line 5: "), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find("line 4"), std::string::npos) << r.err;

    json doc = read({"--channel", "c", "--draft", "c"});
    ASSERT_EQ(doc["channels"].size(), 1u);
    EXPECT_EQ(doc["channels"][0]["unread"], 1);
    ASSERT_EQ(doc["messages"].size(), 1u);
    EXPECT_EQ(doc["messages"][0]["text"], "hello");
    EXPECT_EQ(doc["messages"][0]["parent"], nullptr);
    EXPECT_EQ(doc["top_level_count"], 1);
    EXPECT_EQ(doc["draft"], nullptr);

    // A second run adds to the same file.
    r = run_ctl({"apply", file}, R"({"MarkRead":{"channel":"c","user":"u_me","count":1}})");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(read()["channels"][0]["unread"], 0);
    EXPECT_EQ(read({"--person", "u_other"})["channels"][0]["unread"], 1);
}

TEST_F(CtlTest, AFileThatDoesNotLoadIsNeverOverwritten) {
    {
        std::ofstream garbage(file, std::ios::binary);
        garbage << "definitely not a document";
    }
    CtlRun r = run_ctl({"apply", file}, R"({"DeleteChannel":{"id":"c"}})");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("cannot load"), std::string::npos) << r.err;
    EXPECT_EQ(run_ctl({"seed", file, "--demo"}).status, 1);
    std::ifstream check(file, std::ios::binary);
    std::string content{std::istreambuf_iterator<char>(check), std::istreambuf_iterator<char>()};
    EXPECT_EQ(content, "definitely not a document");
}

TEST_F(CtlTest, SeedDemoAndReadIt) {
    ASSERT_EQ(run_ctl({"seed", file, "--demo"}).status, 0);
    json doc = read({"--channel", "c_crit"});
    EXPECT_EQ(doc["workspaces"].size(), 3u);
    EXPECT_EQ(doc["workspaces"][0],
              json::parse(R"({"id":"ws_acme","name":"Acme Design","glyph":"AD","color_idx":0,"order":0})"));
    EXPECT_EQ(doc["people"][0]["status"], "online");
    EXPECT_EQ(doc["participants"].size(), 3u);
    EXPECT_EQ(doc["participants"]["c_huddle"][0],
              json::parse(R"({"user":"u_lena","ticket":null,"talking":true,"muted":false,"deafened":false,)"
                          R"("audio_only":false,"sharing":false})"));
    EXPECT_EQ(doc["participants"]["c_warroom"], json::array());
    EXPECT_EQ(doc["top_level_count"], 8);
    ASSERT_EQ(doc["messages"].size(), 11u);
    json concept_msg = doc["messages"][1];
    EXPECT_EQ(
        concept_msg["attachment"],
        json::parse(
            R"({"Image":{"name":"call-overlay-v3.png","blob":"kavu-demo://call-grid","w":640,"h":360}})"));
    EXPECT_EQ(concept_msg["reactions"][1], json::parse(R"({"emoji":"🔥","users":["u_oskar"]})"));
    EXPECT_EQ(doc["messages"][6]["history"][0]["ts"], 1782475020);
    for (const json& c : doc["channels"]) {
        if (c["id"] == "c_crit")
            EXPECT_EQ(c["unread"], 8);
    }

    // Seeding again changes nothing.
    ASSERT_EQ(run_ctl({"seed", file, "--home", "u_x", "X", "XX"}).status, 0);
    EXPECT_EQ(read()["people"].size(), 6u);
}

TEST_F(CtlTest, SeedHome) {
    ASSERT_EQ(run_ctl({"seed", file, "--home", "u_ann", "Ann", "AN"}).status, 0);
    json doc = read();
    EXPECT_EQ(doc["people"][0]["id"], "u_ann");
    EXPECT_EQ(doc["channels"].size(), 2u);
    EXPECT_EQ(doc.count("messages"), 0u);
}

TEST_F(CtlTest, DecodeOperation) {
    CtlRun ok = run_ctl({"decode-operation", "chat.operation"}, R"({"OpenPerson":{"user":"u","x":1}})"
                                                                "\n");
    EXPECT_EQ(ok.status, 0);
    EXPECT_EQ(ok.out, "{\"OpenPerson\":{\"user\":\"u\"}}\n");
    CtlRun other = run_ctl({"decode-operation", "chat.action"}, "{}");
    EXPECT_EQ(other.status, 0);
    EXPECT_EQ(other.out, "not a chat operation\n");
    CtlRun bad = run_ctl({"decode-operation", "chat.operation"}, R"({"OpenPerson":{}})");
    EXPECT_EQ(bad.status, 1);
    EXPECT_EQ(bad.out, "missing field \"user\"\n");
}

TEST_F(CtlTest, UsageErrors) {
    EXPECT_EQ(run_ctl({}).status, 2);
    EXPECT_EQ(run_ctl({"explode"}).status, 2);
    EXPECT_EQ(run_ctl({"seed", file}).status, 2);
    EXPECT_EQ(run_ctl({"read", file, "--channel"}).status, 2);
    EXPECT_EQ(run_ctl({"read", file}).status, 1) << "no such document";
    EXPECT_FALSE(fs::exists(file));
}

} // namespace
} // namespace chat::ctl
