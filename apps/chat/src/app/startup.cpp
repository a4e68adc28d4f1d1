#include "app/startup.h"

#include "actions/action_specs.h"
#include "app/chat_app.h"
#include "app/identity.h"
#include "media/sim_media_net.h"

#include <blobstore/blob_store.h>
#include <blobstore/fs_blob_store.h>
#include <crdt/file.h>
#include <ui/shot_frame.h>

#include <pwd.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>

namespace chat::app {

namespace ui = kavu::ui;

namespace {

constexpr std::string_view kAppDir = "kavu-chat";

// The home directory: HOME, else the password database.
std::optional<std::filesystem::path> home_dir(const EnvLookup& env) {
    if (auto home = env("HOME"); home && !home->empty())
        return std::filesystem::path(*home);
    struct passwd entry {};
    struct passwd* found = nullptr;
    char buffer[4096];
    if (getpwuid_r(getuid(), &entry, buffer, sizeof buffer, &found) == 0 && found && found->pw_dir &&
        *found->pw_dir)
        return std::filesystem::path(found->pw_dir);
    return std::nullopt;
}

// The media backend for this process. The networked backend is not built
// yet, so every run uses the inert one.
std::unique_ptr<MediaNet> process_media_net() {
    return std::make_unique<SimMediaNet>();
}

} // namespace

EnvLookup process_env() {
    return [](std::string_view name) -> std::optional<std::string> {
        const char* value = std::getenv(std::string(name).c_str());
        return value ? std::optional<std::string>(value) : std::nullopt;
    };
}

std::optional<std::filesystem::path> resolve_data_dir(const EnvLookup& env) {
    if (auto dir = env("KAVU_CHAT_DATA"))
        return std::filesystem::path(*dir);
    // XDG: an absolute XDG_DATA_HOME, else ~/.local/share.
    if (auto xdg = env("XDG_DATA_HOME"); xdg && !xdg->empty() && xdg->front() == '/')
        return std::filesystem::path(*xdg) / kAppDir;
    if (auto home = home_dir(env))
        return *home / ".local/share" / kAppDir;
    return std::nullopt;
}

std::string document_file_name() {
    return "workspace." + std::string(crdt::kFileExtension);
}

void install_blob_store() {
    blobstore::BlobLimits limits{.max_blob_bytes = 33'554'432,
                                 .max_total_bytes = 268'435'456,
                                 .max_blobs = 8'192,
                                 .max_image_side = 16'384};
    blobstore::set_store(
        std::make_shared<blobstore::FsBlobStore>(blobstore::FsBlobStore::default_root(), limits));
}

std::unique_ptr<ui::App> make_interactive_app() {
    auto app = std::make_unique<ChatApp>();
    app->make_interactive(read_local_identity(resolve_data_dir(process_env()), IdentitySources::system()),
                          process_media_net());
    return app;
}

void register_actions(ui::App& app) {
    // The toolkit hands the application back; its decoders live on ChatApp.
    if (auto* chat = dynamic_cast<ChatApp*>(&app))
        register_chat_actions(chat->action_registry());
}

void apply_scenario(ChatApp&, std::string_view) {
    // Every scenario shows the base state until scenarios have setups.
}

kavu::Result<void> render_shot(const ui::ShotRequest& request) {
    if (!request.out)
        return kavu::make_error("missing screenshot output");
    auto app = std::make_unique<ChatApp>();
    apply_scenario(*app, request.scenario.value_or(""));
    uint32_t width = request.size ? request.size->width : kDefaultWidth;
    uint32_t height = request.size ? request.size->height : kDefaultHeight;
    ui::ShotFrame frame = ui::ShotFrame::create(width, height, ui::launch::shot_theme(request));
    frame.sync(*app);
    (void)app->images().block_until_idle(std::chrono::seconds(3));
    if (auto laid_out = frame.layout(*app); !laid_out)
        return laid_out;
    ui::Scene scene = frame.draw(*app);
    frame.draw_floating_surfaces(*app, scene);
    if (auto written = frame.write_png(scene, *request.out); !written)
        return written;
    std::printf("chat: wrote shot to %s\n", request.out->c_str());
    std::fflush(stdout);
    return {};
}

kavu::Result<std::unique_ptr<ui::PersistedDocument>> open_document(std::string_view app_id,
                                                                   const ui::persist::Options& options) {
    auto dir = resolve_data_dir(process_env());
    if (!dir)
        return ui::persist::open(app_id, options);
    return ui::persist::open_migrating(app_id, options, *dir / document_file_name());
}

ui::LaunchDescription launch_description() {
    ui::LaunchDescription description;
    description.app_id = std::string(kAppId);
    for (std::string_view name : kScenarioNames)
        description.scenario_names.emplace_back(name);
    description.make_app = make_interactive_app;
    description.shot = render_shot;
    description.register_actions = register_actions;
    description.default_window_size = [] { return ui::Size{kDefaultWidth, kDefaultHeight}; };
    description.allow_close = [] { return true; };
    description.open_document = open_document;
    description.default_size = {kDefaultWidth, kDefaultHeight};
    return description;
}

} // namespace chat::app
