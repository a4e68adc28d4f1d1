#include "app/startup.h"

#include <crdt/file.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <unistd.h>

namespace chat::app {
namespace {

namespace ui = kavu::ui;

EnvLookup env_of(std::map<std::string, std::string> vars) {
    return [vars = std::move(vars)](std::string_view name) -> std::optional<std::string> {
        auto it = vars.find(std::string(name));
        return it == vars.end() ? std::nullopt : std::optional<std::string>(it->second);
    };
}

TEST(DataDir, FirstSourceWins) {
    struct Case {
        std::map<std::string, std::string> env;
        std::filesystem::path expected;
    };
    const Case cases[] = {
        {{{"KAVU_CHAT_DATA", "/data/chat"}, {"XDG_DATA_HOME", "/xdg"}, {"HOME", "/home/a"}}, "/data/chat"},
        {{{"KAVU_CHAT_DATA", ""}, {"HOME", "/home/a"}}, ""},
        {{{"XDG_DATA_HOME", "/xdg"}, {"HOME", "/home/a"}}, "/xdg/kavu-chat"},
        {{{"XDG_DATA_HOME", "relative"}, {"HOME", "/home/a"}}, "/home/a/.local/share/kavu-chat"},
        {{{"HOME", "/home/a"}}, "/home/a/.local/share/kavu-chat"},
    };
    for (const Case& c : cases) {
        auto dir = resolve_data_dir(env_of(c.env));
        ASSERT_TRUE(dir);
        EXPECT_EQ(*dir, c.expected);
    }
    // Set but empty: the document file by its bare name, in the working directory.
    EXPECT_EQ((*resolve_data_dir(env_of({{"KAVU_CHAT_DATA", ""}})) / document_file_name()).string(),
              "workspace." + std::string(crdt::kFileExtension));
}

TEST(Launch, DescriptionCarriesTheHooks) {
    ui::LaunchDescription d = launch_description();
    EXPECT_EQ(d.app_id, "org.kavu.chat");
    ASSERT_EQ(d.scenario_names.size(), 21u);
    EXPECT_EQ(d.scenario_names.front(), "narrow");
    EXPECT_EQ(d.scenario_names[5], "thread-narrow");
    EXPECT_EQ(d.scenario_names.back(), "floating-call-returned");
    ASSERT_TRUE(d.make_app && d.shot && d.register_actions && d.default_window_size && d.allow_close &&
                d.open_document);
    EXPECT_EQ(d.default_window_size(), (ui::Size{1280, 800}));
    EXPECT_TRUE(d.allow_close());
}

std::pair<uint32_t, uint32_t> png_size(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    unsigned char header[24] = {};
    in.read(reinterpret_cast<char*>(header), sizeof header);
    auto be32 = [&](int at) {
        return uint32_t(header[at]) << 24 | uint32_t(header[at + 1]) << 16 | uint32_t(header[at + 2]) << 8 |
               header[at + 3];
    };
    return {be32(16), be32(20)};
}

TEST(Shot, WritesAPngAtTheAskedSize) {
    auto missing = render_shot(ui::ShotRequest{});
    ASSERT_FALSE(missing);
    EXPECT_EQ(missing.error_text(), "missing screenshot output");

    auto dir = std::filesystem::temp_directory_path() / ("kavu-chat-shot-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    ui::ShotRequest sized{.out = dir / "small.png", .scenario = "people", .size = ui::PixelSize{320, 200}};
    testing::internal::CaptureStdout();
    ASSERT_TRUE(render_shot(sized));
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "chat: wrote shot to " + sized.out->string() + "\n");
    EXPECT_EQ(png_size(*sized.out), (std::pair<uint32_t, uint32_t>{320, 200}));

    ui::ShotRequest plain{.out = dir / "default.png"};
    testing::internal::CaptureStdout();
    ASSERT_TRUE(render_shot(plain));
    (void)testing::internal::GetCapturedStdout();
    EXPECT_EQ(png_size(*plain.out), (std::pair<uint32_t, uint32_t>{1280, 800}));
    std::filesystem::remove_all(dir);
}

TEST(Startup, RegisteringActionsGivesTheChatDecoder) {
    // The identity reads and may write the "peer-id" file: keep it out of
    // the user's own data directory.
    auto dir = std::filesystem::temp_directory_path() / ("kavu-chat-data-" + std::to_string(::getpid()));
    ::setenv("KAVU_CHAT_DATA", dir.c_str(), 1);
    auto app = make_interactive_app();
    ::unsetenv("KAVU_CHAT_DATA");
    std::filesystem::remove_all(dir);
    register_actions(*app);
    EXPECT_EQ(app->type_name(), "chat::app::ChatApp");
}

} // namespace
} // namespace chat::app
