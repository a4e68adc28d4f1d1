#include "text/text_shaper.h"

#include <ui/rich_text_layout.h>

#include <list>
#include <unordered_map>

namespace kavu::ui {

namespace {

constexpr size_t kCacheCapacity = 2048;

guint16 channel16(float c) {
    return static_cast<guint16>(std::clamp(c, 0.0f, 1.0f) * 65535.0f + 0.5f);
}

void add_attr(PangoAttrList* list, PangoAttribute* attr, size_t start, size_t end) {
    attr->start_index = static_cast<guint>(start);
    attr->end_index = static_cast<guint>(end);
    pango_attr_list_insert(list, attr);
}

std::string cache_key(std::span<const TextSpan> spans, float size, double max_width) {
    std::string key;
    key.append(reinterpret_cast<const char*>(&size), sizeof size);
    key.append(reinterpret_cast<const char*>(&max_width), sizeof max_width);
    for (const auto& s : spans) {
        uint64_t len = s.text.size();
        key.append(reinterpret_cast<const char*>(&len), sizeof len);
        key += s.text;
        key += s.bold ? 'B' : 'r';
        for (const auto* c : {&s.color, &s.background}) {
            if (*c) {
                key += 'c';
                key.append(reinterpret_cast<const char*>(&**c), sizeof(Color));
            } else {
                key += '-';
            }
        }
    }
    return key;
}

struct RichCache {
    std::list<std::pair<std::string, std::shared_ptr<const ShapedText>>> lru;
    std::unordered_map<std::string, decltype(lru)::iterator> index;
};

RichCache& rich_cache() {
    static RichCache cache;
    return cache;
}

std::shared_ptr<const ShapedText> build(std::span<const TextSpan> spans, float size, double max_width) {
    auto& shaper = TextShaper::instance();
    auto shaped = std::make_shared<ShapedText>();
    shaped->layout = shaper.new_layout(size, FontWeight::Regular);
    std::string text;
    Handle<PangoAttrList, pango_attr_list_unref> attrs(pango_attr_list_new());
    for (const auto& span : spans) {
        size_t start = text.size();
        text += span.text;
        size_t end = text.size();
        if (start == end)
            continue;
        if (span.bold)
            add_attr(attrs.get(), pango_attr_weight_new(PANGO_WEIGHT_BOLD), start, end);
        if (span.color) {
            const Color& c = *span.color;
            add_attr(attrs.get(), pango_attr_foreground_new(channel16(c.r), channel16(c.g), channel16(c.b)),
                     start, end);
            add_attr(attrs.get(), pango_attr_foreground_alpha_new(channel16(c.a)), start, end);
        }
        if (span.background) {
            const Color& c = *span.background;
            add_attr(attrs.get(), pango_attr_background_new(channel16(c.r), channel16(c.g), channel16(c.b)),
                     start, end);
            add_attr(attrs.get(), pango_attr_background_alpha_new(channel16(c.a)), start, end);
        }
    }
    TextShaper::set_text(shaped->layout.get(), text, attrs.get());
    if (max_width > 0) {
        pango_layout_set_width(shaped->layout.get(), static_cast<int>(max_width * PANGO_SCALE));
        pango_layout_set_wrap(shaped->layout.get(), PANGO_WRAP_WORD_CHAR);
    }
    shaped->size = TextShaper::layout_size(shaped->layout.get());
    return shaped;
}

} // namespace

RichTextLayout RichTextLayout::shape(std::span<const TextSpan> spans, float size, double max_width) {
    RichTextLayout result;
    auto& cache = rich_cache();
    std::string key = cache_key(spans, size, max_width);
    if (auto it = cache.index.find(key); it != cache.index.end()) {
        cache.lru.splice(cache.lru.begin(), cache.lru, it->second);
        result.m_shaped = it->second->second;
    } else {
        result.m_shaped = build(spans, size, max_width);
        cache.lru.emplace_front(key, result.m_shaped);
        cache.index.emplace(std::move(key), cache.lru.begin());
        while (cache.lru.size() > kCacheCapacity) {
            cache.index.erase(cache.lru.back().first);
            cache.lru.pop_back();
        }
    }
    result.m_size = result.m_shaped->size;
    return result;
}

} // namespace kavu::ui
