#pragma once

#include <ui/access_node.h>
#include <ui/app.h>
#include <ui/event.h>
#include <ui/geometry.h>
#include <ui/scene.h>
#include <ui/theme.h>

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kavu::ui {

enum class MenuItemStyle { Normal, Destructive };

struct ContextMenuItem {
    std::string key; // names the item in its accessibility id
    std::string label;
    MenuItemStyle style = MenuItemStyle::Normal;
};

// What an event did to an open menu.
struct ContextMenuResponse {
    bool consumed = false;
    std::optional<std::size_t> chosen; // index of the item chosen
    bool stays_open = true;
};

// A popup list of commands opened at a point. Items are chosen with the
// pointer or with Up, Down and Enter; Escape or a press outside closes it.
// Its accessibility subtree names items "context-menu:item:" and their key,
// and an assistive technology chooses one through perform_semantic_action.
class ContextMenu {
public:
    static constexpr std::string_view kItemIdPrefix = "context-menu:item:";

    // Adds an item; its key is its index unless given. Returns the index.
    std::size_t push(std::string label, MenuItemStyle style = MenuItemStyle::Normal);
    std::size_t push_keyed(std::string key, std::string label, MenuItemStyle style = MenuItemStyle::Normal);
    const std::vector<ContextMenuItem>& items() const { return m_items; }
    // Closes the menu and removes its items, ready to be filled again.
    void clear();

    // Opens with its top left corner at the point, at the given scale.
    void open_at(Point at, float scale = 1);
    // Opens at the point, moved as little as needed to lie inside `bounds`.
    void open_at_clamped(Point at, Rect bounds, float scale = 1);
    void close();
    bool is_open() const { return m_open; }
    Rect rect() const { return m_rect; }
    std::optional<std::size_t> hovered() const { return m_hovered; }

    void draw(Scene& scene, const Theme& theme) const;
    ContextMenuResponse handle_event(const Event& event, EventContext& context);
    AccessNode accessibility() const;
    // Chooses the item an accessibility id names; nothing when the menu is
    // closed or the id names no item.
    std::optional<ContextMenuResponse> perform_semantic_action(std::string_view node_id);

private:
    Size measure(float scale) const;
    Rect item_rect(std::size_t index) const;
    std::optional<std::size_t> item_at(Point p) const;
    ContextMenuResponse choose(std::size_t index);

    std::vector<ContextMenuItem> m_items;
    bool m_open = false;
    Rect m_rect;
    float m_scale = 1;
    std::optional<std::size_t> m_hovered;
};

} // namespace kavu::ui
