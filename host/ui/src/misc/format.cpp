#include <ui/format.h>

#include <cstdio>

namespace kavu::ui::format {

std::string bytes(uint64_t count) {
    static constexpr const char* kUnits[] = {"B", "KB", "MB", "GB", "TB", "PB", "EB"};
    if (count < 1024)
        return std::to_string(count) + " B";
    double value = static_cast<double>(count);
    int unit = 0;
    while (value >= 1024 && unit < 6) {
        value /= 1024;
        ++unit;
    }
    char buf[32];
    // One decimal while the number is short; a value that rounds up to 10
    // is shown without one ("10 KB", not "10.0 KB").
    if (value < 9.95)
        std::snprintf(buf, sizeof buf, "%.1f %s", value, kUnits[unit]);
    else if (value < 1023.5 || unit == 6)
        std::snprintf(buf, sizeof buf, "%.0f %s", value, kUnits[unit]);
    else
        std::snprintf(buf, sizeof buf, "1.0 %s", kUnits[unit + 1]);
    return buf;
}

} // namespace kavu::ui::format
