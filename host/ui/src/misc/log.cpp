#include <ui/log.h>

#include <spdlog/sinks/stdout_color_sinks.h>
#include <spdlog/spdlog.h>

#include <cstdlib>
#include <mutex>

namespace kavu::ui::log {

void init() {
    static std::once_flag once;
    std::call_once(once, [] {
        auto logger = spdlog::stderr_color_mt("kavu");
        logger->set_pattern("%Y-%m-%dT%H:%M:%S.%e %^%l%$ %v");
        spdlog::level::level_enum level = spdlog::level::warn;
        if (const char* env = std::getenv("KAVU_LOG"))
            level = spdlog::level::from_str(env);
        logger->set_level(level);
        spdlog::set_default_logger(logger);
    });
}

void info(std::string_view message) {
    spdlog::info("{}", message);
}
void warn(std::string_view message) {
    spdlog::warn("{}", message);
}
void error(std::string_view message) {
    spdlog::error("{}", message);
}

} // namespace kavu::ui::log
