#pragma once

#include <base/result.h>

#include <string>

namespace crdt {
class Document;
}

namespace kavu::actions {

// A decoded action that can change a document. Implementations are plain
// values; apply() may be called on any document the caller chooses.
class ApplicableAction {
public:
    virtual ~ApplicableAction() = default;

    // A one-line rendering for logs and debugging.
    virtual std::string debug_string() const = 0;
    // Applies the action as edits in the document's pending change. An
    // error means the document was not changed.
    virtual kavu::Result<void> apply(crdt::Document& doc) const = 0;
    // Ephemeral actions (cursor moves, typing marks) change the document but
    // are not worth undoing or listing as activity: dispatch applies them
    // without recording them in the change log.
    virtual bool is_ephemeral() const { return false; }
};

} // namespace kavu::actions
