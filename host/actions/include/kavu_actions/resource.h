#pragma once

#include <kavu_actions/action_address.h>
#include <kavu_actions/action_spec.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace kavu::actions {

// Something a person can act on, with the specs it offers and the
// resources nested in it, both in publication order.
class Resource {
public:
    Resource(ActionAddress address, std::string title);

    Resource& with_action(ActionSpec spec) &;
    Resource&& with_action(ActionSpec spec) &&;
    Resource& with_child(Resource child) &;
    Resource&& with_child(Resource child) &&;
    Resource& with_type_label(std::string label) &;
    Resource&& with_type_label(std::string label) &&;

    const ActionAddress& address() const { return m_address; }
    const std::string& kind() const { return m_address.kind; }
    const std::string& title() const { return m_title; }
    const std::optional<std::string>& type_label() const { return m_type_label; }
    const std::vector<ActionSpec>& actions() const { return m_actions; }
    const std::vector<Resource>& children() const { return m_children; }

    const ActionSpec* find_action(std::string_view id) const;
    // This resource or the first descendant (depth first) at `address`.
    const Resource* find(const ActionAddress& address) const;
    // Visits every spec of this resource and its descendants, depth first.
    void for_each_action(const std::function<void(ActionSpec&)>& visit);

private:
    ActionAddress m_address;
    std::string m_title;
    std::optional<std::string> m_type_label;
    std::vector<ActionSpec> m_actions;
    std::vector<Resource> m_children;
};

} // namespace kavu::actions
