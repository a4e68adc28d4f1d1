#include <ui/widgets/transition.h>

#include <algorithm>
#include <cmath>

namespace kavu::ui {

namespace {

// Ease-out cubic: quick to respond, gentle to settle.
double ease(double t) {
    double u = 1 - std::clamp(t, 0.0, 1.0);
    return 1 - u * u * u;
}

} // namespace

void Transition::set_open(bool open, Instant now) {
    if (!m_pinned && open == m_open)
        return;
    double current = value(now);
    m_pinned.reset();
    m_open = open;
    m_from = current;
    m_start = now;
    m_run = m_duration * std::abs(target() - current);
}

void Transition::snap(bool open) {
    m_pinned.reset();
    m_open = open;
    m_from = target();
    m_run = Duration(0);
}

void Transition::pin(double value) {
    m_pinned = std::isfinite(value) ? std::clamp(value, 0.0, 1.0) : target();
}

double Transition::value(Instant now) const {
    if (m_pinned)
        return *m_pinned;
    if (m_run.count() <= 0)
        return target();
    Duration elapsed = now - m_start;
    if (elapsed >= m_run)
        return target();
    if (elapsed.count() <= 0)
        return m_from;
    return m_from + (target() - m_from) * ease(elapsed / m_run);
}

bool Transition::is_animating(Instant now) const {
    if (m_pinned || m_run.count() <= 0)
        return false;
    return now - m_start < m_run;
}

} // namespace kavu::ui
