#include "window/window_loop.h"

#include "render/cairo_renderer.h"

#include <ui/access_node.h>
#include <ui/persist.h>
#include <ui/search/quick_switcher.h>

#include <spdlog/spdlog.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace kavu::ui {

namespace {

using namespace std::chrono_literals;

// Frames while animating are paced to about 60 per second even when the
// window does not wait for the display's refresh.
constexpr auto kFrameInterval = 16ms;

float user_scale() {
    if (const char* env = std::getenv("KAVU_UI_SCALE")) {
        char* end = nullptr;
        double v = std::strtod(env, &end);
        if (end != env && v >= 0.5 && v <= 4)
            return static_cast<float>(v);
    }
    return 1.0f;
}

ThemeKind theme_kind() {
    if (const char* env = std::getenv("KAVU_UI_THEME")) {
        if (auto kind = parse_theme_kind(env))
            return *kind;
    }
    return ThemeKind::Dark;
}

// Writes the accessibility tree to the file named by KAVU_UI_A11Y_DUMP
// whenever it changes, atomically, so readers never see half a tree.
class AccessibilityDump {
public:
    AccessibilityDump() {
        if (const char* env = std::getenv("KAVU_UI_A11Y_DUMP"); env && *env)
            m_path = env;
    }
    bool enabled() const { return !m_path.empty(); }
    void update(App& app, const QuickSwitcherHost& switcher) {
        if (!enabled())
            return;
        auto tree = app.accessibility_tree();
        if (tree && switcher.is_open())
            tree = switcher.with_accessibility(std::move(*tree));
        std::string json = tree ? access_tree_json(*tree) : std::string("null\n");
        if (json == m_last)
            return;
        auto written = write_file_atomically(m_path, std::vector<uint8_t>(json.begin(), json.end()));
        if (!written) {
            spdlog::warn("accessibility dump: {}", written.error_text());
            return;
        }
        m_last = std::move(json);
    }

private:
    std::filesystem::path m_path;
    std::string m_last;
};

} // namespace

kavu::Result<void> run_frame_loop(const LaunchDescription& description, PlatformWindow& window,
                                  const WindowOptions& options) {
    std::unique_ptr<PersistedDocument> document;
    if (description.open_document) {
        auto opened = description.open_document(description.app_id, persist::Options{});
        if (!opened)
            return kavu::make_error("cannot open the document: " + opened.error_text());
        document = opened.release_value();
    }
    if (!description.make_app)
        return kavu::make_error("the application has no window mode");
    std::unique_ptr<App> app = description.make_app();
    if (!app)
        return kavu::make_error("the application could not be created");
    if (description.register_actions)
        description.register_actions(*app);

    CairoRenderer renderer;
    Scene scene; // reused so that a frame's commands do not reallocate
    AccessibilityDump a11y;
    // Ctrl+K: the quick switcher sits above the application and sees events first.
    QuickSwitcherHost switcher;
    float zoom = user_scale();
    ThemeKind kind = theme_kind();
    Theme theme = Theme::for_kind(kind);
    Point pointer{-1, -1};
    bool dirty = true;
    bool layout_error_logged = false;
    int frames = 0;
    Instant last_frame{};
    std::optional<Instant> save_deadline;

    for (;;) {
        Instant now = Clock::now();
        std::optional<std::chrono::milliseconds> timeout;
        bool animating = app->needs_another_frame();
        if (dirty || animating) {
            auto next = last_frame + kFrameInterval;
            timeout = next > now ? std::chrono::ceil<std::chrono::milliseconds>(next - now) : 0ms;
        } else if (save_deadline) {
            timeout = std::chrono::ceil<std::chrono::milliseconds>(
                std::max(*save_deadline - now, Clock::duration{}));
        }
        auto events = window.wait_events(timeout);

        now = Clock::now();
        Size px = window.pixel_size();
        Rect rect{0, 0, px.width, px.height};
        theme.scale = static_cast<float>(window.device_scale()) * zoom;
        EventContext event_context{theme, rect, now, window};
        for (const auto& event : events) {
            if (const auto* move = std::get_if<PointerMove>(&event))
                pointer = move->pos;
            else if (std::holds_alternative<PointerLeave>(event))
                pointer = {-1, -1};
            if (!switcher.handle_event(event, event_context, *app))
                app->handle_event(event, event_context);
            dirty = true;
        }
        if (window.close_requested()) {
            if (!description.allow_close || description.allow_close())
                break;
            window.cancel_close();
        }
        if (window.take_redraw_request() || app->take_redraw_request())
            dirty = true;

        if (dirty || animating) {
            SyncContext sync{document ? &document->doc() : nullptr, now, window};
            app->sync(sync);
            LayoutBuilder builder(rect);
            app->build_layout(builder);
            auto layout = LayoutResult::compute(builder);
            if (layout) {
                app->apply_layout(*layout);
                layout_error_logged = false;
            } else if (!layout_error_logged) {
                spdlog::warn("layout failed: {}", layout.error_text());
                layout_error_logged = true;
            }
            scene.reset(rect.size());
            FrameContext frame{theme, rect, now, window, pointer};
            app->draw_with_presence(scene, frame, PresenceCtx{});
            switcher.draw(scene, frame);
            window.present([&](uint8_t* data, int width, int height, int stride) {
                renderer.render_into(scene, data, width, height, stride, 1.0, theme.surface);
            });
            a11y.update(*app, switcher);
            last_frame = now;
            dirty = false;
            ++frames;
            if (options.max_frames && frames >= *options.max_frames)
                break;
        }
        if (document)
            save_deadline = document->tick(Clock::now());
    }
    // The application goes first: it may still write to the document while
    // it shuts down; the document then saves everything on its way out.
    app.reset();
    if (document) {
        auto flushed = document->flush();
        if (!flushed)
            return kavu::make_error("the document could not be saved: " + flushed.error_text());
    }
    return {};
}

namespace launch {

kavu::Result<void> run_window(const LaunchDescription& description, const WindowOptions& options) {
    WindowConfig config;
    config.title = description.app_id;
    config.size =
        description.default_window_size ? description.default_window_size() : description.default_size;
    auto window = open_sdl_window(config);
    if (!window)
        return window.error();
    return run_frame_loop(description, **window, options);
}

} // namespace launch

} // namespace kavu::ui
