#include <ui/persist.h>

#include <crdt/file.h>
#include <spdlog/spdlog.h>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <sys/stat.h>
#include <unistd.h>

namespace kavu::ui {

namespace fs = std::filesystem;

namespace {

// Creates every missing directory of `dir` with mode 0700: the data
// directory holds the user's conversations and is nobody else's business.
kavu::Result<void> make_private_dirs(const fs::path& dir) {
    if (dir.empty())
        return {};
    std::error_code ec;
    if (fs::is_directory(dir, ec))
        return {};
    if (auto parent = dir.parent_path(); !parent.empty() && parent != dir) {
        auto made = make_private_dirs(parent);
        if (!made)
            return made;
    }
    if (::mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST)
        return kavu::make_error("cannot create " + dir.string() + ": " + std::strerror(errno));
    return {};
}

// A name beside `path` that does not exist yet, for a damaged file.
fs::path backup_name(const fs::path& path) {
    std::string base =
        path.string() + ".damaged-" + std::to_string(static_cast<long long>(std::time(nullptr)));
    fs::path candidate = base;
    std::error_code ec;
    for (int n = 1; fs::exists(candidate, ec) || ec; ++n)
        candidate = base + "-" + std::to_string(n);
    return candidate;
}

// Moves the file aside without ever replacing an existing file.
kavu::Result<fs::path> move_aside(const fs::path& path) {
    fs::path target = backup_name(path);
    // link + unlink instead of rename: link fails rather than replace a file
    // that appeared since the name was chosen.
    if (::link(path.c_str(), target.c_str()) != 0)
        return kavu::make_error("cannot move " + path.string() + " aside: " + std::strerror(errno));
    if (::unlink(path.c_str()) != 0)
        return kavu::make_error("cannot move " + path.string() + " aside: " + std::strerror(errno));
    return target;
}

} // namespace

PersistedDocument::PersistedDocument(std::string app_id, persist::Options options, crdt::Document doc,
                                     std::optional<fs::path> path, persist::OpenReport report)
    : m_app_id(std::move(app_id)), m_options(options), m_doc(std::move(doc)), m_path(std::move(path)),
      m_report(std::move(report)) {
    m_saved_changes = change_count();
    m_seen_changes = m_saved_changes;
}

PersistedDocument::~PersistedDocument() {
    auto flushed = flush();
    if (!flushed)
        spdlog::error("document not saved on exit: {}", flushed.error_text());
}

uint64_t PersistedDocument::change_count() const {
    uint64_t total = 0;
    for (const auto& [actor, count] : m_doc.clock())
        total += count;
    return total;
}

bool PersistedDocument::has_unsaved_changes() {
    return m_doc.pending_ops() > 0 || change_count() != m_saved_changes;
}

std::optional<std::chrono::steady_clock::time_point>
PersistedDocument::tick(std::chrono::steady_clock::time_point now) {
    uint64_t count = change_count() + (m_doc.pending_ops() > 0 ? 1 : 0);
    if (count != m_seen_changes) {
        m_seen_changes = count;
        if (!m_dirty_since)
            m_dirty_since = now;
    }
    if (!m_dirty_since)
        return std::nullopt;
    if (now - *m_dirty_since < m_options.save_delay)
        return *m_dirty_since + m_options.save_delay;
    auto saved = flush();
    if (!saved) {
        if (!m_save_failed_logged)
            spdlog::warn("saving the document failed, will retry: {}", saved.error_text());
        m_save_failed_logged = true;
        // Retry after another delay rather than on every frame.
        m_dirty_since = now;
        return now + m_options.save_delay;
    }
    return std::nullopt;
}

kavu::Result<void> PersistedDocument::flush() {
    if (m_doc.pending_ops() > 0)
        m_doc.commit();
    uint64_t count = change_count();
    if (m_path && count != m_saved_changes) {
        auto appended = crdt::append_changes(*m_path, m_doc);
        if (!appended)
            return appended;
    }
    m_saved_changes = count;
    m_seen_changes = count;
    m_dirty_since.reset();
    m_save_failed_logged = false;
    return {};
}

namespace persist {

kavu::Result<std::unique_ptr<PersistedDocument>> open(std::string_view app_id, const Options& options) {
    return std::make_unique<PersistedDocument>(std::string(app_id), options, crdt::Document(), std::nullopt,
                                               OpenReport{});
}

kavu::Result<std::unique_ptr<PersistedDocument>>
open_migrating(std::string_view app_id, const Options& options, const fs::path& path) {
    auto dirs = make_private_dirs(path.parent_path());
    if (!dirs)
        return dirs.error();

    OpenReport report;
    std::error_code ec;
    bool exists = fs::exists(fs::symlink_status(path, ec));
    if (!exists) {
        crdt::Document doc;
        auto saved = crdt::save_file(path, doc);
        if (!saved)
            return kavu::make_error("cannot create " + path.string() + ": " + saved.error_text());
        report.created = true;
        return std::make_unique<PersistedDocument>(std::string(app_id), options, std::move(doc), path,
                                                   std::move(report));
    }

    auto loaded = crdt::load_file(path);
    crdt::Document doc;
    bool rewrite = false;
    if (!loaded) {
        report.warning = "the document file could not be loaded (" + loaded.error_text() + ")";
        rewrite = true;
    } else {
        doc = std::move(loaded->doc);
        if (loaded->report.truncated_tail) {
            report.warning = "the document file has a damaged tail after " +
                             std::to_string(loaded->report.valid_bytes) + " bytes (" +
                             loaded->report.tail_error + "); the changes before it were kept";
            rewrite = true;
        }
    }

    if (rewrite) {
        auto moved = move_aside(path);
        if (!moved)
            return moved.error();
        report.backup = *moved;
        spdlog::warn("{}: {}; the damaged file was kept as {}", path.string(), report.warning,
                     moved->string());
        auto saved = crdt::save_file(path, doc);
        if (!saved)
            return kavu::make_error("cannot write " + path.string() + ": " + saved.error_text());
    } else {
        // Incremental saves append to what is on disk; nothing loaded is new.
        (void)doc.save_incremental();
        ::chmod(path.c_str(), 0600);
    }
    return std::make_unique<PersistedDocument>(std::string(app_id), options, std::move(doc), path,
                                               std::move(report));
}

} // namespace persist

} // namespace kavu::ui
