#pragma once

#include <base/result.h>
#include <ui/access_node.h>
#include <ui/app.h>
#include <ui/scene.h>
#include <ui/search/search_catalog.h>
#include <ui/theme.h>
#include <ui/widgets/text_input.h>

#include <nlohmann/json_fwd.hpp>

#include <optional>
#include <vector>

namespace kavu::ui {

// Fills the catalog from an application's navigation tree: every object with
// an "address" (and optionally "group", "title", "subtitle", "kind_label",
// "search_text") is upserted, nested objects are found under "children", and
// entries whose address is no longer in the tree are removed. Returns the
// number of entries in the tree.
std::size_t index_navigation_tree(SearchCatalog& catalog, const nlohmann::json& tree);

// Performs a result's action: looks the resource up by address and performs
// the action with the result's id ("open") through the perform-operation
// hook. The resource's JSON lists {"id", "kind", "payload"} under "actions".
kavu::Result<void> perform_search_action(App& app, const SearchActionAddress& address);

struct QuickSwitcherResponse {
    bool consumed = false;
    std::optional<SearchActionAddress> activate;
};

// The Ctrl+K switcher: a search field over a ranked list of results. Arrow
// keys move the selection (Down past the last result loads the next page),
// Enter or a click activates, Escape or a press outside closes.
class QuickSwitcher {
public:
    static constexpr std::size_t kPageSize = 8;

    QuickSwitcher();

    static bool is_toggle_shortcut(const Event& event);
    void open();
    void close();
    bool is_open() const { return m_open; }

    QuickSwitcherResponse handle_event(const Event& event, EventContext& context,
                                       const SearchCatalog& catalog);
    // Runs the query again (the catalog changed while open).
    void refresh(const SearchCatalog& catalog);

    // Lays the switcher out for the window and draws it.
    void draw(Scene& scene, const Theme& theme, Rect window);
    AccessNode accessibility() const;

    const std::vector<SearchResult>& results() const { return m_results; }
    std::optional<std::size_t> selected() const { return m_selected; }
    const TextInput& field() const { return m_field; }

private:
    struct Geometry {
        Rect panel;
        Rect field;
        Rect list;
    };
    void lay_out(Rect window, float scale);
    std::optional<std::size_t> row_at(Point p) const;
    Rect row_rect(std::size_t index) const;
    void run_query(const SearchCatalog& catalog);
    void load_more(const SearchCatalog& catalog);

    TextInput m_field;
    bool m_open = false;
    std::vector<SearchResult> m_results;
    std::optional<SearchCursor> m_next;
    std::optional<std::size_t> m_selected;
    Geometry m_geometry;
    float m_scale = 1;
};

// The switcher as the window loop hosts it: catches Ctrl+K, refreshes the
// catalog from the application's navigation tree when it opens, and performs
// the chosen result on the application.
class QuickSwitcherHost {
public:
    // True when the event was the switcher's (the application does not see it).
    bool handle_event(const Event& event, EventContext& context, App& app);
    // Draws the switcher over the frame while it is open.
    void draw(Scene& scene, const FrameContext& frame);
    AccessNode with_accessibility(AccessNode root) const;

    bool is_open() const { return m_switcher.is_open(); }
    const SearchCatalog& catalog() const { return m_catalog; }

private:
    SearchCatalog m_catalog;
    QuickSwitcher m_switcher;
};

} // namespace kavu::ui
