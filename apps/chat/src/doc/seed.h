#pragma once

#include "doc/schema.h"

#include <string_view>

// Starting content. Both sets are written at most once per document: they
// set "seeded" first and do nothing when it is already true.
namespace chat::doc {

// One workspace with a text and a voice channel, and the local person.
void seed_home(Document& doc, std::string_view person_id, std::string_view name, std::string_view initials);

// Three workspaces, six people, thirteen channels, a call in progress and a
// design conversation with a thread, attachments, reactions and an edit.
void seed_demo(Document& doc);

} // namespace chat::doc
