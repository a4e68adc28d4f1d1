#include <ui/widgets/context_menu.h>

#include <ui/color.h>
#include <ui/surface.h>
#include <ui/text_renderer.h>

#include <algorithm>

namespace kavu::ui {

namespace {

constexpr double kItemHeight = 30;
constexpr double kPadding = 6;    // above the first and below the last item
constexpr double kTextInset = 14; // label from the item's left edge
constexpr double kMinWidth = 180;
constexpr double kMaxWidth = 420;
constexpr double kRadius = 10;
constexpr double kBoundsMargin = 4;
constexpr float kLabelSize = 13.5f;

} // namespace

std::size_t ContextMenu::push(std::string label, MenuItemStyle style) {
    return push_keyed(std::to_string(m_items.size()), std::move(label), style);
}

std::size_t ContextMenu::push_keyed(std::string key, std::string label, MenuItemStyle style) {
    m_items.push_back(ContextMenuItem{.key = std::move(key), .label = std::move(label), .style = style});
    if (m_open)
        m_rect = Rect::from_origin_size(m_rect.origin(), measure(m_scale));
    return m_items.size() - 1;
}

Size ContextMenu::measure(float scale) const {
    double widest = 0;
    for (const ContextMenuItem& item : m_items)
        widest = std::max(widest, TextRenderer::measure(item.label, kLabelSize * scale).width);
    double width = std::clamp(widest + 2 * kTextInset * scale, kMinWidth * scale, kMaxWidth * scale);
    double height = (2 * kPadding + kItemHeight * static_cast<double>(m_items.size())) * scale;
    return {width, height};
}

void ContextMenu::open_at(Point at, float scale) {
    m_scale = scale > 0 ? scale : 1;
    m_rect = Rect::from_origin_size(at, measure(m_scale));
    m_open = true;
    m_hovered.reset();
}

void ContextMenu::open_at_clamped(Point at, Rect bounds, float scale) {
    open_at(at, scale);
    Size size = m_rect.size();
    // Too close to the right or bottom edge: move back inside; a menu larger
    // than the bounds keeps its top left corner inside them.
    double x = std::max(std::min(at.x, bounds.x1 - kBoundsMargin - size.width), bounds.x0 + kBoundsMargin);
    double y = std::max(std::min(at.y, bounds.y1 - kBoundsMargin - size.height), bounds.y0 + kBoundsMargin);
    m_rect = Rect::from_origin_size({x, y}, size);
}

void ContextMenu::clear() {
    close();
    m_items.clear();
}

void ContextMenu::close() {
    m_open = false;
    m_hovered.reset();
}

Rect ContextMenu::item_rect(std::size_t index) const {
    double top = m_rect.y0 + (kPadding + kItemHeight * static_cast<double>(index)) * m_scale;
    return {m_rect.x0 + 4 * m_scale, top, m_rect.x1 - 4 * m_scale, top + kItemHeight * m_scale};
}

std::optional<std::size_t> ContextMenu::item_at(Point p) const {
    for (std::size_t i = 0; i < m_items.size(); ++i)
        if (item_rect(i).contains(p))
            return i;
    return std::nullopt;
}

ContextMenuResponse ContextMenu::choose(std::size_t index) {
    close();
    return {.consumed = true, .chosen = index, .stays_open = false};
}

ContextMenuResponse ContextMenu::handle_event(const Event& event, EventContext& context) {
    if (!m_open)
        return {.consumed = false, .chosen = std::nullopt, .stays_open = false};
    ContextMenuResponse response;
    if (const auto* move = std::get_if<PointerMove>(&event)) {
        if (m_rect.contains(move->pos)) {
            m_hovered = item_at(move->pos);
            context.services.set_cursor(CursorShape::Arrow);
            response.consumed = true;
        }
    } else if (const auto* press = std::get_if<PointerPress>(&event)) {
        if (m_rect.contains(press->pos)) {
            response.consumed = true;
            if (press->button == PointerButton::Primary)
                if (auto index = item_at(press->pos))
                    return choose(*index);
        } else {
            // A press elsewhere dismisses the menu. A secondary press is left
            // to the owner, which may open a menu for what lies under it.
            close();
            response.consumed = press->button != PointerButton::Secondary;
            response.stays_open = false;
        }
    } else if (const auto* release = std::get_if<PointerRelease>(&event)) {
        response.consumed = m_rect.contains(release->pos);
    } else if (const auto* key = std::get_if<KeyPress>(&event)) {
        std::size_t count = m_items.size();
        response.consumed = true;
        switch (key->key) {
        case keys::kDown:
            if (count > 0)
                m_hovered = m_hovered ? (*m_hovered + 1) % count : 0;
            break;
        case keys::kUp:
            if (count > 0)
                m_hovered = m_hovered ? (*m_hovered + count - 1) % count : count - 1;
            break;
        case keys::kHome:
            if (count > 0)
                m_hovered = 0;
            break;
        case keys::kEnd:
            if (count > 0)
                m_hovered = count - 1;
            break;
        case keys::kEnter:
        case keys::kSpace:
            if (m_hovered)
                return choose(*m_hovered);
            break;
        case keys::kEscape:
            close();
            response.stays_open = false;
            break;
        default:
            response.consumed = false;
            break;
        }
    } else if (std::holds_alternative<TextEntered>(event)) {
        response.consumed = true; // typing must not reach a field behind the menu
    }
    return response;
}

std::optional<ContextMenuResponse> ContextMenu::perform_semantic_action(std::string_view node_id) {
    if (!m_open || !node_id.starts_with(kItemIdPrefix))
        return std::nullopt;
    std::string_view key = node_id.substr(kItemIdPrefix.size());
    for (std::size_t i = 0; i < m_items.size(); ++i)
        if (m_items[i].key == key)
            return choose(i);
    return std::nullopt;
}

void ContextMenu::draw(Scene& scene, const Theme& theme) const {
    if (!m_open)
        return;
    double radius = kRadius * m_scale;
    surface::shadow(scene, m_rect, radius, 3, theme);
    surface::card(scene, m_rect, radius, theme.surface_raised, theme);
    for (std::size_t i = 0; i < m_items.size(); ++i) {
        Rect row = item_rect(i);
        bool destructive = m_items[i].style == MenuItemStyle::Destructive;
        if (m_hovered == i)
            scene.fill_rounded(row, 6 * m_scale,
                               destructive ? theme.danger.with_alpha(0.16f)
                                           : Colors::lift(theme.surface_raised, 0.35f));
        float size = kLabelSize * m_scale;
        double text_height = TextRenderer::measure("Ag", size).height;
        std::string label = TextRenderer::cut_to_fit(m_items[i].label, size, FontWeight::Regular,
                                                     row.width() - 2 * (kTextInset - 4) * m_scale);
        TextRenderer::draw_text(
            scene, label, {row.x0 + (kTextInset - 4) * m_scale, row.y0 + (row.height() - text_height) / 2},
            size, destructive ? theme.danger : theme.on_surface);
    }
}

AccessNode ContextMenu::accessibility() const {
    AccessNode menu;
    menu.id = "context-menu";
    menu.label = "Context menu";
    menu.bounds = m_rect;
    menu.kind = AccessKind::Menu;
    menu.state = m_open;
    std::vector<AccessNode> children;
    for (std::size_t i = 0; i < m_items.size(); ++i) {
        AccessNode item;
        item.id = std::string(kItemIdPrefix) + m_items[i].key;
        item.label = m_items[i].label;
        item.bounds = item_rect(i);
        item.kind = AccessKind::MenuItem;
        item.state = m_hovered == i;
        children.push_back(std::move(item));
    }
    return std::move(menu).with_children(std::move(children));
}

} // namespace kavu::ui
