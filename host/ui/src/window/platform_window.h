#pragma once

#include <base/result.h>
#include <ui/app.h>
#include <ui/event.h>
#include <ui/geometry.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace kavu::ui {

// The window as the frame loop sees it: pixels to fill, events to read.
// The SDL implementation is the only code that talks to the platform; the
// loop itself runs against this interface (and a fake one in tests).
class PlatformWindow : public WindowServices {
public:
    // Drawable size in pixels.
    virtual Size pixel_size() = 0;
    // Drawable pixels per window point (2 on a HiDPI screen).
    virtual double device_scale() = 0;
    // Waits for events up to `timeout` (nothing: until one arrives) and
    // returns them with positions in drawable pixels; may return none.
    virtual std::vector<Event> wait_events(std::optional<std::chrono::milliseconds> timeout) = 0;
    virtual bool close_requested() = 0;
    virtual void cancel_close() = 0;
    // Lends the frame's pixel buffer (ARGB32 premultiplied, native order)
    // to `paint`, then shows it.
    using PaintFn = std::function<void(uint8_t* data, int width, int height, int stride)>;
    virtual void present(const PaintFn& paint) = 0;
    // Redraws asked for through WindowServices since the last call.
    virtual bool take_redraw_request() = 0;
};

struct WindowConfig {
    std::string title;
    Size size{1280, 800}; // window points
};

// Opens an SDL window; errors start with "no display" when there is no
// display to open it on.
kavu::Result<std::unique_ptr<PlatformWindow>> open_sdl_window(const WindowConfig& config);

} // namespace kavu::ui
