#pragma once

#include "actions/agent_work.h"
#include "actions/records.h"
#include "doc/schema.h"
#include "doc/views.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The shared write operations of the workspace document: message insertion,
// the unconditional field writers used by actions and starting content, the
// local person's refresh, drafts and the attachment path migration.
namespace chat::doc {

// The content of one message as insert_message takes it.
struct MessageRecord {
    std::string author;
    std::string text;
    std::vector<ReactionGroup> reactions; // one stored entry per (emoji, user)
    std::vector<HistoryEntry> history;
    std::vector<Mention> mentions;
    std::optional<std::string> parent;
    std::optional<ResourceRef> reference;
    std::optional<AgentWork> work;
    std::optional<Attachment> attachment;
    int64_t ts = 0;
    bool edited = false;

    bool operator==(const MessageRecord&) const = default;
};

// Appends a message map to the channel's list, unless the id is already used
// anywhere in the document. Returns the id either way.
std::string insert_message(Document& doc, std::string_view channel, std::string_view id,
                           const MessageRecord& record);
// insert_message without the id check, for a caller that has just made it
// on the same document state (the check scans every message).
void append_message(Document& doc, std::string_view channel, std::string_view id,
                    const MessageRecord& record);

void write_workspace(Document& doc, std::string_view id, std::string_view name, std::string_view glyph,
                     int64_t color_idx, uint32_t order);
void write_category(Document& doc, std::string_view id, std::string_view workspace, std::string_view name,
                    uint32_t order);
// A voice channel also gets its (empty) participant map under "voice".
void write_channel(Document& doc, std::string_view id, std::string_view workspace, std::string_view category,
                   std::string_view name, std::string_view topic, bool voice, uint32_t order);
void write_person(Document& doc, std::string_view id, std::string_view name, std::string_view initials,
                  int64_t color_idx, PresenceStatus status);
// Writes only the fields that differ; returns whether anything was written.
bool refresh_person(Document& doc, std::string_view id, std::string_view name, std::string_view initials,
                    int64_t color_idx, PresenceStatus status);

// The composer's draft writes, the only writes that bypass actions.
void set_draft(Document& doc, std::string_view key, std::string_view text);
void clear_draft(Document& doc, std::string_view key);

// Moves built-in demo references from the older "path" key to "blob", in a
// bounded pass (the first 256 messages of each channel, at most 32 moves).
void migrate_attachment_paths(Document& doc);

// ---- Lookups shared by the action writers ----

// The first map element of the channel's list whose "id" is `id`.
std::optional<ObjId> find_message(const Document& doc, std::string_view channel, std::string_view id);
// Whether any channel's list holds a message with this id.
bool message_id_taken(const Document& doc, std::string_view id);
// 1 + the greatest order among the channels in (workspace, category); 0 when none.
uint32_t next_channel_order(const Document& doc, std::string_view workspace, std::string_view category);
// 1 + the greatest order among the workspace's categories; 0 when none.
uint32_t next_category_order(const Document& doc, std::string_view workspace);

} // namespace chat::doc
