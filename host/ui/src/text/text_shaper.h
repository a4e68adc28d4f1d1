#pragma once

#include "text/shaped_text.h"

#include <ui/text_renderer.h>

#include <pango/pango.h>

#include <memory>
#include <string>
#include <string_view>

namespace kavu::ui {

// The process's pango context and the cache of shaped texts. Hinting is off
// so that a layout measures the same at every scale and on every surface.
class TextShaper {
public:
    static TextShaper& instance();

    std::shared_ptr<const ShapedText> shape(std::string_view text, const TextStyle& style);
    // Shapes without touching the cache (for probing many candidate texts).
    Size measure_uncached(std::string_view text, const TextStyle& style);
    // A new empty layout in the shared context, set in the font stack.
    GRef<PangoLayout> new_layout(float size, FontWeight weight);
    static Size layout_size(PangoLayout* layout);
    // Sets the layout's text and attributes (`attrs` may be null). Runs of
    // plain ASCII are pinned to the text fonts: the colour emoji font also
    // covers digits, '#', '*' and the space (for keycap sequences), and
    // pango would otherwise set "# general" or "3 people" with its wide
    // blank glyphs.
    static void set_text(PangoLayout* layout, std::string_view text, PangoAttrList* attrs);

    TextCacheStats stats() const;
    void clear();

    struct Impl;

private:
    TextShaper();
    std::unique_ptr<Impl> m_impl;
};

} // namespace kavu::ui
