#include "app/identity.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <deque>
#include <map>

using namespace chat::app;
namespace fs = std::filesystem;

namespace {

// An environment and file system held in memory.
struct FakeWorld {
    std::map<std::string, std::string> env{};
    std::map<fs::path, std::string> files{};
    bool writable = true;
    int uuids_made = 0;

    IdentitySources sources(SystemIdentityStore* store = nullptr) {
        return {
            .env = [this](std::string_view name) -> std::optional<std::string> {
                auto it = env.find(std::string(name));
                if (it == env.end())
                    return std::nullopt;
                return it->second;
            },
            .read_file = [this](const fs::path& path) -> std::optional<std::string> {
                auto it = files.find(path);
                if (it == files.end())
                    return std::nullopt;
                return it->second;
            },
            .write_file =
                [this](const fs::path& path, std::string_view contents) {
                    if (!writable)
                        return false;
                    files[path] = std::string(contents);
                    return true;
                },
            .new_uuid =
                [this] {
                    char buf[33];
                    std::snprintf(buf, sizeof buf, "%032x", ++uuids_made);
                    return std::string(buf);
                },
            .store = store,
        };
    }
};

class FixedStore final : public SystemIdentityStore {
public:
    explicit FixedStore(std::string name) {
        for (size_t i = 0; i < m_identity.key.size(); i++)
            m_identity.key[i] = static_cast<uint8_t>(i);
        m_identity.display_name = std::move(name);
    }
    std::optional<SystemIdentity> load() override { return m_identity; }
    SystemIdentity m_identity;
};

std::string hash_id(std::string_view text) {
    char buf[19];
    std::snprintf(buf, sizeof buf, "u_%016llx", static_cast<unsigned long long>(fnv1a64(text)));
    return buf;
}

const fs::path kData = "/data/kavu-chat";

TEST(Identity, Fnv1aMatchesThePublishedVectors) {
    EXPECT_EQ(fnv1a64(""), 0xcbf29ce484222325ull);
    EXPECT_EQ(fnv1a64("a"), 0xaf63dc4c8601ec8cull);
    EXPECT_EQ(fnv1a64("foobar"), 0x85944171f73967e8ull);
}

TEST(Identity, DisplayNameComesFromTheUserVariables) {
    struct Case {
        std::map<std::string, std::string> env;
        std::string name;
        std::string initials;
    };
    const Case cases[] = {
        {{{"USER", "  ada   \t lovelace  "}}, "ada lovelace", "AL"},
        {{{"USER", "grace\xC2\xA0\xC2\xA0hopper\n"}}, "grace hopper", "GH"}, // no-break spaces
        {{{"USERNAME", "Bob"}}, "Bob", "B"},
        {{{"USER", "carol"}, {"USERNAME", "bob"}}, "carol", "C"},
        {{{"USER", "   "}, {"USERNAME", "bob"}}, "You", "Y"}, // USER is set, so USERNAME is not read
        {{}, "You", "Y"},
    };
    for (const auto& c : cases) {
        FakeWorld world{.env = c.env};
        auto identity = read_local_identity(std::nullopt, world.sources());
        EXPECT_EQ(identity.name, c.name);
        EXPECT_EQ(identity.initials, c.initials);
    }
}

TEST(Identity, TheSystemStoreComesFirst) {
    FakeWorld world{.env = {{"USER", "ann"}}};
    world.files[kData / "peer-id"] = "u_file";
    FixedStore store("  Ann Lee  ");
    auto identity = read_local_identity(kData, world.sources(&store));
    EXPECT_EQ(identity.id, "u_0001020304050607");
    EXPECT_EQ(identity.name, "Ann Lee");
    EXPECT_EQ(identity.initials, "AL");
    EXPECT_EQ(identity.color_idx, fnv1a64(store.m_identity.key) & 7);

    FixedStore nameless(" ");
    EXPECT_EQ(read_local_identity(kData, world.sources(&nameless)).name, "ann");
    NoSystemIdentityStore none;
    EXPECT_EQ(read_local_identity(kData, world.sources(&none)).id, "u_file");
}

TEST(Identity, ThePeerIdFileKeepsTheIdAcrossRuns) {
    FakeWorld world{.env = {{"USER", "ann"}, {"HOSTNAME", "box"}}};
    world.files[kData / "peer-id"] = "  u_kept\n";
    auto kept = read_local_identity(kData, world.sources());
    EXPECT_EQ(kept.id, "u_kept");
    EXPECT_EQ(kept.name, "ann");
    EXPECT_EQ(kept.color_idx, color_index_for("u_kept"));

    // An empty file is replaced by a new id, which later runs read back.
    world.files[kData / "peer-id"] = " \n";
    auto fresh = read_local_identity(kData, world.sources());
    EXPECT_EQ(fresh.id, "u_00000000000000000000000000000001");
    EXPECT_EQ(world.files[kData / "peer-id"], fresh.id);
    EXPECT_EQ(read_local_identity(kData, world.sources()).id, fresh.id);
    EXPECT_EQ(world.uuids_made, 1);
}

TEST(Identity, WithoutAWritablePeerIdTheIdDerivesFromUserAndHost) {
    FakeWorld world{.env = {{"USER", "ann"}, {"HOSTNAME", "box"}}, .writable = false};
    EXPECT_EQ(read_local_identity(kData, world.sources()).id, hash_id("ann@box"));
    EXPECT_EQ(world.files.count(kData / "peer-id"), 0u);
    // No data directory: the file is not consulted at all.
    world.writable = true;
    world.files[kData / "peer-id"] = "u_file";
    EXPECT_EQ(read_local_identity(std::nullopt, world.sources()).id, hash_id("ann@box"));
}

TEST(Identity, HostNameFallsBackToTheHostnameFile) {
    struct Case {
        std::map<std::string, std::string> env;
        std::optional<std::string> hostname_file;
        std::string joined;
    };
    const Case cases[] = {
        {{{"USER", "ann"}, {"HOSTNAME", ""}}, " box\n", "ann@box"},
        {{{"USERNAME", "bob"}}, "box", "bob@box"},
        {{{"USER", "ann"}}, std::nullopt, "ann@"},
        {{{"HOSTNAME", "box"}}, std::nullopt, "@box"},
    };
    for (const auto& c : cases) {
        FakeWorld world{.env = c.env};
        if (c.hostname_file)
            world.files["/etc/hostname"] = *c.hostname_file;
        EXPECT_EQ(read_local_identity(std::nullopt, world.sources()).id, hash_id(c.joined)) << c.joined;
    }
}

TEST(Identity, NoUserAndNoHostGivesARandomIdEachRun) {
    FakeWorld world;
    auto first = read_local_identity(std::nullopt, world.sources());
    auto second = read_local_identity(std::nullopt, world.sources());
    EXPECT_TRUE(first.id.starts_with("u_"));
    EXPECT_EQ(first.id.size(), 34u);
    EXPECT_NE(first.id, second.id);
    EXPECT_EQ(first.name, "You");
}

TEST(Identity, ColourIndexIsStableAndInRange) {
    for (std::string_view id : {"", "u_me", "u_0001020304050607", "u_ffffffffffffffff", "ü"}) {
        auto c = color_index_for(id);
        EXPECT_LT(c, 8);
        EXPECT_EQ(c, fnv1a64(id) % 8);
    }
}

TEST(Identity, RandomUuidsAreVersionFour) {
    auto a = random_uuid_hex(), b = random_uuid_hex();
    ASSERT_EQ(a.size(), 32u);
    EXPECT_EQ(a.find_first_not_of("0123456789abcdef"), std::string::npos);
    EXPECT_EQ(a[12], '4');
    EXPECT_NE(std::string_view("89ab").find(a[16]), std::string_view::npos);
    EXPECT_NE(a, b);
}

TEST(Identity, PresenceAdoptionKeepsEarlierIdsLocal) {
    LocalIdentity identity;
    EXPECT_EQ(identity, (LocalIdentity{.id = "u_me", .name = "You", .initials = "YU", .color_idx = 0}));

    // Same id, no name: nothing changes.
    identity.adopt_presence("u_me", std::nullopt);
    EXPECT_EQ(identity, LocalIdentity{});

    identity.adopt_presence("u_peer", "  Ada Lovelace");
    EXPECT_EQ(identity.id, "u_peer");
    EXPECT_EQ(identity.color_idx, color_index_for("u_peer"));
    EXPECT_EQ(identity.name, "  Ada Lovelace") << "the presence name is taken as given";
    EXPECT_EQ(identity.initials, "AL");
    EXPECT_EQ(identity.earlier_ids, std::vector<std::string>{"u_me"});
    EXPECT_TRUE(identity.is_local("u_me"));
    EXPECT_TRUE(identity.is_local("u_peer"));
    EXPECT_FALSE(identity.is_local("u_other"));

    // Back and forth: each old id is listed once.
    identity.adopt_presence("u_me", std::nullopt);
    identity.adopt_presence("u_peer", std::nullopt);
    EXPECT_EQ(identity.earlier_ids, (std::vector<std::string>{"u_me", "u_peer"}));
    EXPECT_EQ(identity.id, "u_peer");
}

} // namespace

namespace {

// The real file access: the data directory is created on first use, the id
// survives a second run, and a data directory that cannot exist (under a
// regular file) falls back to the user-and-host id.
TEST(Identity, SystemSourcesKeepThePeerIdOnDisk) {
    std::string pattern = (fs::path(::testing::TempDir()) / "identity-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    const fs::path dir = pattern;
    auto sources = IdentitySources::system();
    FakeWorld world{.env = {{"USER", "ann"}, {"HOSTNAME", "box"}}};
    sources.env = world.sources().env;

    auto first = read_local_identity(dir / "nested" / "kavu-chat", sources);
    EXPECT_EQ(first.id.size(), 34u);
    EXPECT_EQ(sources.read_file(dir / "nested" / "kavu-chat" / "peer-id"), first.id);
    EXPECT_EQ(read_local_identity(dir / "nested" / "kavu-chat", sources).id, first.id);

    sources.write_file(dir / "plain", "not a directory");
    EXPECT_EQ(read_local_identity(dir / "plain" / "kavu-chat", sources).id, hash_id("ann@box"));
    fs::remove_all(dir);
}

} // namespace
