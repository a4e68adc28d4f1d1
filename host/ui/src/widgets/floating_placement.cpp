#include <ui/widgets/floating_placement.h>

#include <algorithm>
#include <cmath>

namespace kavu::ui {

namespace {

double ease_in_out(double t) {
    t = std::clamp(t, 0.0, 1.0);
    return t < 0.5 ? 4 * t * t * t : 1 - std::pow(-2 * t + 2, 3) / 2;
}

Rect lerp(Rect a, Rect b, double t) {
    auto mix = [t](double x, double y) { return x + (y - x) * t; };
    return {mix(a.x0, b.x0), mix(a.y0, b.y0), mix(a.x1, b.x1), mix(a.y1, b.y1)};
}

} // namespace

void FloatingPlacement::set_attached_chrome(Rect area) {
    if (!area.is_finite() || area.is_empty())
        return;
    m_area = area;
    if (m_rect && !m_detached && !is_dragging())
        m_rect = clamped(*m_rect);
}

void FloatingPlacement::reset() {
    m_rect.reset();
    m_detached = false;
    m_drag_offset.reset();
    m_handoff.reset();
    m_pinned_ms.reset();
}

Rect FloatingPlacement::default_rect() const {
    Rect area =
        m_area.value_or(Rect::from_xywh(0, 0, m_size.width + 2 * kMargin, m_size.height + 2 * kMargin));
    return clamped(Rect::from_xywh(area.x1 - kMargin - m_size.width, area.y1 - kMargin - m_size.height,
                                   m_size.width, m_size.height));
}

Rect FloatingPlacement::clamped(Rect r) const {
    if (!m_area)
        return r;
    Rect area = *m_area;
    // A card larger than the area keeps its top left corner inside.
    double x = std::max(std::min(r.x0, area.x1 - kMargin - r.width()), area.x0 + kMargin);
    double y = std::max(std::min(r.y0, area.y1 - kMargin - r.height()), area.y0 + kMargin);
    return Rect::from_xywh(x, y, r.width(), r.height());
}

Rect FloatingPlacement::rect() const {
    return m_rect.value_or(default_rect());
}

void FloatingPlacement::begin_drag(Point pointer) {
    Rect r = rect();
    m_rect = r;
    m_drag_offset = pointer - r.origin();
}

void FloatingPlacement::update_drag(Point pointer) {
    if (!m_drag_offset || !std::isfinite(pointer.x) || !std::isfinite(pointer.y))
        return;
    Rect r = rect();
    m_rect = Rect::from_origin_size(pointer - *m_drag_offset, r.size());
}

DragOutcome FloatingPlacement::end_drag() {
    if (!m_drag_offset)
        return DragOutcome::None;
    m_drag_offset.reset();
    Rect r = rect();
    bool centre_inside = m_area && m_area->contains(r.center());
    if (m_detached)
        return centre_inside ? DragOutcome::ReturnedToWindow : DragOutcome::None;
    if (m_area && !centre_inside)
        return DragOutcome::LeftWindow;
    m_rect = clamped(r);
    return DragOutcome::Stayed;
}

void FloatingPlacement::detach_to_desktop(Rect desktop_rect) {
    if (!desktop_rect.is_finite() || desktop_rect.is_empty())
        return;
    m_detached = true;
    m_handoff.reset();
    m_rect = desktop_rect;
}

void FloatingPlacement::reattach_to_app(Instant now) {
    if (!m_detached)
        return;
    Rect from = rect();
    m_detached = false;
    m_drag_offset.reset();
    Rect to = clamped(from);
    m_rect = to;
    m_handoff = Handoff{.from = from, .to = to, .start = now};
}

bool FloatingPlacement::confirm_app_adoption() {
    bool pending = m_handoff.has_value();
    m_handoff.reset();
    return pending;
}

bool FloatingPlacement::is_handoff_animating(Instant now) const {
    if (!m_handoff || m_pinned_ms)
        return false;
    return now - m_handoff->start < kHandoffDuration;
}

Rect FloatingPlacement::presentation_transform(Instant now) const {
    if (!m_handoff)
        return rect();
    std::chrono::duration<double, std::milli> elapsed =
        m_pinned_ms ? std::chrono::duration<double, std::milli>(*m_pinned_ms) : now - m_handoff->start;
    double t = elapsed / std::chrono::duration<double, std::milli>(kHandoffDuration);
    return lerp(m_handoff->from, m_handoff->to, ease_in_out(t));
}

namespace floating_surface {

Rect protocol_rect(Rect card) {
    if (!card.is_finite())
        return Rect::from_xywh(0, 0, 1, 1);
    double x0 = std::floor(card.x0);
    double y0 = std::floor(card.y0);
    double x1 = std::max(std::ceil(card.x1), x0 + 1);
    double y1 = std::max(std::ceil(card.y1), y0 + 1);
    return {x0, y0, x1, y1};
}

} // namespace floating_surface

} // namespace kavu::ui
