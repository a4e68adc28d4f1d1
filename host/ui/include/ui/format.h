#pragma once

#include <cstdint>
#include <string>

namespace kavu::ui::format {

// A byte count for people: "0 B", "912 B", "83 KB", "1.4 MB", "2.0 GB"
// (powers of 1024; one decimal below 10 units, none above).
std::string bytes(uint64_t count);

} // namespace kavu::ui::format
