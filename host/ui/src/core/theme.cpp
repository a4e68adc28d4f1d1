#include <ui/theme.h>

namespace kavu::ui {

Theme Theme::dark() {
    Theme t;
    t.kind = ThemeKind::Dark;
    t.surface = Color::rgb(0x16171d);
    t.surface_raised = Color::rgb(0x1e2029);
    t.surface_sunken = Color::rgb(0x111218);
    t.on_surface = Color::rgb(0xe8e9ef);
    t.on_surface_muted = Color::rgb(0x9ea3b5);
    t.accent = Color::rgb(0x6e8bff);
    t.on_accent = Color::rgb(0x0b0d18);
    t.danger = Color::rgb(0xf2707a);
    t.on_danger = Color::rgb(0x1a0709);
    t.success = Color::rgb(0x58d68c);
    t.warning = Color::rgb(0xf0c060);
    t.edge = Color::rgba(0xffffff1f);
    t.focus_ring = Color::rgb(0x8ea4ff);
    t.mention_background = Color::rgba(0x6e8bff38);
    t.scrim_alpha = 0.62f;
    return t;
}

Theme Theme::light() {
    Theme t;
    t.kind = ThemeKind::Light;
    t.surface = Color::rgb(0xf7f7fa);
    t.surface_raised = Color::rgb(0xffffff);
    t.surface_sunken = Color::rgb(0xeceef3);
    t.on_surface = Color::rgb(0x1b1d26);
    t.on_surface_muted = Color::rgb(0x5a6072);
    t.accent = Color::rgb(0x3856d8);
    t.on_accent = Color::rgb(0xffffff);
    t.danger = Color::rgb(0xc22a3a);
    t.on_danger = Color::rgb(0xffffff);
    t.success = Color::rgb(0x1f9d55);
    t.warning = Color::rgb(0xb07a10);
    t.edge = Color::rgba(0x0000001f);
    t.focus_ring = Color::rgb(0x3856d8);
    t.mention_background = Color::rgba(0x3856d82a);
    t.scrim_alpha = 0.42f;
    return t;
}

std::optional<ThemeKind> parse_theme_kind(std::string_view text) {
    if (text == "dark")
        return ThemeKind::Dark;
    if (text == "light")
        return ThemeKind::Light;
    return std::nullopt;
}

} // namespace kavu::ui
