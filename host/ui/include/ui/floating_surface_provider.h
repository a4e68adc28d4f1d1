#pragma once

#include <ui/app.h>
#include <ui/geometry.h>
#include <ui/scene.h>

#include <string>
#include <string_view>
#include <vector>

namespace kavu::ui {

// A card the application lets float outside its window (a call kept visible
// while the user works elsewhere). Rectangles are in window coordinates; a
// detached surface may lie partly or wholly outside the window.
struct FloatingSurface {
    std::string key; // owner-chosen, e.g. "chat-call:" and a channel id
    Rect rect;
    bool detached = false;
};

class FloatingSurfaceProvider {
public:
    virtual ~FloatingSurfaceProvider() = default;
    virtual std::vector<FloatingSurface> floating_surfaces() = 0;
    // Draws a detached surface at its rectangle.
    virtual void draw_floating_surface(std::string_view key, Scene& scene, const FrameContext& frame) = 0;
    // Brings a detached surface back into the window; false when unknown.
    virtual bool reattach_floating_surface(std::string_view key) = 0;
};

} // namespace kavu::ui
