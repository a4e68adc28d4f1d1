#include <ui/search/quick_switcher.h>

#include <ui/color.h>
#include <ui/log.h>
#include <ui/surface.h>
#include <ui/text_renderer.h>

#include <nlohmann/json.hpp>

#include <algorithm>
#include <unordered_set>

namespace kavu::ui {

namespace {

constexpr double kPanelWidth = 560;
constexpr double kFieldHeight = 46;
constexpr double kRowHeight = 50;
constexpr double kListPad = 6;
constexpr double kEmptyHeight = 56;

std::string string_field(const nlohmann::json& node, const char* key) {
    auto it = node.find(key);
    return it != node.end() && it->is_string() ? it->get<std::string>() : std::string();
}

void collect_entries(const nlohmann::json& node, std::vector<SearchEntry>& out, int depth) {
    // Trees come from the application; a runaway depth is a bug there, not
    // a reason to overflow the stack here.
    if (depth > 64)
        return;
    if (node.is_array()) {
        for (const auto& child : node)
            collect_entries(child, out, depth + 1);
        return;
    }
    if (!node.is_object())
        return;
    std::string address = string_field(node, "address");
    if (!address.empty()) {
        SearchEntry entry;
        entry.address = std::move(address);
        entry.group = string_field(node, "group");
        entry.title = string_field(node, "title");
        entry.subtitle = string_field(node, "subtitle");
        entry.kind_label = string_field(node, "kind_label");
        entry.search_text = string_field(node, "search_text");
        if (entry.search_text.empty())
            entry.search_text = entry.title;
        out.push_back(std::move(entry));
    }
    if (auto children = node.find("children"); children != node.end())
        collect_entries(*children, out, depth + 1);
}

} // namespace

std::size_t index_navigation_tree(SearchCatalog& catalog, const nlohmann::json& tree) {
    std::vector<SearchEntry> entries;
    collect_entries(tree, entries, 0);
    std::unordered_set<std::string> present;
    for (const SearchEntry& e : entries)
        present.insert(e.address);
    std::vector<std::string> gone;
    catalog.for_each_address([&](const std::string& address) {
        if (!present.contains(address))
            gone.push_back(address);
    });
    for (const std::string& address : gone)
        catalog.remove_postings(address);
    for (SearchEntry& e : entries)
        catalog.upsert(std::move(e));
    return present.size();
}

kavu::Result<void> perform_search_action(App& app, const SearchActionAddress& address) {
    std::optional<nlohmann::json> resource = app.resource_by_address(address.resource);
    if (!resource || !resource->is_object())
        return kavu::make_error("no resource at " + address.resource);
    auto actions = resource->find("actions");
    if (actions == resource->end() || !actions->is_array())
        return kavu::make_error(address.resource + " offers no actions");
    for (const auto& action : *actions) {
        if (!action.is_object() || string_field(action, "id") != address.action)
            continue;
        std::string kind = string_field(action, "kind");
        auto payload = action.find("payload");
        if (kind.empty() || payload == action.end())
            return kavu::make_error("action \"" + address.action + "\" of " + address.resource +
                                    " is malformed");
        auto performed = app.perform_operation(kind, *payload);
        if (!performed)
            return performed.error();
        return {};
    }
    return kavu::make_error(address.resource + " has no \"" + address.action + "\" action");
}

QuickSwitcher::QuickSwitcher() : m_field(TextInput::local()) {
    m_field.set_placeholder("Jump to a conversation, person or message…");
}

bool QuickSwitcher::is_toggle_shortcut(const Event& event) {
    const auto* key = std::get_if<KeyPress>(&event);
    return key && key->key == 'k' && has_only(key->modifiers, mods::kCtrl);
}

void QuickSwitcher::open() {
    m_open = true;
    m_field.set_text("");
    m_field.set_focused(true);
    m_results.clear();
    m_next.reset();
    m_selected.reset();
}

void QuickSwitcher::close() {
    m_open = false;
    m_field.set_focused(false);
}

void QuickSwitcher::run_query(const SearchCatalog& catalog) {
    SearchPage page = catalog.query_page(m_field.text(), kPageSize);
    m_results = std::move(page.results);
    m_next = std::move(page.next);
    m_selected = m_results.empty() ? std::nullopt : std::optional<std::size_t>(0);
}

void QuickSwitcher::refresh(const SearchCatalog& catalog) {
    std::optional<std::size_t> keep = m_selected;
    run_query(catalog);
    if (keep && !m_results.empty())
        m_selected = std::min(*keep, m_results.size() - 1);
}

void QuickSwitcher::load_more(const SearchCatalog& catalog) {
    if (!m_next)
        return;
    if (!catalog.cursor_is_current(*m_next)) {
        // The catalog changed under the list: start over rather than append
        // a page ranked against a different catalog.
        refresh(catalog);
        return;
    }
    SearchPage page = catalog.query_page(m_field.text(), kPageSize, m_next);
    for (SearchResult& r : page.results)
        m_results.push_back(std::move(r));
    m_next = std::move(page.next);
}

void QuickSwitcher::lay_out(Rect window, float scale) {
    m_scale = scale > 0 ? scale : 1;
    double width = std::min(kPanelWidth * m_scale, window.width() - 24);
    double x = window.x0 + (window.width() - width) / 2;
    double y = window.y0 + std::max(12.0, window.height() * 0.14);
    double rows = static_cast<double>(std::min<std::size_t>(m_results.size(), kPageSize * 2));
    double list_height =
        m_results.empty() ? kEmptyHeight * m_scale : rows * kRowHeight * m_scale + 2 * kListPad;
    double max_height = std::max(kFieldHeight * m_scale, window.y1 - 12 - y - kFieldHeight * m_scale);
    list_height = std::min(list_height, max_height);
    m_geometry.field = Rect::from_xywh(x, y, width, kFieldHeight * m_scale);
    m_geometry.list = Rect::from_xywh(x, y + kFieldHeight * m_scale, width, list_height);
    m_geometry.panel = m_geometry.field.united(m_geometry.list);
    m_field.set_text_size(15 * m_scale);
    m_field.apply_layout_external(m_geometry.field.inset(6 * m_scale, 0));
}

Rect QuickSwitcher::row_rect(std::size_t index) const {
    double top = m_geometry.list.y0 + kListPad + static_cast<double>(index) * kRowHeight * m_scale;
    // Rows past the visible list scroll so that the selected one shows.
    double visible = std::floor((m_geometry.list.height() - 2 * kListPad) / (kRowHeight * m_scale));
    if (m_selected && visible >= 1 && static_cast<double>(*m_selected) >= visible)
        top -= (static_cast<double>(*m_selected) - visible + 1) * kRowHeight * m_scale;
    return {m_geometry.list.x0 + 6, top, m_geometry.list.x1 - 6, top + kRowHeight * m_scale};
}

std::optional<std::size_t> QuickSwitcher::row_at(Point p) const {
    if (!m_geometry.list.contains(p))
        return std::nullopt;
    for (std::size_t i = 0; i < m_results.size(); ++i)
        if (row_rect(i).contains(p))
            return i;
    return std::nullopt;
}

QuickSwitcherResponse QuickSwitcher::handle_event(const Event& event, EventContext& context,
                                                  const SearchCatalog& catalog) {
    QuickSwitcherResponse response;
    if (!m_open)
        return response;
    lay_out(context.window, context.theme.scale);
    response.consumed = true; // the switcher is modal while open
    auto activate = [&](std::size_t index) {
        response.activate = m_results[index].action_address();
        close();
    };
    if (const auto* key = std::get_if<KeyPress>(&event)) {
        if (key->key == keys::kEscape || is_toggle_shortcut(event)) {
            close();
        } else if (key->key == keys::kDown && key->modifiers == 0) {
            if (m_selected && *m_selected + 1 >= m_results.size())
                load_more(catalog);
            if (!m_results.empty())
                m_selected = m_selected ? std::min(*m_selected + 1, m_results.size() - 1) : 0;
        } else if (key->key == keys::kUp && key->modifiers == 0) {
            if (m_selected && *m_selected > 0)
                --*m_selected;
        } else if (key->key == keys::kEnter) {
            if (m_selected && *m_selected < m_results.size())
                activate(*m_selected);
        } else if (m_field.handle_event(event, context).changed) {
            run_query(catalog);
        }
    } else if (const auto* move = std::get_if<PointerMove>(&event)) {
        if (auto row = row_at(move->pos))
            m_selected = row;
    } else if (const auto* press = std::get_if<PointerPress>(&event)) {
        if (auto row = row_at(press->pos); row && press->button == PointerButton::Primary)
            activate(*row);
        else if (!m_geometry.panel.contains(press->pos))
            close();
        else
            m_field.handle_event(event, context);
    } else if (m_field.handle_event(event, context).changed) {
        run_query(catalog);
    }
    return response;
}

void QuickSwitcher::draw(Scene& scene, const Theme& theme, Rect window) {
    if (!m_open)
        return;
    lay_out(window, theme.scale);
    scene.fill_rect(window, Color{0, 0, 0, theme.scrim_alpha * 0.5f});
    double radius = 14 * m_scale;
    surface::shadow(scene, m_geometry.panel, radius, 3, theme);
    surface::card(scene, m_geometry.panel, radius, theme.surface_raised, theme);
    m_field.draw(scene, theme);
    surface::separator(scene, m_geometry.panel.x0, m_geometry.panel.x1, m_geometry.field.y1, theme);

    ScopedClip clip(scene, m_geometry.list);
    float title_size = 14 * m_scale;
    float small_size = theme.small_size * m_scale;
    if (m_results.empty()) {
        std::string_view hint =
            m_field.text().empty() ? "Type to search conversations, people and messages" : "No matches";
        TextRenderer::draw_text(scene, hint,
                                {m_geometry.list.x0 + 18 * m_scale, m_geometry.list.y0 + 18 * m_scale},
                                title_size, theme.on_surface_muted);
        return;
    }
    for (std::size_t i = 0; i < m_results.size(); ++i) {
        Rect row = row_rect(i);
        if (row.y1 < m_geometry.list.y0 || row.y0 > m_geometry.list.y1)
            continue;
        const SearchResult& r = m_results[i];
        if (m_selected == i)
            scene.fill_rounded(row, 8 * m_scale, Colors::lift(theme.surface_raised, 0.35f));
        std::string tag = r.kind_label.empty() ? r.group : r.kind_label;
        double tag_width = tag.empty() ? 0 : TextRenderer::measure(tag, small_size).width;
        double text_x = row.x0 + 12 * m_scale;
        double text_width = row.width() - 24 * m_scale - (tag_width > 0 ? tag_width + 12 * m_scale : 0);
        TextRenderer::draw_text(
            scene, TextRenderer::cut_to_fit(r.title, title_size, FontWeight::Regular, text_width),
            {text_x, row.y0 + 7 * m_scale}, title_size, theme.on_surface);
        if (!r.subtitle.empty())
            TextRenderer::draw_text(
                scene, TextRenderer::cut_to_fit(r.subtitle, small_size, FontWeight::Regular, text_width),
                {text_x, row.y0 + 28 * m_scale}, small_size, theme.on_surface_muted);
        if (!tag.empty())
            TextRenderer::draw_text(scene, tag, {row.x1 - 12 * m_scale - tag_width, row.y0 + 16 * m_scale},
                                    small_size, theme.on_surface_muted);
    }
}

AccessNode QuickSwitcher::accessibility() const {
    AccessNode root;
    root.id = "quick-switcher";
    root.label = "Quick switcher";
    root.bounds = m_geometry.panel;
    root.kind = AccessKind::Group;
    root.state = m_open;
    AccessNode field = m_field.accessibility("quick-switcher:query", "Search");
    field.kind = AccessKind::TextField;
    AccessNode list;
    list.id = "quick-switcher:results";
    list.label = "Results";
    list.bounds = m_geometry.list;
    list.kind = AccessKind::List;
    for (std::size_t i = 0; i < m_results.size(); ++i) {
        AccessNode item;
        item.id = "quick-switcher:result:" + m_results[i].address;
        item.label = m_results[i].title;
        item.description = m_results[i].subtitle;
        item.bounds = row_rect(i);
        item.kind = AccessKind::SelectableItem;
        item.state = m_selected == i;
        list.children.push_back(std::move(item));
    }
    return std::move(root).with_children({std::move(field), std::move(list)});
}

bool QuickSwitcherHost::handle_event(const Event& event, EventContext& context, App& app) {
    if (!m_switcher.is_open()) {
        if (!QuickSwitcher::is_toggle_shortcut(event))
            return false;
        if (std::optional<nlohmann::json> tree = app.navigation_tree())
            index_navigation_tree(m_catalog, *tree);
        m_switcher.open();
        context.services.request_redraw();
        return true;
    }
    QuickSwitcherResponse response = m_switcher.handle_event(event, context, m_catalog);
    if (response.activate) {
        // A result that can no longer be opened (deleted meanwhile) closes
        // the switcher and leaves a warning; the interface carries on.
        if (auto performed = perform_search_action(app, *response.activate); !performed)
            log::warn("quick switcher: " + performed.error_text());
    }
    if (response.consumed)
        context.services.request_redraw();
    return response.consumed;
}

void QuickSwitcherHost::draw(Scene& scene, const FrameContext& frame) {
    m_switcher.draw(scene, frame.theme, frame.window);
}

AccessNode QuickSwitcherHost::with_accessibility(AccessNode root) const {
    if (m_switcher.is_open())
        root.children.push_back(m_switcher.accessibility());
    return root;
}

} // namespace kavu::ui
