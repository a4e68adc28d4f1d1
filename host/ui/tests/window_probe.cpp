// Opens the real window with a small application for a few frames, so the
// window test can check that the loop starts, draws and exits cleanly.
#include <ui/app.h>
#include <ui/launch.h>
#include <ui/surface.h>
#include <ui/text_renderer.h>

#include <cstdio>
#include <cstdlib>

namespace {

using namespace kavu::ui;

class ProbeApp final : public App {
public:
    std::string_view type_name() const override { return "probe::ProbeApp"; }
    void draw(Scene& scene, const FrameContext& frame) override {
        ++m_frames;
        scene.fill_rect(frame.window, frame.theme.surface);
        surface::card(scene, frame.window.inset(24), 12, frame.theme.surface_raised, frame.theme, 1);
        TextRenderer::draw_text(scene, "Window probe 😀", {48, 48}, 16, frame.theme.on_surface);
    }
    // Keeps drawing so the frame limit is reached without input.
    bool needs_another_frame() const override { return true; }
    std::optional<AccessNode> accessibility_tree() override {
        return AccessNode{.id = "probe", .label = "Probe", .kind = AccessKind::Window};
    }
    ~ProbeApp() override { std::printf("probe: drew %d frames\n", m_frames); }

private:
    int m_frames = 0;
};

} // namespace

int main(int argc, char** argv) {
    int frames = argc > 1 ? std::atoi(argv[1]) : 5;
    LaunchDescription description;
    description.app_id = "org.kavu.probe";
    description.make_app = [] { return std::make_unique<ProbeApp>(); };
    description.default_size = {480, 320};
    auto ran = launch::run_window(description, WindowOptions{.max_frames = frames});
    if (!ran) {
        std::fprintf(stderr, "probe: %s\n", ran.error_text().c_str());
        return 1;
    }
    return 0;
}
