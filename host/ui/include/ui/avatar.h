#pragma once

#include <ui/color.h>
#include <ui/geometry.h>
#include <ui/scene.h>
#include <ui/theme.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace kavu::ui {

enum class PresenceDot { None, Online, Idle, Busy, Offline };

struct Avatar {
    // Up to two upper-case initials: the first letters of the first and last
    // words ("Ada Lovelace" gives "AL", "ada" gives "A", "" gives "").
    static std::string initials_for_name(std::string_view name);
    // A round avatar of diameter `size` with its top left at `origin`: the
    // colour, the initials centred, and an optional presence dot.
    static void draw_at(Scene& scene, Point origin, double size, std::string_view initials, Color color,
                        const Theme& theme, PresenceDot dot = PresenceDot::None);
};

} // namespace kavu::ui
