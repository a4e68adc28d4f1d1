#pragma once

#include <crdt/document.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// Typed access to the workspace document's tree. Reads never fail: a missing
// object or a value of another kind reads as absent. Creating a container
// that the engine refuses is a programming error and stops the program with
// the step's label.
namespace chat::doc {

using crdt::Document;
using crdt::ObjId;

inline constexpr ObjId kRoot = ObjId::root();

// Returns the map (list, text) under `key`, first replacing whatever else is
// there with a new empty one.
ObjId ensure_map(Document& doc, const ObjId& parent, std::string_view key);
ObjId ensure_list(Document& doc, const ObjId& parent, std::string_view key);
ObjId ensure_text(Document& doc, const ObjId& parent, std::string_view key);

// The object under `key` when it exists and is of that kind.
std::optional<ObjId> find_map(const Document& doc, const ObjId& parent, std::string_view key);
std::optional<ObjId> find_map(const Document& doc, const std::optional<ObjId>& parent, std::string_view key);
std::optional<ObjId> find_list(const Document& doc, const ObjId& parent, std::string_view key);
std::optional<ObjId> find_list(const Document& doc, const std::optional<ObjId>& parent, std::string_view key);
// The list element at `index` when it is a map.
std::optional<ObjId> map_at(const Document& doc, const ObjId& list, size_t index);

std::optional<std::string> read_str(const Document& doc, const ObjId& map, std::string_view key);
// A text object's content, or a plain string scalar.
std::optional<std::string> read_text(const Document& doc, const ObjId& map, std::string_view key);
// Any numeric scalar: integers as they are, floating point truncated toward
// zero (saturating; NaN reads as absent), counters and timestamps by value.
std::optional<int64_t> read_int(const Document& doc, const ObjId& map, std::string_view key);
// A boolean scalar; false for anything else.
bool read_bool(const Document& doc, const ObjId& map, std::string_view key);
// A boolean scalar, absent for anything else.
std::optional<bool> find_bool(const Document& doc, const ObjId& map, std::string_view key);

// Low 32 bits, as "order", "w" and "h" are read.
inline uint32_t low32(int64_t v) {
    return static_cast<uint32_t>(static_cast<uint64_t>(v));
}

// Scalar writes and deletes whose engine failure is ignored.
void put_str(Document& doc, const ObjId& map, std::string_view key, std::string_view value);
void put_int(Document& doc, const ObjId& map, std::string_view key, int64_t value);
void put_bool(Document& doc, const ObjId& map, std::string_view key, bool value);
void delete_key(Document& doc, const ObjId& map, std::string_view key);

// Replaces a text object's content by the smallest single splice (common
// prefix and suffix kept), so that edits made concurrently elsewhere in the
// text survive a merge.
void splice_text_diffed(Document& doc, const ObjId& text, std::string_view new_text);

// A message id accepted from a send: 1 to 128 bytes of ASCII letters, digits,
// "-" and "_".
bool is_valid_message_id(std::string_view id);

// The draft key of a thread composer: channel id, "::t::", root message id.
std::string thread_draft_key(std::string_view channel, std::string_view root);

} // namespace chat::doc
