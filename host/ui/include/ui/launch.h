#pragma once

#include <base/result.h>
#include <ui/app.h>
#include <ui/geometry.h>
#include <ui/persist.h>
#include <ui/theme.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kavu::ui {

struct PixelSize {
    uint32_t width = 0;
    uint32_t height = 0;
    bool operator==(const PixelSize&) const = default;
};

// A screenshot run as the command line asked for it.
struct ShotRequest {
    std::optional<std::filesystem::path> out;
    std::optional<std::string> scenario;
    std::optional<PixelSize> size;
    ThemeKind theme = ThemeKind::Dark;
    float scale = 1;
};

// How the toolkit hosts an application. Hooks left empty keep the toolkit's
// default behaviour.
struct LaunchDescription {
    std::string app_id; // reverse-domain identifier
    std::vector<std::string> scenario_names;

    // Builds the application for a window run.
    std::function<std::unique_ptr<App>()> make_app;
    // Renders one screenshot; an error text fails the run.
    std::function<kavu::Result<void>(const ShotRequest&)> shot;
    // Lets the application register what it needs on its new instance before
    // the first frame.
    std::function<void(App&)> register_actions;
    std::function<Size()> default_window_size;
    // Asked when the window is asked to close; false keeps it open.
    std::function<bool()> allow_close;
    // Opens the document the window run works on (persist::open or
    // open_migrating); without it the run has no document.
    std::function<kavu::Result<std::unique_ptr<PersistedDocument>>(std::string_view app_id,
                                                                   const persist::Options& options)>
        open_document;

    Size default_size{1280, 800};
};

struct WindowOptions {
    // Stops after this many frames (tests); unset runs until the window closes.
    std::optional<int> max_frames;
};

namespace launch {

// Exit codes of run_or_exit.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitNoDisplay = 2;

// Runs the toolkit's command line and exits the process:
//   (none)                 open the window; exit 2 with one line on stderr when there is no display
//   --shot NAME --out PATH [--size WxH] [--theme dark|light] [--scale S]
//                          run the shot hook; exit 0, or print its error and exit 1
//   --list-shots           print the scenario names
//   --help                 print the usage
[[noreturn]] void run_or_exit(const LaunchDescription& description, int argc, char** argv);

// The same, returning the exit code instead of exiting (for tests).
int run(const LaunchDescription& description, std::span<const std::string> args);

// The theme a shot request asks for, at its scale.
Theme shot_theme(const ShotRequest& request);

// Parses the arguments after the program name into a shot request; an error
// for a malformed size, theme or scale or a missing value.
kavu::Result<ShotRequest> parse_shot_args(std::span<const std::string> args);

// Runs the window loop until the window closes. Errors: no display, the
// window could not be opened, or the document could not be opened.
kavu::Result<void> run_window(const LaunchDescription& description, const WindowOptions& options = {});

// The one line printed when there is no display to open a window on.
inline constexpr std::string_view kNoDisplayMessage =
    "no display: neither DISPLAY nor WAYLAND_DISPLAY is set (use --shot NAME --out PATH to render a PNG "
    "instead)";

} // namespace launch

} // namespace kavu::ui
