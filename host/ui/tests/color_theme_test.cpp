#include <ui/color.h>
#include <ui/theme.h>

#include <gtest/gtest.h>

using namespace kavu::ui;

TEST(Color, LuminanceAndContrastFollowWcag) {
    EXPECT_DOUBLE_EQ(color::relative_luminance(Color::rgb(0x000000)), 0.0);
    EXPECT_NEAR(color::relative_luminance(Color::rgb(0xffffff)), 1.0, 1e-9);
    EXPECT_NEAR(color::contrast_ratio(Color::rgb(0x000000), Color::rgb(0xffffff)), 21.0, 1e-9);
    EXPECT_NEAR(color::contrast_ratio(Color::rgb(0x777777), Color::rgb(0x777777)), 1.0, 1e-9);
    // Published reference: #767676 on white is just above 4.5:1.
    double grey = color::contrast_ratio(Color::rgb(0x767676), Color::rgb(0xffffff));
    EXPECT_GT(grey, 4.5);
    EXPECT_LT(grey, 4.6);
    EXPECT_DOUBLE_EQ(color::contrast_ratio(Color::rgb(0x123456), Color::rgb(0xabcdef)),
                     color::contrast_ratio(Color::rgb(0xabcdef), Color::rgb(0x123456)));
}

TEST(Color, LiftMovesAwayFromTheSurfaceAndHairlinesStayVisible) {
    for (Theme theme : {Theme::dark(), Theme::light()}) {
        Color lifted = Colors::lift(theme.surface, 0.72f);
        double before = color::relative_luminance(theme.surface);
        double after = color::relative_luminance(lifted);
        if (theme.kind == ThemeKind::Dark)
            EXPECT_GT(after, before);
        else
            EXPECT_LT(after, before);
        // A stronger lift moves further.
        EXPECT_GT(color::contrast_ratio(Colors::lift(theme.surface, 0.72f), theme.surface),
                  color::contrast_ratio(Colors::lift(theme.surface, 0.35f), theme.surface));
        EXPECT_EQ(Colors::lift(theme.surface, 0), theme.surface);
        Color hairline = Colors::hairline_on(theme.surface);
        EXPECT_GT(hairline.a, 0.05f);
        EXPECT_GT(color::contrast_ratio(color::over(hairline, theme.surface), theme.surface), 1.05);
    }
}

// Every text colour of both themes must stay readable on every surface it is
// drawn on (WCAG AA for body text).
TEST(Theme, TextColoursHaveReadableContrast) {
    for (Theme theme : {Theme::dark(), Theme::light()}) {
        SCOPED_TRACE(theme.kind == ThemeKind::Dark ? "dark" : "light");
        struct Pair {
            const char* name;
            Color text;
            Color background;
        };
        const Pair pairs[] = {
            {"on_surface/surface", theme.on_surface, theme.surface},
            {"on_surface/raised", theme.on_surface, theme.surface_raised},
            {"on_surface/sunken", theme.on_surface, theme.surface_sunken},
            {"on_surface/lifted", theme.on_surface, Colors::lift(theme.surface, 0.72f)},
            {"muted/surface", theme.on_surface_muted, theme.surface},
            {"muted/raised", theme.on_surface_muted, theme.surface_raised},
            {"muted/sunken", theme.on_surface_muted, theme.surface_sunken},
            {"on_accent/accent", theme.on_accent, theme.accent},
            {"on_danger/danger", theme.on_danger, theme.danger},
            {"danger/surface", theme.danger, theme.surface},
        };
        for (const auto& p : pairs)
            EXPECT_GE(color::contrast_ratio(p.text, p.background), 4.5) << p.name;
    }
}

TEST(Theme, ParsesItsNames) {
    EXPECT_EQ(parse_theme_kind("dark"), ThemeKind::Dark);
    EXPECT_EQ(parse_theme_kind("light"), ThemeKind::Light);
    EXPECT_EQ(parse_theme_kind("Dark"), std::nullopt);
    EXPECT_EQ(parse_theme_kind(""), std::nullopt);
    EXPECT_EQ(Theme::light().with_scale(2).scale, 2.0f);
}
