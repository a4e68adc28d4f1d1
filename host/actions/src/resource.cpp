#include <kavu_actions/resource.h>

namespace kavu::actions {

Resource::Resource(ActionAddress address, std::string title)
    : m_address(std::move(address)), m_title(std::move(title)) {}

Resource& Resource::with_action(ActionSpec spec) & {
    m_actions.push_back(std::move(spec));
    return *this;
}

Resource&& Resource::with_action(ActionSpec spec) && {
    return std::move(with_action(std::move(spec)));
}

Resource& Resource::with_child(Resource child) & {
    m_children.push_back(std::move(child));
    return *this;
}

Resource&& Resource::with_child(Resource child) && {
    return std::move(with_child(std::move(child)));
}

Resource& Resource::with_type_label(std::string label) & {
    m_type_label = std::move(label);
    return *this;
}

Resource&& Resource::with_type_label(std::string label) && {
    return std::move(with_type_label(std::move(label)));
}

const ActionSpec* Resource::find_action(std::string_view id) const {
    for (const auto& spec : m_actions) {
        if (spec.id() == id)
            return &spec;
    }
    return nullptr;
}

const Resource* Resource::find(const ActionAddress& address) const {
    if (m_address == address)
        return this;
    for (const auto& child : m_children) {
        if (const auto* found = child.find(address))
            return found;
    }
    return nullptr;
}

void Resource::for_each_action(const std::function<void(ActionSpec&)>& visit) {
    for (auto& spec : m_actions)
        visit(spec);
    for (auto& child : m_children)
        child.for_each_action(visit);
}

} // namespace kavu::actions
