#pragma once

#include <ui/app.h>

#include <cstdint>
#include <string>

namespace kavu::chat {

// The view shown until the conversation interface lands: the window's frame
// (rail, sidebar, header) around a welcome card that reports the state of
// the opened document.
class PlaceholderApp final : public ui::App {
public:
    explicit PlaceholderApp(bool live) : m_live(live) {}

    std::string_view type_name() const override { return "chat::app::PlaceholderApp"; }
    std::string display_name() const override { return "Kavu Chat"; }
    void sync(ui::SyncContext& context) override;
    void draw(ui::Scene& scene, const ui::FrameContext& frame) override;
    bool handle_event(const ui::Event& event, ui::EventContext& context) override;
    ui::Rect window_rect() const override { return m_window; }
    std::optional<ui::AccessNode> accessibility_tree() override;

private:
    bool m_live = false;
    ui::Rect m_window;
    ui::Point m_hover{-1, -1};
    size_t m_document_keys = 0;
    bool m_has_document = false;
};

} // namespace kavu::chat
