#include <kavu_actions/action_context.h>

namespace kavu::actions {

ActionContext ActionContext::enriched_by(const ActionContext& defaults) const {
    ActionContext out = *this;
    auto fill = [](std::string& field, const std::string& fallback) {
        if (field.empty())
            field = fallback;
    };
    fill(out.app_id, defaults.app_id);
    fill(out.app_name, defaults.app_name);
    fill(out.label, defaults.label);
    fill(out.resource_kind, defaults.resource_kind);
    fill(out.resource_id, defaults.resource_id);
    fill(out.resource_name, defaults.resource_name);
    if (out.time == 0)
        out.time = defaults.time;
    return out;
}

} // namespace kavu::actions
