#pragma once

#include <string_view>

namespace kavu::ui::log {

// Sets up the process's structured logging (spdlog, to stderr): level from
// KAVU_LOG ("trace", "debug", "info", "warn", "error"), warn by default.
// Safe to call more than once.
void init();

// Small wrappers so modules without spdlog in their interface can log.
void info(std::string_view message);
void warn(std::string_view message);
void error(std::string_view message);

} // namespace kavu::ui::log
