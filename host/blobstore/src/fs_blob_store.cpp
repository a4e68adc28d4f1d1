#include <blobstore/fs_blob_store.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace blobstore {

namespace fs = std::filesystem;
using kavu::make_error;

namespace {

// Temporary files older than this are leftovers of a crashed writer.
constexpr auto kStaleTemp = std::chrono::hours(1);

class Fd {
public:
    explicit Fd(int fd) : m_fd(fd) {}
    ~Fd() {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return m_fd; }
    bool valid() const { return m_fd >= 0; }
    // Closes now and reports whether the close succeeded (it can report a
    // deferred write error).
    bool close() {
        int fd = m_fd;
        m_fd = -1;
        return ::close(fd) == 0;
    }

private:
    int m_fd;
};

std::string errno_text(std::string_view what) {
    return std::string(what) + ": " + std::strerror(errno);
}

std::string lower(std::string_view key) {
    std::string out(key);
    for (char& c : out) {
        if (c >= 'A' && c <= 'F')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return out;
}

bool fsync_dir(const fs::path& dir) {
    Fd fd(::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    return fd.valid() && ::fsync(fd.get()) == 0;
}

// Creates `dir` (and its parents) private to the user, fsyncing each parent
// that gained an entry so the new directories survive a crash.
bool ensure_dir(const fs::path& dir) {
    struct stat st {};
    if (::stat(dir.c_str(), &st) == 0)
        return S_ISDIR(st.st_mode);
    if (dir.has_parent_path() && dir.parent_path() != dir && !ensure_dir(dir.parent_path()))
        return false;
    if (::mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST)
        return false;
    fsync_dir(dir.has_parent_path() ? dir.parent_path() : fs::path("."));
    return true;
}

std::optional<std::vector<uint8_t>> read_file(const fs::path& path, uint64_t max_bytes) {
    Fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW));
    if (!fd.valid())
        return std::nullopt;
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_size < 0 ||
        static_cast<uint64_t>(st.st_size) > max_bytes)
        return std::nullopt;
    std::vector<uint8_t> bytes(static_cast<size_t>(st.st_size));
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = ::read(fd.get(), bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return std::nullopt; // an error, or the file shrank under us
        done += static_cast<size_t>(n);
    }
    return bytes;
}

std::optional<uint64_t> regular_file_size(const fs::path& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return std::nullopt;
    return static_cast<uint64_t>(st.st_size);
}

bool is_lower_key(std::string_view name) {
    return is_key(name) && lower(name) == name;
}

bool is_fan_out_dir(std::string_view name) {
    return name.size() == 2 && is_lower_key(std::string(name) + std::string(62, '0'));
}

uint64_t image_side(const BlobInfo& info) {
    return std::max(info.width, info.height);
}

} // namespace

EnvLookup process_env() {
    return [](std::string_view name) -> std::optional<std::string> {
        const char* value = std::getenv(std::string(name).c_str());
        if (!value)
            return std::nullopt;
        return std::string(value);
    };
}

fs::path FsBlobStore::default_root(const EnvLookup& env) {
    static constexpr std::string_view kFolder = "kavu-blobs";
    auto absolute = [&](std::string_view name) -> std::optional<fs::path> {
        auto value = env(name);
        if (!value || value->empty() || (*value)[0] != '/')
            return std::nullopt;
        return fs::path(*value);
    };
    if (auto data = absolute("XDG_DATA_HOME"))
        return *data / kFolder;
    if (auto home = absolute("HOME"))
        return *home / ".local" / "share" / kFolder;
    return fs::path(kFolder);
}

FsBlobStore::FsBlobStore(fs::path root, BlobLimits limits) : m_root(std::move(root)), m_limits(limits) {}

fs::path FsBlobStore::path_of(const BlobKey& key) const {
    return m_root / key.substr(0, 2) / key;
}

void FsBlobStore::set_eviction_grace(std::chrono::seconds grace) {
    std::lock_guard lock(m_mutex);
    m_grace = grace;
}

uint64_t FsBlobStore::stored_bytes() {
    std::lock_guard lock(m_mutex);
    ensure_indexed();
    return m_total;
}

uint64_t FsBlobStore::stored_blobs() {
    std::lock_guard lock(m_mutex);
    ensure_indexed();
    return m_sizes.size();
}

// Caller holds m_mutex. Files that are not blobs are left alone, except
// stale temporary files of ours.
void FsBlobStore::ensure_indexed() {
    if (m_indexed)
        return;
    m_indexed = true;
    std::error_code ec;
    auto now = fs::file_time_type::clock::now();
    for (fs::directory_iterator dir(m_root, ec), end; !ec && dir != end; dir.increment(ec)) {
        auto dir_name = dir->path().filename().string();
        if (!is_fan_out_dir(dir_name) || !dir->is_directory(ec))
            continue;
        std::error_code inner;
        for (fs::directory_iterator file(dir->path(), inner); !inner && file != end; file.increment(inner)) {
            auto name = file->path().filename().string();
            if (name.starts_with(".") && name.ends_with(".tmp")) {
                std::error_code ignored;
                auto written = fs::last_write_time(file->path(), ignored);
                if (!ignored && now - written > kStaleTemp)
                    fs::remove(file->path(), ignored);
                continue;
            }
            if (!is_lower_key(name) || !name.starts_with(dir_name))
                continue;
            if (auto size = regular_file_size(file->path())) {
                m_sizes[name] = *size;
                m_total += *size;
            }
        }
    }
}

std::optional<std::vector<uint8_t>> FsBlobStore::get(std::string_view key) {
    if (!is_key(key))
        return std::nullopt;
    auto bytes = read_file(path_of(lower(key)), m_limits.max_blob_bytes);
    // A file whose bytes no longer hash to its name (a disk fault, a hand
    // edit) must not be served as the blob.
    if (!bytes || key_of(*bytes) != lower(key))
        return std::nullopt;
    return bytes;
}

bool FsBlobStore::has(std::string_view key) {
    return is_key(key) && regular_file_size(path_of(lower(key))).has_value();
}

BlobState FsBlobStore::state(std::string_view key) {
    if (!is_key(key))
        return BlobState::Missing;
    {
        std::lock_guard lock(m_mutex);
        if (m_in_flight.contains(lower(key)))
            return BlobState::Writing;
    }
    return has(key) ? BlobState::Stored : BlobState::Missing;
}

Result<BlobKey> FsBlobStore::put(std::span<const uint8_t> bytes, const BlobInfo& info) {
    if (bytes.size() > m_limits.max_blob_bytes)
        return make_error("blob of " + std::to_string(bytes.size()) + " bytes exceeds the limit of " +
                          std::to_string(m_limits.max_blob_bytes) + " bytes");
    return store(bytes, info, key_of(bytes));
}

Result<BlobKey> FsBlobStore::put_checked(std::span<const uint8_t> bytes, std::string_view expected_key) {
    if (!is_key(expected_key))
        return make_error("not a blob key");
    if (bytes.size() > m_limits.max_blob_bytes)
        return make_error("blob of " + std::to_string(bytes.size()) + " bytes exceeds the limit of " +
                          std::to_string(m_limits.max_blob_bytes) + " bytes");
    auto key = key_of(bytes);
    if (key != lower(expected_key))
        return make_error("blob bytes do not match their key");
    return store(bytes, sniff(bytes), std::move(key));
}

Result<BlobKey> FsBlobStore::store(std::span<const uint8_t> bytes, const BlobInfo& info, BlobKey key) {
    // The caller's description is checked, and so are the bytes themselves:
    // a header claiming a huge image is refused whoever described it.
    uint64_t side = std::max(image_side(info), image_side(sniff(bytes)));
    if (side > m_limits.max_image_side)
        return make_error("image of " + std::to_string(side) + " pixels on a side exceeds the limit of " +
                          std::to_string(m_limits.max_image_side));

    const auto path = path_of(key);
    std::unique_lock lock(m_mutex);
    ensure_indexed();
    // Only one writer per key at a time; a second put of the same bytes
    // waits for the first and then finds the blob stored.
    m_written.wait(lock, [&] { return !m_in_flight.contains(key); });

    if (auto size = regular_file_size(path); size && *size == bytes.size()) {
        // Trust the existing file only when it holds exactly these bytes; a
        // damaged copy is rewritten below.
        lock.unlock();
        auto existing = read_file(path, m_limits.max_blob_bytes);
        bool same = existing && std::equal(existing->begin(), existing->end(), bytes.begin(), bytes.end());
        lock.lock();
        if (same) {
            if (!m_sizes.contains(key)) {
                m_sizes[key] = *size; // written by another process
                m_total += *size;
            }
            return key;
        }
        m_written.wait(lock, [&] { return !m_in_flight.contains(key); });
    }
    // Replacing a damaged copy frees its bytes first.
    uint64_t replaced = 0;
    if (auto it = m_sizes.find(key); it != m_sizes.end())
        replaced = it->second;
    uint64_t blobs_after = m_sizes.size() + m_in_flight.size() + (m_sizes.contains(key) ? 0 : 1);
    if (blobs_after > m_limits.max_blobs)
        return make_error("blob store is full: it holds its limit of " + std::to_string(m_limits.max_blobs) +
                          " blobs");
    uint64_t total_after = m_total - replaced + m_in_flight_total + bytes.size();
    if (total_after > m_limits.max_total_bytes)
        return make_error("blob store is full: " + std::to_string(bytes.size()) +
                          " more bytes would exceed " + std::to_string(m_limits.max_total_bytes));

    m_in_flight[key] = bytes.size();
    m_in_flight_total += bytes.size();
    lock.unlock();

    auto written = write_file(bytes, key);

    lock.lock();
    m_in_flight.erase(key);
    m_in_flight_total -= bytes.size();
    if (written) {
        if (auto it = m_sizes.find(key); it != m_sizes.end())
            m_total -= it->second;
        m_sizes[key] = bytes.size();
        m_total += bytes.size();
    }
    lock.unlock();
    m_written.notify_all();
    if (!written)
        return written.error();
    return key;
}

// Runs without the lock: only one writer per key gets here at a time.
Result<void> FsBlobStore::write_file(std::span<const uint8_t> bytes, const BlobKey& key) {
    static std::atomic<uint64_t> s_serial{0};
    const auto target = path_of(key);
    const auto dir = target.parent_path();
    if (!ensure_dir(dir))
        return make_error(errno_text("could not create the blob directory"));

    auto temp =
        dir / ("." + key + "." + std::to_string(::getpid()) + "-" + std::to_string(s_serial++) + ".tmp");
    Fd fd(::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600));
    if (!fd.valid())
        return make_error(errno_text("could not create a blob file"));
    auto fail = [&](std::string_view what) {
        auto error = make_error(errno_text(what));
        ::unlink(temp.c_str());
        return error;
    };
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = ::write(fd.get(), bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return fail("could not write a blob file");
        done += static_cast<size_t>(n);
    }
    if (::fsync(fd.get()) != 0)
        return fail("could not flush a blob file");
    if (!fd.close())
        return fail("could not close a blob file");
    if (::rename(temp.c_str(), target.c_str()) != 0)
        return fail("could not move a blob file into place");
    fsync_dir(dir);
    return {};
}

EvictReport FsBlobStore::evict_unreferenced(const std::unordered_set<BlobKey>& referenced) {
    std::unordered_set<BlobKey> keep;
    for (const auto& key : referenced) {
        if (is_key(key))
            keep.insert(lower(key));
    }
    std::lock_guard lock(m_mutex);
    ensure_indexed();
    // Look at the directory again: another process may have added blobs.
    m_indexed = false;
    m_sizes.clear();
    m_total = 0;
    ensure_indexed();

    EvictReport report;
    auto now = fs::file_time_type::clock::now();
    for (auto it = m_sizes.begin(); it != m_sizes.end();) {
        const auto& key = it->first;
        std::error_code ec;
        auto path = path_of(key);
        auto written = fs::last_write_time(path, ec);
        bool young = !ec && now - written < m_grace;
        if (keep.contains(key) || m_in_flight.contains(key) || young || ec) {
            ++it;
            continue;
        }
        if (::unlink(path.c_str()) != 0) {
            ++it;
            continue;
        }
        report.blobs++;
        report.bytes += it->second;
        m_total -= it->second;
        it = m_sizes.erase(it);
    }
    return report;
}

} // namespace blobstore
