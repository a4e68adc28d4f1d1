#include <ui/widgets/tooltip_host.h>

#include <ui/surface.h>
#include <ui/text_renderer.h>

#include <algorithm>

namespace kavu::ui {

bool TooltipHost::on_pointer(std::optional<Tooltip> tooltip, Instant now) {
    if (!tooltip || tooltip->text.empty()) {
        m_pending.reset();
        if (!m_visible)
            return false;
        hide();
        m_last_hidden = now;
        return true;
    }
    if (m_visible == tooltip || m_pending == tooltip)
        return false;
    bool warm = m_visible || (m_last_hidden && now - *m_last_hidden < kWarmPeriod);
    if (warm) {
        m_pending.reset();
        m_visible = std::move(tooltip);
        return true;
    }
    bool was_visible = m_visible.has_value();
    m_visible.reset();
    m_pending = std::move(tooltip);
    m_pending_since = now;
    return was_visible;
}

bool TooltipHost::tick(Instant now) {
    if (!m_pending || now - m_pending_since < m_delay)
        return false;
    m_visible = std::move(m_pending);
    m_pending.reset();
    return true;
}

void TooltipHost::hide() {
    m_visible.reset();
    m_pending.reset();
}

std::optional<Instant> TooltipHost::deadline() const {
    if (!m_pending)
        return std::nullopt;
    return m_pending_since + m_delay;
}

namespace tooltip {

namespace {
constexpr double kPadX = 8;
constexpr double kPadY = 5;
constexpr double kGap = 6;
constexpr double kMargin = 4;
constexpr double kMaxTextWidth = 320;
} // namespace

Rect draw_hover_tooltip(Scene& scene, const Theme& theme, const Tooltip& tip, Rect window) {
    float size = theme.small_size * theme.scale;
    double max_text =
        std::max(40.0, std::min(kMaxTextWidth * theme.scale, window.width() - 2 * (kMargin + kPadX)));
    TextStyle style{.size = size, .weight = FontWeight::Regular, .wrap = Wrap::Word, .max_width = max_text};
    Size text = TextRenderer::measure_styled(tip.text, style);
    double width = text.width + 2 * kPadX;
    double height = text.height + 2 * kPadY;
    double x = tip.anchor.center().x - width / 2;
    double y = tip.anchor.y1 + kGap;
    if (y + height > window.y1 - kMargin && tip.anchor.y0 - kGap - height >= window.y0 + kMargin)
        y = tip.anchor.y0 - kGap - height;
    x = std::max(std::min(x, window.x1 - kMargin - width), window.x0 + kMargin);
    y = std::max(std::min(y, window.y1 - kMargin - height), window.y0 + kMargin);
    Rect bubble = Rect::from_xywh(x, y, width, height);
    surface::shadow(scene, bubble, 6, 2, theme);
    surface::card(scene, bubble, 6, Colors::lift(theme.surface_raised, 0.35f), theme);
    TextRenderer::draw_styled(scene, tip.text, {x + kPadX, y + kPadY}, style, theme.on_surface);
    return bubble;
}

} // namespace tooltip

} // namespace kavu::ui
