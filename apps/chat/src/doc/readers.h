#pragma once

#include "doc/schema.h"
#include "doc/views.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Readers of the workspace document. Each walks the document from the root,
// never writes and never fails. Sorts are stable, so entries with equal sort
// keys stay in ascending byte order of their keys.
namespace chat::doc {

// Sorted by order.
std::vector<WorkspaceEntry> list_workspaces(const Document& doc);
// All workspaces', sorted by order.
std::vector<CategoryEntry> list_categories(const Document& doc);
// All workspaces', archived ones included, sorted by order; unread is 0.
std::vector<ChannelEntry> list_channels(const Document& doc);
// In key order.
std::vector<PersonEntry> list_people(const Document& doc);
// Talking participants first, then by person id.
std::vector<CallParticipant> call_participants(const Document& doc, std::string_view channel);

// In the channel's list order, which is the conversation order.
std::vector<MessageView> read_messages(const Document& doc, std::string_view channel);
size_t top_level_count(const Document& doc, std::string_view channel);
int64_t read_marker(const Document& doc, std::string_view channel, std::string_view person);
// Top-level messages past the person's read marker; thread replies never count.
uint32_t unread_count(const Document& doc, std::string_view channel, std::string_view person);
std::optional<std::string> draft_text(const Document& doc, std::string_view key);

} // namespace chat::doc
