#include <ui/launch.h>
#include <ui/log.h>

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string_view>

namespace kavu::ui::launch {

namespace {

constexpr std::string_view kUsage =
    "usage: %s [options]\n"
    "  (no options)            open the window\n"
    "  --shot NAME --out PATH  render the screenshot scenario NAME to the PNG file PATH and exit\n"
    "      [--size WxH]        picture size in pixels (default: the window's default size)\n"
    "      [--theme dark|light]\n"
    "      [--scale S]         interface scale factor, 0.5 to 4 (default 1)\n"
    "  --list-shots            print the screenshot scenario names\n"
    "  --help                  print this help\n";

std::optional<uint32_t> parse_dimension(std::string_view text) {
    uint32_t value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc{} || end != text.data() + text.size() || value == 0 || value > 16384)
        return std::nullopt;
    return value;
}

std::optional<PixelSize> parse_size(std::string_view text) {
    size_t x = text.find('x');
    if (x == std::string_view::npos)
        return std::nullopt;
    auto w = parse_dimension(text.substr(0, x));
    auto h = parse_dimension(text.substr(x + 1));
    if (!w || !h)
        return std::nullopt;
    return PixelSize{*w, *h};
}

std::optional<float> parse_scale(const std::string& text) {
    char* end = nullptr;
    double value = std::strtod(text.c_str(), &end);
    if (text.empty() || end != text.c_str() + text.size() || !std::isfinite(value) || value < 0.5 ||
        value > 4)
        return std::nullopt;
    return static_cast<float>(value);
}

bool is_no_display(const kavu::Error& error) {
    return error.text.rfind("no display", 0) == 0;
}

} // namespace

Theme shot_theme(const ShotRequest& request) {
    return Theme::for_kind(request.theme).with_scale(request.scale);
}

kavu::Result<ShotRequest> parse_shot_args(std::span<const std::string> args) {
    ShotRequest request;
    bool shot = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        auto value = [&]() -> std::optional<std::string> {
            if (i + 1 >= args.size())
                return std::nullopt;
            return args[++i];
        };
        if (arg == "--shot") {
            auto v = value();
            if (!v)
                return kavu::make_error("--shot needs a scenario name");
            request.scenario = *v;
            shot = true;
        } else if (arg == "--out") {
            auto v = value();
            if (!v || v->empty())
                return kavu::make_error("--out needs a file path");
            request.out = std::filesystem::path(*v);
        } else if (arg == "--size") {
            auto v = value();
            auto size = v ? parse_size(*v) : std::nullopt;
            if (!size)
                return kavu::make_error("--size needs WIDTHxHEIGHT in pixels, each 1 to 16384");
            request.size = size;
        } else if (arg == "--theme") {
            auto v = value();
            auto kind = v ? parse_theme_kind(*v) : std::nullopt;
            if (!kind)
                return kavu::make_error("--theme needs dark or light");
            request.theme = *kind;
        } else if (arg == "--scale") {
            auto v = value();
            auto scale = v ? parse_scale(*v) : std::nullopt;
            if (!scale)
                return kavu::make_error("--scale needs a number from 0.5 to 4");
            request.scale = *scale;
        } else {
            return kavu::make_error("unknown argument \"" + arg + "\"");
        }
    }
    if (!shot)
        return kavu::make_error("--out, --size, --theme and --scale go with --shot NAME");
    return request;
}

int run(const LaunchDescription& description, std::span<const std::string> args) {
    log::init();
    const char* program = program_invocation_short_name;
    if (args.empty()) {
        auto ran = run_window(description);
        if (ran)
            return kExitOk;
        std::fprintf(stderr, "%s\n", ran.error_text().c_str());
        return is_no_display(ran.error()) ? kExitNoDisplay : kExitFailed;
    }
    if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h")) {
        std::printf(kUsage.data(), program);
        return kExitOk;
    }
    if (args.size() == 1 && args[0] == "--list-shots") {
        for (const auto& name : description.scenario_names)
            std::printf("%s\n", name.c_str());
        return kExitOk;
    }
    auto request = parse_shot_args(args);
    if (!request) {
        std::fprintf(stderr, "%s\n", request.error_text().c_str());
        std::fprintf(stderr, kUsage.data(), program);
        return kExitFailed;
    }
    if (!description.shot) {
        std::fprintf(stderr, "this application has no screenshot mode\n");
        return kExitFailed;
    }
    auto shot = description.shot(*request);
    std::fflush(stdout);
    if (!shot) {
        std::fprintf(stderr, "%s\n", shot.error_text().c_str());
        return kExitFailed;
    }
    return kExitOk;
}

void run_or_exit(const LaunchDescription& description, int argc, char** argv) {
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i)
        args.emplace_back(argv[i]);
    int code = run(description, args);
    std::fflush(stdout);
    std::fflush(stderr);
    std::exit(code);
}

} // namespace kavu::ui::launch
