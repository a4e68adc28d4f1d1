#include "window/window_loop.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <deque>
#include <fstream>
#include <nlohmann/json.hpp>
#include <unistd.h>

using namespace kavu::ui;
using namespace std::chrono_literals;

namespace {

// A window driven by a script of event batches; it records how long the
// loop asked to wait each time and closes when the script runs out.
class FakeWindow final : public PlatformWindow {
public:
    explicit FakeWindow(std::deque<std::vector<Event>> script) : m_script(std::move(script)) {}

    Size pixel_size() override { return {320, 200}; }
    double device_scale() override { return 1; }
    std::vector<Event> wait_events(std::optional<std::chrono::milliseconds> timeout) override {
        waits.push_back(timeout);
        if (m_script.empty()) {
            m_close = true;
            return {};
        }
        auto batch = std::move(m_script.front());
        m_script.pop_front();
        return batch;
    }
    bool close_requested() override { return m_close; }
    void cancel_close() override { m_close = false; }
    void present(const PaintFn& paint) override {
        std::vector<uint8_t> pixels(320 * 200 * 4);
        paint(pixels.data(), 320, 200, 320 * 4);
        ++presented;
    }
    bool take_redraw_request() override { return std::exchange(m_redraw, false); }
    Clipboard& clipboard() override { return m_clipboard; }
    void set_text_input_area(std::optional<Rect>) override {}
    void set_cursor(CursorShape) override {}
    void request_redraw() override { m_redraw = true; }

    std::vector<std::optional<std::chrono::milliseconds>> waits;
    int presented = 0;

private:
    std::deque<std::vector<Event>> m_script;
    MemoryClipboard m_clipboard;
    bool m_close = false;
    bool m_redraw = false;
};

class CountingApp final : public App {
public:
    explicit CountingApp(int animated_frames) : m_animated(animated_frames) {}
    void sync(SyncContext&) override { ++syncs; }
    void draw(Scene& scene, const FrameContext& frame) override {
        ++draws;
        scene.fill_rect(frame.window.inset(10), frame.theme.accent);
        if (m_animated > 0)
            --m_animated;
    }
    bool handle_event(const Event&, EventContext&) override {
        ++events;
        return true;
    }
    bool needs_another_frame() const override { return m_animated > 0; }

    int syncs = 0;
    int draws = 0;
    int events = 0;

private:
    int m_animated;
};

LaunchDescription describe(CountingApp*& created, int animated_frames) {
    LaunchDescription description;
    description.app_id = "org.kavu.test";
    description.make_app = [&created, animated_frames] {
        auto app = std::make_unique<CountingApp>(animated_frames);
        created = app.get();
        return app;
    };
    return description;
}

} // namespace

// With nothing to animate the loop draws once per change and otherwise waits
// for the next event without a timeout: an idle window costs no CPU.
TEST(FrameLoop, SleepsUntilTheNextEventWhenIdle) {
    CountingApp* app = nullptr;
    auto description = describe(app, 0);
    FakeWindow window({{}, {PointerMove{{5, 5}}}, {}});
    ASSERT_TRUE(run_frame_loop(description, window, WindowOptions{}));
    ASSERT_EQ(window.waits.size(), 4u);
    // The first wait only paces the first frame; afterwards nothing is drawn
    // until the pointer moves, and the loop waits without a deadline.
    EXPECT_EQ(window.presented, 2);
    EXPECT_EQ(window.waits[1], std::nullopt);
    EXPECT_EQ(window.waits[2], std::nullopt);
    EXPECT_EQ(window.waits[3], std::nullopt);
}

TEST(FrameLoop, KeepsDrawingWhileTheAppAnimates) {
    CountingApp* app = nullptr;
    auto description = describe(app, 3);
    FakeWindow window({{}, {}, {}, {}, {}, {}});
    ASSERT_TRUE(run_frame_loop(description, window, WindowOptions{}));
    // Frames follow each other with bounded waits until the animation ends.
    EXPECT_GE(window.presented, 3);
    for (int i = 1; i <= 2; ++i) {
        ASSERT_TRUE(window.waits[i].has_value()) << i;
        EXPECT_LE(*window.waits[i], 16ms);
    }
    EXPECT_EQ(window.waits.back(), std::nullopt);
}

TEST(FrameLoop, StopsAfterTheFrameLimitAndRefusesAMissingApp) {
    CountingApp* app = nullptr;
    auto description = describe(app, 100);
    FakeWindow window({{}, {}, {}, {}, {}, {}, {}, {}});
    ASSERT_TRUE(run_frame_loop(description, window, WindowOptions{.max_frames = 2}));
    EXPECT_EQ(window.presented, 2);

    LaunchDescription empty;
    FakeWindow other({});
    EXPECT_FALSE(run_frame_loop(empty, other, WindowOptions{}));
}

// The real window under a virtual X server: opens, draws a few frames, writes
// the accessibility dump and exits cleanly.
TEST(Window, RunsUnderXvfb) {
    if (std::system("command -v xvfb-run >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "xvfb-run is not installed; the real window cannot be tested here";
    std::string dump = ::testing::TempDir() + "a11y-" + std::to_string(::getpid()) + ".json";
    std::remove(dump.c_str());
    // The X and GL client libraries keep allocations until exit that the
    // leak checker cannot attribute (their frames are in unloaded modules);
    // leaks of the toolkit itself are checked by the in-process tests.
    std::string command = "KAVU_UI_A11Y_DUMP='" + dump +
                          "' ASAN_OPTIONS=\"${ASAN_OPTIONS:-}:detect_leaks=0\" "
                          "timeout 120 xvfb-run -a '" KAVU_UI_WINDOW_PROBE "' 5 2>&1";
    FILE* pipe = ::popen(command.c_str(), "r");
    ASSERT_TRUE(pipe);
    std::string output;
    char buf[512];
    while (size_t n = std::fread(buf, 1, sizeof buf, pipe))
        output.append(buf, n);
    int status = ::pclose(pipe);
    EXPECT_EQ(status, 0) << output;
    EXPECT_NE(output.find("probe: drew 5 frames"), std::string::npos) << output;

    std::ifstream in(dump);
    ASSERT_TRUE(in) << "no accessibility dump at " << dump;
    auto tree = nlohmann::json::parse(in);
    EXPECT_EQ(tree["id"], "probe");
    EXPECT_EQ(tree["label"], "Probe");
    EXPECT_EQ(tree["kind"], "window");
    EXPECT_TRUE(tree["children"].is_array());
    EXPECT_EQ(tree["bounds"].size(), 4u);
    std::remove(dump.c_str());
}

namespace {

// What a SwitchableApp saw; it outlives the app, which the loop destroys.
struct SwitchLog {
    std::vector<std::string> performed;
    int events = 0;
};

// An application with one navigation target that records what it is asked
// to perform and which events reach it.
class SwitchableApp final : public App {
public:
    explicit SwitchableApp(SwitchLog& log) : m_log(log) {}
    std::optional<nlohmann::json> navigation_tree() override {
        return nlohmann::json{
            {"children",
             {{{"title", "#general"}, {"address", "chat.channel:c_general"}, {"search_text", "general"}}}}};
    }
    std::optional<nlohmann::json> resource_by_address(std::string_view address) override {
        return nlohmann::json{
            {"actions", nlohmann::json::array({{{"id", "open"},
                                                {"kind", "chat.operation"},
                                                {"payload", {{"address", std::string(address)}}}}})}};
    }
    kavu::Result<nlohmann::json> perform_operation(std::string_view kind,
                                                   const nlohmann::json& payload) override {
        m_log.performed.push_back(std::string(kind) + " " + payload.at("address").get<std::string>());
        return nlohmann::json::object();
    }
    bool handle_event(const Event&, EventContext&) override {
        ++m_log.events;
        return true;
    }

private:
    SwitchLog& m_log;
};

} // namespace

// Ctrl+K in a window run opens the quick switcher above the application: the
// keys typed into it never reach the application, and Enter opens the result.
TEST(FrameLoop, CtrlKOpensTheQuickSwitcherOverTheApp) {
    SwitchLog log;
    LaunchDescription description;
    description.app_id = "org.kavu.test";
    description.make_app = [&log] { return std::make_unique<SwitchableApp>(log); };
    FakeWindow window({{},
                       {PointerMove{{5, 5}}},
                       {KeyPress{.key = 'k', .modifiers = mods::kCtrl}},
                       {TextEntered{"gen"}},
                       {KeyPress{.key = keys::kEnter}},
                       {}});
    ASSERT_TRUE(run_frame_loop(description, window, WindowOptions{}));
    EXPECT_EQ(log.performed, std::vector<std::string>{"chat.operation chat.channel:c_general"});
    EXPECT_EQ(log.events, 1); // only the pointer move
}
