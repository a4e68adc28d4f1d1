#pragma once

// A change: the operations one actor made in one transaction, with what it
// was made on (deps). Its canonical encoding is both the sync wire form and
// the input of its hash.
//
// Canonical encoding:
//   u8 version (1), actor (16 bytes), seq, start_op (uvarints), time (svarint),
//   message (length + bytes), deps (count + sorted 32-byte hashes),
//   other actors (count + 16 bytes each, in order of first use by the ops),
//   ops (count + each op).
// In ops, actors are change-local: 0 is the change's actor, i > 0 the i-th
// other actor. An id is (counter, actor); counter 0 (root/head) has no actor.

#include "codec.h"
#include "op.h"

#include <base/result.h>

#include <span>
#include <vector>

namespace crdt {

using kavu::Result;

struct ChangeData {
    uint32_t actor = 0; // local actor number
    uint64_t seq = 0;
    uint64_t start_op = 0;
    int64_t time = 0;
    std::string message;
    std::vector<ChangeHash> deps; // sorted, unique
    std::vector<Op> ops;

    uint64_t span() const;
    uint64_t max_op() const { return start_op + span() - 1; }
};

void encode_change(const ChangeData& change, const ActorTable& actors, std::vector<uint8_t>& out);
ChangeHash hash_bytes(std::span<const uint8_t> bytes);

// Decodes one canonical change, interning its actors. Checks its structure
// (kinds, bounds, references only to lower counters), not its fit to a
// document.
Result<ChangeData> decode_change(std::span<const uint8_t> bytes, ActorTable& actors);

// The scalar part of the op encodings, shared with the file format.
void encode_scalar(ByteWriter& w, const Scalar& s);
bool decode_scalar(ByteReader& r, Scalar& out);

} // namespace crdt
