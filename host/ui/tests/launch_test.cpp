#include <ui/launch.h>
#include <ui/shot_frame.h>
#include <ui/surface.h>
#include <ui/text_renderer.h>

#include <crdt/document.h>
#include <gtest/gtest.h>

#include <cstdlib>

using namespace kavu::ui;

namespace {

std::vector<std::string> args(std::initializer_list<const char*> list) {
    return {list.begin(), list.end()};
}

// Draws a card whose text reports what it was synchronised with.
class SampleApp final : public App {
public:
    void sync(SyncContext& context) override {
        ++syncs;
        if (context.document)
            keys = context.document->keys(crdt::ObjId::root()).size();
    }
    void build_layout(LayoutBuilder& builder) override {
        builder.anchor("card", {120, 60}, Anchor::BottomRight, {10, 10});
        if (bad_layout)
            builder.anchor("card", {1, 1}, Anchor::TopLeft);
    }
    void apply_layout(const LayoutResult& layout) override { card = layout.rect("card").value_or(Rect{}); }
    void draw(Scene& scene, const FrameContext& frame) override {
        surface::card(scene, card, 8, frame.theme.surface_raised, frame.theme, 1);
        TextRenderer::draw_text(scene, "synced " + std::to_string(syncs), card.origin() + Point{8, 8}, 13,
                                frame.theme.on_surface);
    }

    int syncs = 0;
    size_t keys = 0;
    bool bad_layout = false;
    Rect card;
};

} // namespace

TEST(ShotArgs, ParsesTheShotOptions) {
    auto full = launch::parse_shot_args(args({"--shot", "people", "--out", "/tmp/x.png", "--size", "640x480",
                                              "--theme", "light", "--scale", "1.5"}));
    ASSERT_TRUE(full) << full.error_text();
    EXPECT_EQ(full->scenario, "people");
    EXPECT_EQ(full->out, std::filesystem::path("/tmp/x.png"));
    EXPECT_EQ(full->size, (PixelSize{640, 480}));
    EXPECT_EQ(full->theme, ThemeKind::Light);
    EXPECT_FLOAT_EQ(full->scale, 1.5f);
    EXPECT_EQ(launch::shot_theme(*full).kind, ThemeKind::Light);
    EXPECT_FLOAT_EQ(launch::shot_theme(*full).scale, 1.5f);

    auto bare = launch::parse_shot_args(args({"--shot", "default"}));
    ASSERT_TRUE(bare);
    EXPECT_FALSE(bare->out);
    EXPECT_FALSE(bare->size);
    EXPECT_EQ(bare->theme, ThemeKind::Dark);
}

TEST(ShotArgs, RejectsMalformedValues) {
    const std::vector<std::vector<std::string>> bad = {
        args({"--shot"}),
        args({"--shot", "a", "--out"}),
        args({"--shot", "a", "--size", "640"}),
        args({"--shot", "a", "--size", "0x480"}),
        args({"--shot", "a", "--size", "640x-1"}),
        args({"--shot", "a", "--size", "99999x10"}),
        args({"--shot", "a", "--size", "64x48junk"}),
        args({"--shot", "a", "--theme", "blue"}),
        args({"--shot", "a", "--scale", "0"}),
        args({"--shot", "a", "--scale", "nan"}),
        args({"--shot", "a", "--scale", "2x"}),
        args({"--shot", "a", "--frobnicate"}),
        args({"--out", "x.png"}),
    };
    for (const auto& a : bad)
        EXPECT_FALSE(launch::parse_shot_args(a)) << ::testing::PrintToString(a);
}

TEST(Launch, RunsTheShotHookAndMapsItsResult) {
    std::vector<ShotRequest> seen;
    LaunchDescription description;
    description.scenario_names = {"one", "two"};
    description.shot = [&](const ShotRequest& request) -> kavu::Result<void> {
        seen.push_back(request);
        if (!request.out)
            return kavu::make_error("missing screenshot output");
        return {};
    };
    EXPECT_EQ(launch::run(description, args({"--shot", "one", "--out", "/tmp/none.png"})), launch::kExitOk);
    // Without --out the hook is still asked, and its error fails the run.
    EXPECT_EQ(launch::run(description, args({"--shot", "two"})), launch::kExitFailed);
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[1].scenario, "two");
    EXPECT_FALSE(seen[1].out);
    EXPECT_EQ(launch::run(description, args({"--shot"})), launch::kExitFailed);
    EXPECT_EQ(seen.size(), 2u);
    EXPECT_EQ(launch::run(description, args({"--list-shots"})), launch::kExitOk);
    EXPECT_EQ(launch::run(description, args({"--help"})), launch::kExitOk);
}

TEST(Launch, WithoutADisplayTheWindowRunExitsWithTwo) {
    std::string display = std::getenv("DISPLAY") ? std::getenv("DISPLAY") : "";
    std::string wayland = std::getenv("WAYLAND_DISPLAY") ? std::getenv("WAYLAND_DISPLAY") : "";
    ::unsetenv("DISPLAY");
    ::unsetenv("WAYLAND_DISPLAY");
    bool built = false;
    LaunchDescription description;
    description.make_app = [&] {
        built = true;
        return std::make_unique<SampleApp>();
    };
    EXPECT_EQ(launch::run(description, {}), launch::kExitNoDisplay);
    // A display that cannot be reached is no display either.
    ::setenv("DISPLAY", ":987654", 1);
    EXPECT_EQ(launch::run(description, {}), launch::kExitNoDisplay);
    ::unsetenv("DISPLAY");
    EXPECT_FALSE(built);
    if (!display.empty())
        ::setenv("DISPLAY", display.c_str(), 1);
    if (!wayland.empty())
        ::setenv("WAYLAND_DISPLAY", wayland.c_str(), 1);
}

TEST(ShotFrame, RunsTheHooksAndGivesTheSameBytesEveryTime) {
    auto render = [] {
        SampleApp app;
        auto frame = ShotFrame::create(320, 200, Theme::light());
        frame.sync(app);
        EXPECT_EQ(app.syncs, 1);
        EXPECT_TRUE(frame.layout(app));
        EXPECT_EQ(app.card, (Rect{190, 130, 310, 190}));
        Scene scene = frame.draw(app);
        frame.draw_floating_surfaces(app, scene);
        auto png = frame.png_bytes(scene);
        EXPECT_TRUE(png);
        return png ? *png : std::vector<uint8_t>{};
    };
    auto first = render();
    ASSERT_FALSE(first.empty());
    EXPECT_EQ(first, render());
}

TEST(ShotFrame, ReportsLayoutErrorsAndBadSizes) {
    SampleApp app;
    app.bad_layout = true;
    auto frame = ShotFrame::create(320, 200, Theme::dark());
    auto laid_out = frame.layout(app);
    ASSERT_FALSE(laid_out);
    EXPECT_EQ(laid_out.error_text(), "layout of \"card\": the id is used twice");

    auto too_big = ShotFrame::create(20000, 10, Theme::dark());
    EXPECT_FALSE(too_big.png_bytes(Scene{}));
    EXPECT_FALSE(frame.write_png(Scene{}, "/nonexistent-dir/shot.png"));
}

TEST(Layout, ResolvesAnchorsAndRejectsBadNodes) {
    LayoutBuilder builder({0, 0, 400, 300});
    builder.place("panel", {100, 50, 300, 250});
    builder.anchor("badge", {20, 10}, Anchor::TopRight, {5, 5}, "panel");
    builder.anchor("centre", {40, 40}, Anchor::Center);
    auto result = LayoutResult::compute(builder);
    ASSERT_TRUE(result) << result.error_text();
    EXPECT_EQ(result->rect("badge"), (Rect{275, 55, 295, 65}));
    EXPECT_EQ(result->rect("centre"), (Rect{180, 130, 220, 170}));
    EXPECT_EQ(result->rect("absent"), std::nullopt);

    struct Bad {
        const char* why;
        std::function<void(LayoutBuilder&)> build;
    };
    const Bad cases[] = {
        {"empty id",
         [](LayoutBuilder& b) {
             b.place("", {0, 0, 1, 1});
         }},
        {"unknown parent",
         [](LayoutBuilder& b) {
             b.anchor("x", {1, 1}, Anchor::TopLeft, {}, "nobody");
         }},
        {"negative size",
         [](LayoutBuilder& b) {
             b.anchor("x", {-1, 1}, Anchor::TopLeft);
         }},
        {"not finite",
         [](LayoutBuilder& b) {
             b.place("x", {0, 0, INFINITY, 1});
         }},
    };
    for (const auto& c : cases) {
        LayoutBuilder b({0, 0, 400, 300});
        c.build(b);
        EXPECT_FALSE(LayoutResult::compute(b)) << c.why;
    }
    EXPECT_FALSE(LayoutResult::compute(LayoutBuilder({0, 0, 0, 300})));
}
