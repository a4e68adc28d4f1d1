#include <ui/widgets/floating_placement.h>

#include <gtest/gtest.h>

using namespace kavu::ui;
using namespace std::chrono_literals;

namespace {

const Instant t0 = Instant{} + 100s;
const Rect kArea{0, 60, 1280, 800};

FloatingPlacement attached() {
    FloatingPlacement p({320, 180});
    p.set_attached_chrome(kArea);
    return p;
}

TEST(FloatingPlacement, RestsAtTheBottomRightAndStaysInsideOnResize) {
    FloatingPlacement p = attached();
    EXPECT_EQ(p.rect(), Rect::from_xywh(1280 - 16 - 320, 800 - 16 - 180, 320, 180));
    EXPECT_EQ(p.presentation_transform(t0), p.rect());
    // Until moved it follows the corner; once placed it is only kept inside.
    p.set_attached_chrome({0, 60, 1000, 700});
    EXPECT_EQ(p.rect(), Rect::from_xywh(1000 - 16 - 320, 700 - 16 - 180, 320, 180));
    p.begin_drag({700, 520});
    p.update_drag({300, 300});
    EXPECT_EQ(p.end_drag(), DragOutcome::Stayed);
    Rect placed = p.rect();
    p.set_attached_chrome({0, 60, 500, 400});
    EXPECT_EQ(p.rect(), Rect::from_xywh(500 - 16 - 320, 400 - 16 - 180, 320, 180));
    p.set_attached_chrome({0, 60, 1280, 800});
    EXPECT_NE(p.rect(), placed);         // clamping moved it for good
    p.set_attached_chrome({0, 0, 0, 0}); // an empty area is ignored
    EXPECT_EQ(p.rect().width(), 320);
}

TEST(FloatingPlacement, DragFollowsThePointerAndIsClampedOnRelease) {
    FloatingPlacement p = attached();
    EXPECT_EQ(p.end_drag(), DragOutcome::None);
    Rect start = p.rect();
    p.begin_drag(start.origin() + Point{160, 10});
    EXPECT_TRUE(p.is_dragging());
    p.update_drag({200, 100});
    EXPECT_EQ(p.rect(), Rect::from_xywh(40, 90, 320, 180));
    p.update_drag({10, 70}); // past the top left corner
    EXPECT_EQ(p.rect().origin(), (Point{-150, 60}));
    EXPECT_EQ(p.end_drag(), DragOutcome::Stayed);
    EXPECT_EQ(p.rect().origin(), (Point{16, 76}));
    EXPECT_FALSE(p.is_dragging());
}

TEST(FloatingPlacement, DraggedOutItAsksToDetachAndDraggedBackToReturn) {
    FloatingPlacement p = attached();
    Rect start = p.rect();
    p.begin_drag(start.center());
    p.update_drag({1500, 500});
    EXPECT_EQ(p.end_drag(), DragOutcome::LeftWindow);
    p.detach_to_desktop(Rect::from_xywh(760, 300, 320, 180));
    EXPECT_TRUE(p.is_detached());
    EXPECT_EQ(p.rect(), Rect::from_xywh(760, 300, 320, 180));

    // Moving a detached card around the desktop keeps it detached.
    p.begin_drag({920, 310});
    p.update_drag({1900, 310});
    EXPECT_EQ(p.end_drag(), DragOutcome::None);
    EXPECT_TRUE(p.is_detached());

    p.begin_drag({1900, 310});
    p.update_drag({720, 210});
    EXPECT_EQ(p.end_drag(), DragOutcome::ReturnedToWindow);
}

TEST(FloatingPlacement, ReattachGlidesBackUntilAdopted) {
    FloatingPlacement p = attached();
    p.detach_to_desktop(Rect::from_xywh(1200, 700, 320, 180)); // partly off the window
    Rect from = p.rect();
    p.reattach_to_app(t0);
    EXPECT_FALSE(p.is_detached());
    Rect to = p.rect();
    EXPECT_EQ(to, Rect::from_xywh(1280 - 16 - 320, 800 - 16 - 180, 320, 180));
    EXPECT_TRUE(p.is_handoff_animating(t0 + 10ms));
    EXPECT_EQ(p.presentation_transform(t0), from);
    Rect mid = p.presentation_transform(t0 + 160ms);
    EXPECT_LT(mid.x0, from.x0);
    EXPECT_GT(mid.x0, to.x0);
    EXPECT_EQ(p.presentation_transform(t0 + 320ms), to);
    EXPECT_FALSE(p.is_handoff_animating(t0 + 320ms));
    EXPECT_TRUE(p.awaits_adoption());
    EXPECT_TRUE(p.confirm_app_adoption());
    EXPECT_FALSE(p.confirm_app_adoption());
    EXPECT_EQ(p.presentation_transform(t0), to);
    // Reattaching an attached card does nothing.
    p.reattach_to_app(t0);
    EXPECT_FALSE(p.awaits_adoption());
}

TEST(FloatingPlacement, PinnedHandoffIsFrozenForScreenshots) {
    FloatingPlacement p = attached();
    p.pin_handoff_for_visual_review(1000);
    EXPECT_EQ(p.presentation_transform(t0), p.rect()); // nothing to animate

    p.detach_to_desktop(Rect::from_xywh(720, 210, 320, 180));
    p.reattach_to_app(t0);
    p.pin_handoff_for_visual_review(100);
    Rect frozen = p.presentation_transform(t0);
    EXPECT_EQ(p.presentation_transform(t0 + 10s), frozen);
    EXPECT_FALSE(p.is_handoff_animating(t0));
    p.pin_handoff_for_visual_review(500);
    EXPECT_EQ(p.presentation_transform(t0), p.rect());

    p.reset();
    EXPECT_FALSE(p.awaits_adoption());
    EXPECT_TRUE(p.is_handoff_animating(t0) == false);
    EXPECT_EQ(p.rect(), attached().rect());
}

TEST(FloatingSurface, ProtocolRectCoversTheCardInWholePixels) {
    EXPECT_EQ(floating_surface::protocol_rect({10.4, 20.6, 330.2, 200.0}), (Rect{10, 20, 331, 200}));
    EXPECT_EQ(floating_surface::protocol_rect({5, 5, 5, 5}), (Rect{5, 5, 6, 6}));
    EXPECT_EQ(floating_surface::protocol_rect({0, 0, NAN, 1}), (Rect{0, 0, 1, 1}));
}

} // namespace
