#include <ui/widgets/tooltip_host.h>

#include <gtest/gtest.h>

using namespace kavu::ui;
using namespace std::chrono_literals;

namespace {

const Instant t0 = Instant{} + 1h;
const Tooltip kSend{.anchor = {1200, 740, 1244, 772}, .text = "Send message"};
const Tooltip kEmoji{.anchor = {1150, 740, 1190, 772}, .text = "Insert emoji"};

TEST(TooltipHost, ShowsAfterRestingForTheDelay) {
    TooltipHost host;
    EXPECT_FALSE(host.on_pointer(kSend, t0));
    EXPECT_TRUE(host.is_pending());
    EXPECT_EQ(host.deadline(), t0 + 500ms);
    EXPECT_FALSE(host.on_pointer(kSend, t0 + 200ms)); // same anchor: the wait goes on
    EXPECT_FALSE(host.tick(t0 + 499ms));
    EXPECT_TRUE(host.tick(t0 + 500ms));
    EXPECT_EQ(host.visible(), kSend);
    EXPECT_FALSE(host.is_pending());
    EXPECT_FALSE(host.tick(t0 + 600ms));
}

TEST(TooltipHost, LeavingHidesAndANeighbourShowsAtOnce) {
    TooltipHost host;
    host.on_pointer(kSend, t0);
    host.tick(t0 + 500ms);
    EXPECT_TRUE(host.on_pointer(kEmoji, t0 + 600ms)); // warm: straight to the neighbour
    EXPECT_EQ(host.visible(), kEmoji);
    EXPECT_TRUE(host.on_pointer(std::nullopt, t0 + 700ms));
    EXPECT_FALSE(host.visible());
    EXPECT_FALSE(host.on_pointer(std::nullopt, t0 + 710ms));
    EXPECT_TRUE(host.on_pointer(kSend, t0 + 800ms)); // within the warm period
    host.on_pointer(std::nullopt, t0 + 900ms);
    EXPECT_FALSE(host.on_pointer(kEmoji, t0 + 2s)); // cold again: waits
    EXPECT_FALSE(host.visible());
    // Moving off before the delay cancels it.
    host.on_pointer(std::nullopt, t0 + 2100ms);
    EXPECT_FALSE(host.tick(t0 + 5s));
    EXPECT_FALSE(host.on_pointer(Tooltip{.anchor = kSend.anchor, .text = ""}, t0 + 6s));
    EXPECT_FALSE(host.is_pending());
}

TEST(Tooltip, BubbleStaysInsideTheWindow) {
    Theme theme = Theme::dark();
    Rect window{0, 0, 1280, 800};
    Scene scene;
    // Near the bottom right: flips above the anchor and moves left.
    Rect bubble = tooltip::draw_hover_tooltip(scene, theme, kSend, window);
    EXPECT_LE(bubble.x1, window.x1);
    EXPECT_LE(bubble.y1, kSend.anchor.y0);
    // Near the top left: below the anchor.
    Tooltip top{.anchor = {0, 0, 30, 30}, .text = "Show conversation navigation"};
    Rect below = tooltip::draw_hover_tooltip(scene, theme, top, window);
    EXPECT_GE(below.x0, window.x0);
    EXPECT_GE(below.y0, top.anchor.y1);
    EXPECT_EQ(scene.depth(), 0);
    // A long text wraps instead of leaving a narrow window.
    Tooltip long_text{.anchor = {10, 10, 20, 20}, .text = std::string(400, 'x') + " end"};
    Rect narrow{0, 0, 200, 600};
    Rect wrapped = tooltip::draw_hover_tooltip(scene, theme, long_text, narrow);
    EXPECT_LE(wrapped.x1, narrow.x1);
}

} // namespace
