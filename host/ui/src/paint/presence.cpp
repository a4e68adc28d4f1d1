#include <ui/presence.h>

#include <algorithm>
#include <array>

namespace kavu::ui {

namespace presence {

Color user_color(uint32_t color_index) {
    // Eight hues of similar lightness, each readable with white initials.
    static constexpr std::array<Color, kPaletteSize> kPalette = {
        Color::rgb(0x5865d8), Color::rgb(0x2e8a6e), Color::rgb(0xb5487a), Color::rgb(0xb8632b),
        Color::rgb(0x7d55c7), Color::rgb(0x2f7fb0), Color::rgb(0x9a7a1c), Color::rgb(0xc0443f),
    };
    return kPalette[color_index % kPaletteSize];
}

uint32_t color_index_for(std::string_view id) {
    uint64_t h = 0xcbf29ce484222325ull;
    for (unsigned char c : id) {
        h ^= c;
        h *= 0x100000001b3ull;
    }
    return static_cast<uint32_t>(h % kPaletteSize);
}

} // namespace presence

Color PresenceCtx::color_for(std::string_view id) const {
    return presence::user_color(presence::color_index_for(id));
}

bool PresenceCtx::lists(std::string_view id) const {
    return std::any_of(m_participants.begin(), m_participants.end(),
                       [&](const auto& p) { return p.id == id; });
}

} // namespace kavu::ui
