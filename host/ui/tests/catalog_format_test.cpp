#include <ui/format.h>
#include <ui/i18n.h>
#include <ui/permission.h>

#include <gtest/gtest.h>

using namespace kavu::ui;

TEST(Format, BytesForPeople) {
    struct Case {
        uint64_t bytes;
        const char* text;
    };
    const Case cases[] = {
        {0, "0 B"},
        {1, "1 B"},
        {1023, "1023 B"},
        {1024, "1.0 KB"},
        {1536, "1.5 KB"},
        {10188, "9.9 KB"},
        {10200, "10 KB"},
        {84992, "83 KB"},
        {132480, "129 KB"},
        {1048575, "1.0 MB"},
        {1048576, "1.0 MB"},
        {33554432, "32 MB"},
        {1073741824, "1.0 GB"},
        {UINT64_MAX, "16 EB"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(format::bytes(c.bytes), c.text) << c.bytes;
}

TEST(Catalog, ParsesKeyTextLinesAndComments) {
    auto parsed =
        Catalog::parse("# a comment\n\n  greeting =  Hello, world  \r\nsplit = a = b\nbreak = one\\ntwo\n");
    ASSERT_TRUE(parsed) << parsed.error_text();
    EXPECT_EQ(parsed->size(), 3u);
    EXPECT_EQ(parsed->t("greeting"), "Hello, world");
    EXPECT_EQ(parsed->t("split"), "a = b");
    EXPECT_EQ(parsed->t("break"), "one\ntwo");
    EXPECT_EQ(parsed->t("missing-key"), "missing-key");
}

TEST(Catalog, RejectsMalformedLines) {
    for (const char* source : {"no equals sign\n", " = text without key\n", "a = 1\na = 2\n"})
        EXPECT_FALSE(Catalog::parse(source)) << source;
}

TEST(EmbeddedCatalog, HoldsTheInterfaceTexts) {
    const std::pair<const char*, const char*> entries[] = {
        {"chat-mention-agent-tag", "agent"},
        {"chat-identity-available", "Available"},
        {"chat-identity-in-voice", "In voice"},
        {"chat-sidebar-add-category", "＋ Category"},
        {"chat-call-mute", "Mute"},
        {"chat-call-unmute", "Unmute"},
        {"chat-call-deafen", "Deafen"},
        {"chat-call-undeafen", "Undeafen"},
        {"chat-call-audio-only", "Audio only"},
        {"chat-call-collapse", "Collapse"},
        {"chat-call-leave", "Leave"},
    };
    auto parsed = Catalog::parse(EmbeddedCatalog::source());
    ASSERT_TRUE(parsed) << parsed.error_text();
    EXPECT_EQ(parsed->size(), std::size(entries));
    for (const auto& [key, text] : entries)
        EXPECT_EQ(EmbeddedCatalog::t(key), text) << key;
    EXPECT_EQ(EmbeddedCatalog::kLocale, "en-US");
}

TEST(I18nManager, RevisionChangesWithTheTexts) {
    auto& manager = I18nManager::instance();
    EXPECT_EQ(manager.t("chat-call-leave"), "Leave");
    uint64_t before = manager.revision();
    auto catalog = Catalog::parse("chat-call-leave = Hang up\n");
    ASSERT_TRUE(catalog);
    manager.load("en-XX", catalog.release_value());
    EXPECT_GT(manager.revision(), before);
    EXPECT_EQ(manager.t("chat-call-leave"), "Hang up");
    manager.load("en-US", Catalog::parse(EmbeddedCatalog::source()).release_value());
    EXPECT_EQ(manager.t("chat-call-leave"), "Leave");
}

TEST(PermissionContext, PermissiveGrantsUntilRevoked) {
    auto permissive = PermissionContext::permissive();
    EXPECT_TRUE(permissive.check(Permission::ReadImages));
    permissive.revoke(Permission::ReadImages);
    EXPECT_FALSE(permissive.check(Permission::ReadImages));
    EXPECT_TRUE(permissive.check(Permission::ReadFiles));

    auto restricted = PermissionContext::restricted();
    EXPECT_FALSE(restricted.check(Permission::ReadFiles));
    restricted.grant(Permission::ReadFiles);
    EXPECT_TRUE(restricted.check(Permission::ReadFiles));
    EXPECT_FALSE(restricted.check(Permission::WriteDocument));
}
