// The kavu-chat entry point: describes the application to the toolkit and
// hands over; the toolkit chooses between a window and a screenshot run.
#include "placeholder_app.h"

#include <crdt/file.h>
#include <ui/launch.h>
#include <ui/persist.h>
#include <ui/shot_frame.h>

#include <cstdio>
#include <cstdlib>

namespace {

using namespace kavu;
using namespace kavu::ui;

constexpr std::string_view kAppId = "org.kavu.chat";

// The directory the workspace document lives in: KAVU_CHAT_DATA as given
// (even empty: the working directory), else the XDG data directory, else
// ~/.local/share, each with "kavu-chat" appended.
std::optional<std::filesystem::path> data_dir() {
    if (const char* env = std::getenv("KAVU_CHAT_DATA"))
        return std::filesystem::path(env);
    if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && *xdg == '/')
        return std::filesystem::path(xdg) / "kavu-chat";
    if (const char* home = std::getenv("HOME"); home && *home)
        return std::filesystem::path(home) / ".local/share" / "kavu-chat";
    return std::nullopt;
}

Result<std::unique_ptr<PersistedDocument>> open_document(std::string_view app_id,
                                                         const persist::Options& options) {
    auto dir = data_dir();
    if (!dir)
        return persist::open(app_id, options);
    return persist::open_migrating(app_id, options,
                                   *dir / ("workspace." + std::string(crdt::kFileExtension)));
}

Result<void> shot(const ShotRequest& request) {
    if (!request.out)
        return make_error("missing screenshot output");
    chat::PlaceholderApp app(false);
    uint32_t width = request.size ? request.size->width : 1280;
    uint32_t height = request.size ? request.size->height : 800;
    auto frame = ShotFrame::create(width, height, launch::shot_theme(request));
    frame.sync(app);
    auto laid_out = frame.layout(app);
    if (!laid_out)
        return laid_out;
    Scene scene = frame.draw(app);
    frame.draw_floating_surfaces(app, scene);
    auto written = frame.write_png(scene, *request.out);
    if (!written)
        return written;
    std::printf("chat: wrote shot to %s\n", request.out->c_str());
    return {};
}

} // namespace

int main(int argc, char** argv) {
    LaunchDescription description;
    description.app_id = std::string(kAppId);
    description.scenario_names = {"narrow",
                                  "history",
                                  "compact",
                                  "starter",
                                  "people",
                                  "thread-narrow",
                                  "collaboration",
                                  "context",
                                  "msgmenu",
                                  "attach",
                                  "attach-loading",
                                  "attach-error",
                                  "edit",
                                  "composer",
                                  "call",
                                  "share",
                                  "floating-call-attached",
                                  "floating-call",
                                  "floating-call-hover",
                                  "floating-call-returning",
                                  "floating-call-returned"};
    description.make_app = [] { return std::make_unique<chat::PlaceholderApp>(true); };
    description.shot = shot;
    description.register_actions = [](App&) {};
    description.default_window_size = [] { return Size{1280, 800}; };
    description.allow_close = [] { return true; };
    description.open_document = open_document;
    launch::run_or_exit(description, argc, argv);
}
