#pragma once

#include "window/platform_window.h"

#include <ui/launch.h>

namespace kavu::ui {

// Runs the frame loop on an open window until it closes (or the frame limit
// is reached). Frames are drawn only when something changed: an event, a
// redraw request, or an application that asks for another frame; otherwise
// the loop sleeps in the window's event wait.
kavu::Result<void> run_frame_loop(const LaunchDescription& description, PlatformWindow& window,
                                  const WindowOptions& options);

} // namespace kavu::ui
