#include <ui/app.h>

#include <nlohmann/json.hpp>

namespace kavu::ui {

std::optional<nlohmann::json> App::resource_tree() {
    return std::nullopt;
}

std::optional<nlohmann::json> App::resource_by_address(std::string_view) {
    return std::nullopt;
}

std::optional<nlohmann::json> App::navigation_tree() {
    return std::nullopt;
}

kavu::Result<nlohmann::json> App::perform_operation(std::string_view kind, const nlohmann::json&) {
    return kavu::make_error("unsupported operation kind \"" + std::string(kind) + "\"");
}

} // namespace kavu::ui
