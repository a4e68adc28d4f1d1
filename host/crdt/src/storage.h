#pragma once

// The file format.
//
//   header  "KAVUDOC" + u8 format version
//   chunk*  u8 type, u32le payload size, u32le CRC-32 of (type, size, payload), payload
//
// A changes chunk holds a run of the change log in columns (change metadata,
// then one column per operation field), compressed with zstd. A file is one
// chunk with the whole log, followed by chunks appended by incremental saves.
// Changes are numbered by their position in the file; a dependency is written
// as the distance back to it.

#include <cstdint>
#include <span>
#include <string_view>

namespace crdt {

inline constexpr std::string_view kFileMagic = "KAVUDOC";
inline constexpr uint8_t kFormatVersion = 1;
inline constexpr size_t kHeaderSize = 8;

enum class HeaderCheck { Ours, Torn, Foreign, Newer };
// Classifies the first bytes of a file.
HeaderCheck check_header(std::span<const uint8_t> bytes);

} // namespace crdt
