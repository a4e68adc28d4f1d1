#pragma once

#include <base/result.h>
#include <crdt/types.h>
#include <ui/access_node.h>
#include <ui/event.h>
#include <ui/geometry.h>
#include <ui/layout.h>
#include <ui/presence.h>
#include <ui/scene.h>
#include <ui/theme.h>

#include <nlohmann/json_fwd.hpp>

#include <chrono>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace crdt {
class Document;
}

namespace kavu::ui {

using Clock = std::chrono::steady_clock;
using Instant = Clock::time_point;

enum class CursorShape { Arrow, Hand, Text, Move, ResizeHorizontal };

// What the window offers an application while it handles events or draws.
// Headless runs (shots, tests) use HeadlessServices.
class WindowServices {
public:
    virtual ~WindowServices() = default;
    virtual Clipboard& clipboard() = 0;
    // Where the caret of the focused text field is, so the input method can
    // place its candidate window; nothing ends text input.
    virtual void set_text_input_area(std::optional<Rect> caret) = 0;
    virtual void set_cursor(CursorShape shape) = 0;
    // Asks for one more frame even when nothing else changed.
    virtual void request_redraw() = 0;
};

class HeadlessServices final : public WindowServices {
public:
    Clipboard& clipboard() override { return m_clipboard; }
    void set_text_input_area(std::optional<Rect> caret) override { m_text_input_area = caret; }
    void set_cursor(CursorShape shape) override { m_cursor = shape; }
    void request_redraw() override { ++m_redraw_requests; }

    std::optional<Rect> text_input_area() const { return m_text_input_area; }
    CursorShape cursor() const { return m_cursor; }
    int redraw_requests() const { return m_redraw_requests; }

private:
    MemoryClipboard m_clipboard;
    std::optional<Rect> m_text_input_area;
    CursorShape m_cursor = CursorShape::Arrow;
    int m_redraw_requests = 0;
};

// Handed to the synchronise hook. `document` is the opened document, or null
// when the run has none.
struct SyncContext {
    crdt::Document* document = nullptr;
    Instant now;
    WindowServices& services;
};

struct FrameContext {
    const Theme& theme;
    Rect window;
    Instant now;
    WindowServices& services;
    Point pointer{-1, -1}; // last pointer position, negative when outside
};

struct EventContext {
    const Theme& theme;
    Rect window;
    Instant now;
    WindowServices& services;
};

// Capabilities an application may expose beyond the hooks below. Their
// interfaces belong to the features that use them; the toolkit only passes
// the pointers on.
class ContinuityReceiver;
class FloatingSurfaceProvider;
class CallContinuity;

// The application as the toolkit hosts it. The toolkit owns the object and
// calls its hooks on the UI thread: every frame sync, build_layout,
// apply_layout and draw (or draw_with_presence); every input event
// handle_event. Every hook has a default, so an application overrides only
// what it needs.
class App {
public:
    virtual ~App() = default;

    virtual std::string_view type_name() const { return "kavu::ui::App"; }
    virtual ContinuityReceiver* continuity_receiver() { return nullptr; }
    virtual FloatingSurfaceProvider* floating_surface_provider() { return nullptr; }
    virtual CallContinuity* call_continuity() { return nullptr; }

    // Brings the application up to date with the document and background work.
    virtual void sync(SyncContext&) {}
    virtual void build_layout(LayoutBuilder&) {}
    virtual void apply_layout(const LayoutResult&) {}
    // Draws the whole frame into the scene.
    virtual void draw(Scene&, const FrameContext&) {}
    // True when the event was used.
    virtual bool handle_event(const Event&, EventContext&) { return false; }

    // The action kinds the perform-operation hook understands.
    virtual std::vector<std::string> operation_kinds() const { return {}; }
    virtual std::string display_name() const { return std::string(type_name()); }
    virtual Rect window_rect() const { return {}; }
    virtual bool menu_shown() const { return false; }
    virtual std::optional<AccessNode> accessibility_tree() { return std::nullopt; }
    // Keyboard focus traversal: the rectangle of entry `index` of a focus group.
    virtual std::optional<Rect> focus_rect(int group, size_t index) const { return std::nullopt; }
    virtual bool move_focus(int group, size_t index) { return false; }
    // An item of the open context menu chosen by an assistive technology.
    virtual bool activate_context_menu_item(std::string_view item_id) { return false; }

    // The application's resources and navigation targets as JSON trees, and
    // the resource at an address; nothing when the application has none.
    virtual std::optional<nlohmann::json> resource_tree();
    virtual std::optional<nlohmann::json> resource_by_address(std::string_view address);
    virtual std::optional<nlohmann::json> navigation_tree();
    // Document heads recorded before the first change since the last call.
    virtual std::optional<std::vector<crdt::ChangeHash>> change_checkpoint() { return std::nullopt; }
    // Performs an operation of one of operation_kinds() from its JSON payload.
    virtual kavu::Result<nlohmann::json> perform_operation(std::string_view kind,
                                                           const nlohmann::json& payload);

    virtual bool dragging() const { return false; }
    // True while an animation runs or background work is pending: the loop
    // then draws again without waiting for input.
    virtual bool needs_another_frame() const { return false; }
    virtual std::optional<Rect> menu_rect() const { return std::nullopt; }
    // Returns whether a redraw was requested, and clears the request.
    virtual bool take_redraw_request() { return false; }
    // Draws with the presence of the shared session; the default ignores it.
    virtual void draw_with_presence(Scene& scene, const FrameContext& frame, const PresenceCtx&) {
        draw(scene, frame);
    }
};

} // namespace kavu::ui
