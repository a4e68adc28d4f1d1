#include <ui/scene.h>

namespace kavu::ui {

void Scene::fill_vertical_gradient(Rect rect, Color top, Color bottom, Radii radii) {
    fill_gradient(rect, LinearGradient{{rect.x0, rect.y0}, {rect.x0, rect.y1}, {{0, top}, {1, bottom}}},
                  radii);
}

} // namespace kavu::ui
