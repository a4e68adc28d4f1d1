#pragma once

#include "actions/chat_action.h"
#include "doc/schema.h"

namespace chat::doc {

// Applies one action to the document. Never fails: an action whose target is
// missing, or a message that fails its checks, leaves the document unchanged.
void apply_action(Document& doc, const ChatAction& action);

// The checks a sent message must pass beyond its channel and id: text size,
// attachment name, blob reference and dimensions.
inline constexpr size_t kMaxMessageTextBytes = 65536;
bool is_acceptable_attachment(const Attachment& attachment);

} // namespace chat::doc
