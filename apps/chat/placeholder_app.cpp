#include "placeholder_app.h"

#include <crdt/document.h>
#include <ui/avatar.h>
#include <ui/presence.h>
#include <ui/surface.h>
#include <ui/text_renderer.h>

#include <array>

namespace kavu::chat {

using namespace kavu::ui;

namespace {
constexpr double kRailWidth = 68;
constexpr double kSidebarWidth = 248;
constexpr double kHeaderHeight = 60;
constexpr std::array<std::string_view, 4> kChannels = {"welcome", "general", "design", "random"};
} // namespace

void PlaceholderApp::sync(SyncContext& context) {
    m_has_document = context.document != nullptr;
    m_document_keys = m_has_document ? context.document->keys(crdt::ObjId::root()).size() : 0;
}

bool PlaceholderApp::handle_event(const Event& event, EventContext&) {
    if (const auto* move = std::get_if<PointerMove>(&event)) {
        m_hover = move->pos;
        return true;
    }
    if (std::holds_alternative<PointerLeave>(event)) {
        m_hover = {-1, -1};
        return true;
    }
    return false;
}

void PlaceholderApp::draw(Scene& scene, const FrameContext& frame) {
    const Theme& theme = frame.theme;
    m_window = frame.window;
    Rect w = frame.window;
    scene.fill_rect(w, theme.surface);

    // Workspace rail.
    Rect rail{w.x0, w.y0, w.x0 + kRailWidth, w.y1};
    scene.fill_rect(rail, theme.surface_sunken);
    Avatar::draw_at(scene, {rail.x0 + 14, rail.y0 + 14}, 40, "K", theme.accent, theme);
    chrome::shell::panel_border(scene, rail, chrome::shell::Edge::Right, theme);

    // Sidebar with a few channel rows.
    Rect sidebar{rail.x1, w.y0, rail.x1 + kSidebarWidth, w.y1};
    scene.fill_rect(sidebar, theme.surface_sunken);
    TextRenderer::draw_text_weighted(scene, "Kavu workspace", {sidebar.x0 + 16, sidebar.y0 + 18},
                                     theme.title_size, FontWeight::Bold, theme.on_surface);
    surface::separator(scene, sidebar.x0, sidebar.x1, sidebar.y0 + 52, theme);
    double y = sidebar.y0 + 64;
    for (size_t i = 0; i < kChannels.size(); ++i) {
        Rect row{sidebar.x0 + 8, y, sidebar.x1 - 8, y + 32};
        if (i == 0)
            scene.fill_rounded(row, 8, Colors::lift(theme.surface_sunken, 0.72f));
        else if (row.contains(m_hover))
            scene.fill_rounded(row, 8, Colors::lift(theme.surface_sunken, 0.35f));
        TextRenderer::draw_text(scene, "# " + std::string(kChannels[i]), {row.x0 + 12, row.y0 + 7}, 14,
                                i == 0 ? theme.on_surface : theme.on_surface_muted);
        y += 36;
    }
    chrome::shell::panel_border(scene, sidebar, chrome::shell::Edge::Right, theme);

    // Conversation header.
    Rect main{sidebar.x1, w.y0, w.x1, w.y1};
    Rect header{main.x0, main.y0, main.x1, main.y0 + kHeaderHeight * theme.scale};
    TextRenderer::draw_text(scene, "#", {header.x0 + 18, header.center().y - 11}, 18, theme.on_surface_muted);
    TextRenderer::draw_text_weighted(scene, "welcome", {header.x0 + 40, header.center().y - 11}, 17,
                                     FontWeight::Bold, theme.on_surface);
    surface::separator(scene, main.x0, main.x1, header.y1, theme);

    // Welcome card.
    double card_w = std::min(560.0, main.width() - 48);
    if (card_w <= 0)
        return;
    Rect card = Rect::from_xywh(main.x0 + (main.width() - card_w) / 2, header.y1 + 48, card_w, 176);
    surface::card(scene, card, theme.corner_radius + 4, theme.surface_raised, theme, 2);
    Avatar::draw_at(scene, {card.x0 + 24, card.y0 + 24}, 44, Avatar::initials_for_name("Kavu Chat"),
                    presence::user_color(0), theme, PresenceDot::Online);
    TextRenderer::draw_text_weighted(scene, "Welcome to Kavu Chat 👋", {card.x0 + 84, card.y0 + 26}, 18,
                                     FontWeight::Bold, theme.on_surface);
    std::string status = m_has_document ? "Your workspace document is open and saved as you go."
                                        : "Running without a saved workspace document.";
    TextRenderer::draw_text(scene, TextRenderer::cut_to_fit(status, 14, FontWeight::Regular, card_w - 108),
                            {card.x0 + 84, card.y0 + 54}, 14, theme.on_surface_muted);
    auto body = TextRenderer::shape("Conversations, threads and calls appear here in a later build. "
                                    "Until then this window shows that the toolkit, the renderer and "
                                    "the document store are working.",
                                    TextStyle{.size = 14, .wrap = Wrap::Word, .max_width = card_w - 48});
    scene.text(body, {card.x0 + 24, card.y0 + 96}, theme.on_surface);
}

std::optional<AccessNode> PlaceholderApp::accessibility_tree() {
    return AccessNode{.id = "chat.placeholder",
                      .label = "Chat",
                      .description = "Kavu Chat is starting; conversations appear in a later build",
                      .bounds = m_window,
                      .kind = AccessKind::Window};
}

} // namespace kavu::chat
