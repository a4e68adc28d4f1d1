#pragma once

#include <base/result.h>
#include <crdt/document.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace kavu::ui {

namespace persist {

struct Options {
    // How long after a change its save waits, so that a burst of edits is
    // written once.
    std::chrono::milliseconds save_delay{400};
};

// What happened to the file when it was opened.
struct OpenReport {
    bool created = false;                        // no file existed
    std::optional<std::filesystem::path> backup; // where an unreadable or damaged file was moved
    std::string warning;                         // why, for the log; empty when all was well
};

} // namespace persist

// The application's document and, when it has a file, the file it is kept in.
// Every change is appended to the file shortly after it happens and when the
// object is dropped; a crash loses at most the changes of the save delay.
class PersistedDocument {
public:
    ~PersistedDocument();
    PersistedDocument(const PersistedDocument&) = delete;
    PersistedDocument& operator=(const PersistedDocument&) = delete;

    crdt::Document& doc() { return m_doc; }
    const std::optional<std::filesystem::path>& path() const { return m_path; }
    const persist::OpenReport& open_report() const { return m_report; }
    std::string_view app_id() const { return m_app_id; }

    // Call after every frame and event: notices new changes and saves them once
    // they are older than the save delay. Returns when it next wants to run,
    // or nothing when everything is saved.
    std::optional<std::chrono::steady_clock::time_point> tick(std::chrono::steady_clock::time_point now);
    // Saves every change now (committing a pending change first).
    kavu::Result<void> flush();
    bool has_unsaved_changes();

    // Internal: use persist::open / open_migrating.
    PersistedDocument(std::string app_id, persist::Options options, crdt::Document doc,
                      std::optional<std::filesystem::path> path, persist::OpenReport report);

private:
    uint64_t change_count() const;

    std::string m_app_id;
    persist::Options m_options;
    crdt::Document m_doc;
    std::optional<std::filesystem::path> m_path;
    persist::OpenReport m_report;
    uint64_t m_saved_changes = 0;
    std::optional<std::chrono::steady_clock::time_point> m_dirty_since;
    uint64_t m_seen_changes = 0;
    bool m_save_failed_logged = false;
};

namespace persist {

// A document kept in memory only (no data directory).
kavu::Result<std::unique_ptr<PersistedDocument>> open(std::string_view app_id, const Options& options);

// Opens the document file at `path`, or creates it (its directory with mode
// 0700, the file 0600). A file that cannot be loaded, or whose tail is torn,
// is moved aside beside it (never overwritten); whatever prefix of it loads is
// kept and written to a fresh file, and a warning is logged.
kavu::Result<std::unique_ptr<PersistedDocument>>
open_migrating(std::string_view app_id, const Options& options, const std::filesystem::path& path);

} // namespace persist

} // namespace kavu::ui
