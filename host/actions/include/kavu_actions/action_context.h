#pragma once

#include <kavu_actions/action_address.h>

#include <cstdint>
#include <string>

namespace kavu::actions {

// What travels with a dispatched action: who dispatches it, how it is
// presented, and which resource it concerns.
struct ActionContext {
    std::string app_id{};   // reverse-domain name of the application
    std::string app_name{}; // its display name
    std::string label{};    // "Send message"
    std::string resource_kind{};
    std::string resource_id{};
    std::string resource_name{}; // the resource's display name
    int64_t time = 0;            // seconds since the epoch; the change's time

    ActionAddress address() const { return {resource_kind, resource_id}; }
    // This context with every empty field (and a zero time) taken from
    // `defaults`.
    ActionContext enriched_by(const ActionContext& defaults) const;

    bool operator==(const ActionContext&) const = default;
};

} // namespace kavu::actions
