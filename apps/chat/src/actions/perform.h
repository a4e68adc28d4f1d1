#pragma once

#include "actions/chat_action.h"
#include "actions/navigation.h"
#include "actions/view_state.h"

#include <kavu_actions/action_spec.h>

#include <functional>
#include <string>
#include <string_view>

namespace crdt {
class Document;
}

namespace chat {

enum class PerformStatus { NotHandled, Done, Failed };

struct PerformResult {
    PerformStatus status = PerformStatus::Done;
    std::string message; // why it failed

    static PerformResult not_handled() { return {PerformStatus::NotHandled, {}}; }
    static PerformResult done() { return {PerformStatus::Done, {}}; }
    static PerformResult failed(std::string message) { return {PerformStatus::Failed, std::move(message)}; }
    bool operator==(const PerformResult&) const = default;
};

// What performing an operation reads and asks of the application.
struct PerformContext {
    const ViewState& view;
    const crdt::Document* doc = nullptr; // for OpenPerson's search of other channels
    // Starts importing a file into a channel; false when the import refuses
    // to start.
    std::function<bool(const std::string& channel, const std::string& path)> start_import;
};

// The navigation state an operation changes.
struct NavigationTarget {
    Selection& selection;
    NavigationFlags& flags;
    bool open_right_panel = false; // set when the right-hand panel must be forced open
};

// Decodes and type-checks an operation, then performs it. A foreign kind, or
// a navigation of a type other than View or Effect, is not handled. A failed
// operation leaves the navigation state as it was.
PerformResult perform_operation(kavu::actions::OperationType type, std::string_view kind,
                                std::string_view payload, const PerformContext& context,
                                NavigationTarget& target);

// Performs an already decoded and checked operation.
PerformResult perform_decoded(const ChatOperation& operation, const PerformContext& context,
                              NavigationTarget& target);

} // namespace chat
