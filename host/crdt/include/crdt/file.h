#pragma once

#include <base/result.h>
#include <crdt/document.h>

#include <filesystem>
#include <span>

namespace crdt {

// The customary extension of a document file ("workspace.kdoc").
inline constexpr std::string_view kFileExtension = "kdoc";

struct LoadedFile {
    Document doc;
    LoadReport report;
};

// Reads and loads a document file. Errors: the file cannot be read, is not a
// document, or is of a newer format. A torn tail is reported, not an error.
Result<LoadedFile> load_file(const std::filesystem::path& path);

// Writes the whole document crash-safely: a temporary file beside `path`,
// fsync, rename over `path`, fsync of the directory. Mode 0600.
Result<void> save_file(const std::filesystem::path& path, Document& doc);

// Appends the changes since the last save to a file written by save_file,
// then fsyncs. Does nothing when there is nothing new.
Result<void> append_changes(const std::filesystem::path& path, Document& doc);

} // namespace crdt
