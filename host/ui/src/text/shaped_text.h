#pragma once

#include "core/handles.h"

#include <ui/geometry.h>

#include <pango/pango.h>

namespace kavu::ui {

// A shaped paragraph: the pango layout and its logical size in pixels. It is
// immutable once built and shared between the cache and recorded scenes.
struct ShapedText {
    GRef<PangoLayout> layout;
    Size size;
};

} // namespace kavu::ui
