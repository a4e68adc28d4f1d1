#include <ui/widgets/transition.h>

#include <gtest/gtest.h>

using namespace kavu::ui;
using namespace std::chrono_literals;

namespace {

const Instant t0 = Instant{} + 10s;

Instant after(Instant start, double ms) {
    return start + std::chrono::duration_cast<Clock::duration>(Transition::Duration(ms));
}

TEST(Transition, StartsAtItsStateAndEasesToTheOther) {
    Transition t = Transition::closed(Transition::Duration(200));
    EXPECT_EQ(t.value(t0), 0);
    EXPECT_FALSE(t.is_animating(t0));

    t.set_open(true, t0);
    EXPECT_EQ(t.value(t0), 0);
    EXPECT_TRUE(t.is_animating(t0 + 1ms));
    double quarter = t.value(t0 + 50ms);
    double half = t.value(t0 + 100ms);
    EXPECT_GT(quarter, 0.25); // eases out: ahead of linear early on
    EXPECT_GT(half, quarter);
    EXPECT_LT(half, 1);
    EXPECT_EQ(t.value(t0 + 200ms), 1);
    EXPECT_FALSE(t.is_animating(t0 + 200ms));
    EXPECT_EQ(t.value(t0 + 5s), 1);
}

TEST(Transition, ReversingMidwayContinuesFromTheCurrentValue) {
    Transition t = Transition::closed(Transition::Duration(200));
    t.set_open(true, t0);
    double at_reverse = t.value(t0 + 60ms);
    t.set_open(false, t0 + 60ms);
    EXPECT_DOUBLE_EQ(t.value(t0 + 60ms), at_reverse);
    // The way back is as long as the distance covered needs.
    EXPECT_TRUE(t.is_animating(after(t0 + 60ms, 200 * at_reverse - 1)));
    EXPECT_EQ(t.value(after(t0 + 60ms, 200 * at_reverse + 0.001)), 0);
    // Asking for the state it is already heading to changes nothing.
    t.set_open(false, t0 + 70ms);
    EXPECT_EQ(t.value(after(t0 + 60ms, 200 * at_reverse + 0.001)), 0);
}

TEST(Transition, ThemeTimingSnapAndPin) {
    Theme theme = Theme::dark();
    theme.motion_ms = 100;
    Transition t = Transition::open(theme);
    EXPECT_EQ(t.value(t0), 1);
    t.set_open(false, t0);
    EXPECT_EQ(t.value(t0 + 100ms), 0);

    t.pin(0.75);
    EXPECT_EQ(t.value(t0 + 1h), 0.75);
    EXPECT_FALSE(t.is_animating(t0));
    t.pin(7);
    EXPECT_EQ(t.value(t0), 1);
    // Leaving a pin animates from the pinned value.
    t.set_open(true, t0);
    EXPECT_EQ(t.value(t0), 1);
    t.snap(false);
    EXPECT_EQ(t.value(t0), 0);
    EXPECT_FALSE(t.is_animating(t0));

    Transition instant = Transition::closed(Transition::Duration(0));
    instant.set_open(true, t0);
    EXPECT_EQ(instant.value(t0), 1);
    EXPECT_FALSE(instant.is_animating(t0));
}

} // namespace
