#include <ui/button.h>

namespace kavu::ui {

namespace {

struct ButtonColors {
    Color fill;
    Color text;
};

ButtonColors colors_for(const ButtonStyle& style, const Theme& theme) {
    ButtonColors c;
    switch (style.kind) {
    case ButtonKind::Primary:
        c = {theme.accent, theme.on_accent};
        break;
    case ButtonKind::Secondary:
        c = {Colors::lift(theme.surface, 0.72f), theme.on_surface};
        break;
    case ButtonKind::Danger:
        c = {theme.danger, theme.on_danger};
        break;
    case ButtonKind::Ghost:
        c = {theme.surface.with_alpha(0), theme.on_surface};
        break;
    }
    if (style.fill)
        c.fill = *style.fill;
    if (style.text_color)
        c.text = *style.text_color;
    if (style.pressed)
        c.fill = Colors::lift(c.fill, 0.9f);
    else if (style.hovered)
        c.fill = style.kind == ButtonKind::Ghost ? Colors::lift(theme.surface, 0.35f)
                                                 : Colors::lift(c.fill, 0.45f);
    if (style.disabled) {
        c.fill = c.fill.faded(0.5f);
        c.text = c.text.faded(0.5f);
    }
    return c;
}

} // namespace

double Button::width_for(std::string_view label, const ButtonStyle& style, const Theme& theme) {
    return TextRenderer::measure_weighted(label, style.text_size, style.weight).width +
           2 * theme.button_padding;
}

void Button::paint(Scene& scene, Rect rect, std::string_view label, const ButtonStyle& style,
                   const Theme& theme) {
    ButtonColors c = colors_for(style, theme);
    if (c.fill.a > 0)
        scene.fill_rounded(rect, style.radius, c.fill);
    std::string text =
        TextRenderer::cut_to_fit(label, style.text_size, style.weight,
                                 rect.width() - 2 * std::min(theme.button_padding, rect.width() / 4));
    Size size = TextRenderer::measure_weighted(text, style.text_size, style.weight);
    Point origin{rect.x0 + (rect.width() - size.width) / 2, rect.y0 + (rect.height() - size.height) / 2};
    TextRenderer::draw_text_weighted(scene, text, origin, style.text_size, style.weight, c.text);
}

} // namespace kavu::ui
