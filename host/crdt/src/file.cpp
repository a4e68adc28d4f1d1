// The only file I/O of the engine: reading, crash-safe rewriting and
// appending of document files.

#include "storage.h"

#include <crdt/file.h>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace crdt {

using kavu::make_error;

namespace {

struct Fd {
    int fd = -1;
    explicit Fd(int f) : fd(f) {}
    ~Fd() {
        if (fd >= 0)
            ::close(fd);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    // Closes now, reporting the error that close() may carry.
    bool close() {
        int f = fd;
        fd = -1;
        return ::close(f) == 0;
    }
};

kavu::Error io_error(std::string_view what, const std::filesystem::path& path) {
    return make_error(std::string(what) + " " + path.string() + ": " + std::strerror(errno));
}

bool write_all(int fd, std::span<const uint8_t> bytes) {
    while (!bytes.empty()) {
        ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        bytes = bytes.subspan(static_cast<size_t>(n));
    }
    return true;
}

Result<std::vector<uint8_t>> read_all(const std::filesystem::path& path) {
    Fd f(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (f.fd < 0)
        return io_error("cannot open", path);
    std::vector<uint8_t> out;
    uint8_t buf[1 << 16];
    struct stat st {};
    if (::fstat(f.fd, &st) == 0 && st.st_size > 0)
        out.reserve(static_cast<size_t>(st.st_size));
    for (;;) {
        ssize_t n = ::read(f.fd, buf, sizeof buf);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return io_error("cannot read", path);
        }
        if (n == 0)
            break;
        out.insert(out.end(), buf, buf + n);
    }
    return out;
}

// Whether an existing file at `path` may be replaced: it must be ours (or a
// torn start of ours), never another program's file or a newer format.
Result<void> check_replaceable(const std::filesystem::path& path) {
    Fd f(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (f.fd < 0) {
        if (errno == ENOENT)
            return {};
        return io_error("cannot open", path);
    }
    uint8_t head[kHeaderSize];
    ssize_t n;
    do {
        n = ::read(f.fd, head, sizeof head);
    } while (n < 0 && errno == EINTR);
    if (n < 0)
        return io_error("cannot read", path);
    switch (check_header(std::span(head, static_cast<size_t>(n)))) {
    case HeaderCheck::Ours:
    case HeaderCheck::Torn:
        return {};
    case HeaderCheck::Foreign:
        return make_error("refusing to overwrite " + path.string() + ": not a Kavu document");
    case HeaderCheck::Newer:
        return make_error("refusing to overwrite " + path.string() + ": written by a newer version");
    }
    return {};
}

void sync_directory(const std::filesystem::path& dir) {
    Fd d(::open(dir.empty() ? "." : dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (d.fd >= 0)
        ::fsync(d.fd);
}

} // namespace

Result<LoadedFile> load_file(const std::filesystem::path& path) {
    auto bytes = read_all(path);
    if (!bytes)
        return bytes.error();
    LoadReport report;
    auto doc = Document::load(*bytes, &report);
    if (!doc)
        return make_error(path.string() + ": " + doc.error_text());
    return LoadedFile{.doc = doc.release_value(), .report = std::move(report)};
}

Result<void> save_file(const std::filesystem::path& path, Document& doc) {
    if (auto r = check_replaceable(path); !r)
        return r;
    std::vector<uint8_t> bytes = doc.save();
    std::string tmp = path.string() + ".tmp-XXXXXX";
    int fd = ::mkstemp(tmp.data());
    if (fd < 0)
        return io_error("cannot create a temporary file for", path);
    Fd f(fd);
    auto fail = [&](std::string_view what) {
        auto e = io_error(what, path);
        ::unlink(tmp.c_str());
        return e;
    };
    if (::fchmod(f.fd, 0600) != 0)
        return fail("cannot set the mode of");
    if (!write_all(f.fd, bytes))
        return fail("cannot write");
    if (::fsync(f.fd) != 0)
        return fail("cannot sync");
    if (!f.close())
        return fail("cannot close");
    if (::rename(tmp.c_str(), path.c_str()) != 0)
        return fail("cannot replace");
    sync_directory(path.parent_path());
    return {};
}

Result<void> append_changes(const std::filesystem::path& path, Document& doc) {
    struct stat st {};
    bool exists = ::stat(path.c_str(), &st) == 0;
    // Appending continues only the exact file this document last wrote or
    // read; a missing file, one with a torn tail or one changed by someone
    // else is rewritten whole instead.
    if (!exists || doc.persisted_size() == 0 || static_cast<size_t>(st.st_size) != doc.persisted_size())
        return save_file(path, doc);
    if (auto r = check_replaceable(path); !r)
        return r;
    std::vector<uint8_t> bytes = doc.save_incremental();
    if (bytes.empty())
        return {};
    Fd f(::open(path.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC));
    if (f.fd < 0)
        return io_error("cannot open", path);
    if (!write_all(f.fd, bytes))
        return io_error("cannot append to", path);
    if (::fsync(f.fd) != 0)
        return io_error("cannot sync", path);
    if (!f.close())
        return io_error("cannot close", path);
    return {};
}

} // namespace crdt
