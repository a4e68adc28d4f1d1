#include "app/identity.h"

#include <ui/avatar.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

namespace chat::app {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kPeerIdFile = "peer-id";
// A "peer-id" file is one short line; anything much larger is not ours.
constexpr std::streamsize kMaxPeerIdFile = 4096;

// Decodes the code point at `at` (advancing `at`); invalid bytes decode one
// at a time as themselves, which no white-space test matches.
char32_t next_code_point(std::string_view s, size_t& at) {
    auto b = static_cast<unsigned char>(s[at]);
    size_t len = b < 0x80 ? 1 : (b >> 5) == 6 ? 2 : (b >> 4) == 14 ? 3 : (b >> 3) == 30 ? 4 : 0;
    if (len == 0 || at + len > s.size()) {
        at += 1;
        return b;
    }
    char32_t cp = len == 1 ? b : b & (0x7F >> len);
    for (size_t i = 1; i < len; i++) {
        auto c = static_cast<unsigned char>(s[at + i]);
        if ((c >> 6) != 2) {
            at += 1;
            return b;
        }
        cp = (cp << 6) | (c & 0x3F);
    }
    at += len;
    return cp;
}

// Unicode White_Space.
bool is_space(char32_t c) {
    return (c >= 0x09 && c <= 0x0D) || c == 0x20 || c == 0x85 || c == 0xA0 || c == 0x1680 ||
           (c >= 0x2000 && c <= 0x200A) || c == 0x2028 || c == 0x2029 || c == 0x202F || c == 0x205F ||
           c == 0x3000;
}

std::string trim(std::string_view s) {
    size_t begin = s.size(), end = 0;
    for (size_t at = 0; at < s.size();) {
        size_t start = at;
        if (!is_space(next_code_point(s, at))) {
            begin = std::min(begin, start);
            end = at;
        }
    }
    return begin < end ? std::string(s.substr(begin, end - begin)) : std::string();
}

// Trims and makes every inner run of white space one space.
std::string squeeze(std::string_view s) {
    std::string out;
    bool pending_space = false;
    for (size_t at = 0; at < s.size();) {
        size_t start = at;
        if (is_space(next_code_point(s, at))) {
            pending_space = !out.empty();
            continue;
        }
        if (pending_space)
            out.push_back(' ');
        pending_space = false;
        out.append(s.substr(start, at - start));
    }
    return out;
}

std::string hex(std::span<const uint8_t> bytes) {
    static constexpr char kHex[] = "0123456789abcdef";
    std::string out;
    for (uint8_t b : bytes) {
        out.push_back(kHex[b >> 4]);
        out.push_back(kHex[b & 15]);
    }
    return out;
}

std::string hex64(uint64_t v) {
    char buf[17];
    std::snprintf(buf, sizeof buf, "%016llx", static_cast<unsigned long long>(v));
    return buf;
}

std::optional<std::string> raw_user(const IdentitySources& sources) {
    if (auto user = sources.env("USER"))
        return user;
    return sources.env("USERNAME");
}

LocalIdentity make_identity(std::string id, std::string name, uint8_t color) {
    LocalIdentity identity;
    identity.id = std::move(id);
    identity.initials = initials_for(name);
    identity.name = std::move(name);
    identity.color_idx = color;
    return identity;
}

std::optional<LocalIdentity> from_store(const IdentitySources& sources) {
    if (!sources.store)
        return std::nullopt;
    auto system = sources.store->load();
    if (!system)
        return std::nullopt;
    auto name = trim(system->display_name);
    if (name.empty())
        name = user_display_name(sources);
    return make_identity("u_" + hex(std::span(system->key).first(8)), std::move(name),
                         static_cast<uint8_t>(fnv1a64(system->key) & 7));
}

// The id kept in the data directory, made and written on first use. Nothing
// when no id can be kept there (the caller then derives one).
std::optional<std::string> from_peer_id_file(const fs::path& data_dir, const IdentitySources& sources) {
    auto path = data_dir / kPeerIdFile;
    if (auto contents = sources.read_file(path)) {
        auto id = trim(*contents);
        if (!id.empty())
            return id;
    }
    auto id = "u_" + sources.new_uuid();
    if (!sources.write_file(path, id))
        return std::nullopt;
    return id;
}

std::string from_user_and_host(const IdentitySources& sources) {
    auto user = raw_user(sources).value_or("");
    std::string host;
    if (auto env_host = sources.env("HOSTNAME"); env_host && !env_host->empty())
        host = *env_host;
    else if (auto file = sources.read_file("/etc/hostname"))
        host = trim(*file);
    auto joined = user + "@" + host;
    if (joined == "@")
        return "u_" + sources.new_uuid();
    return "u_" + hex64(fnv1a64(joined));
}

std::optional<std::string> read_small_file(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::nullopt;
    std::string contents(static_cast<size_t>(kMaxPeerIdFile) + 1, '\0');
    in.read(contents.data(), kMaxPeerIdFile + 1);
    if (in.bad() || in.gcount() > kMaxPeerIdFile)
        return std::nullopt;
    contents.resize(static_cast<size_t>(in.gcount()));
    return contents;
}

// Temporary file, fsync, rename, so a crash never leaves half an id.
bool write_file_atomically(const fs::path& path, std::string_view contents) {
    std::error_code ec;
    fs::create_directories(path.parent_path(), ec);
    if (ec)
        return false;
    auto temp =
        path.parent_path() / ("." + path.filename().string() + "." + std::to_string(::getpid()) + ".tmp");
    int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0)
        return false;
    bool ok = ::write(fd, contents.data(), contents.size()) == static_cast<ssize_t>(contents.size()) &&
              ::fsync(fd) == 0;
    ok = ::close(fd) == 0 && ok;
    ok = ok && ::rename(temp.c_str(), path.c_str()) == 0;
    if (!ok) {
        ::unlink(temp.c_str());
        return false;
    }
    int dir = ::open(path.parent_path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return true;
}

} // namespace

bool LocalIdentity::is_local(std::string_view person) const {
    return person == id || std::find(earlier_ids.begin(), earlier_ids.end(), person) != earlier_ids.end();
}

void LocalIdentity::adopt_presence(std::optional<std::string_view> presence_id,
                                   std::optional<std::string_view> self_name) {
    if (presence_id && !presence_id->empty() && *presence_id != id) {
        if (std::find(earlier_ids.begin(), earlier_ids.end(), id) == earlier_ids.end())
            earlier_ids.push_back(id);
        id = std::string(*presence_id);
        color_idx = color_index_for(id);
    }
    if (self_name && !self_name->empty() && *self_name != name) {
        name = std::string(*self_name);
        initials = initials_for(name);
    }
}

IdentitySources IdentitySources::system() {
    return IdentitySources{
        .env = [](std::string_view name) -> std::optional<std::string> {
            const char* value = std::getenv(std::string(name).c_str());
            if (!value)
                return std::nullopt;
            return std::string(value);
        },
        .read_file = read_small_file,
        .write_file = write_file_atomically,
        .new_uuid = random_uuid_hex,
        .store = nullptr,
    };
}

LocalIdentity read_local_identity(const std::optional<fs::path>& data_dir, const IdentitySources& sources) {
    if (auto identity = from_store(sources))
        return *identity;
    std::optional<std::string> id;
    if (data_dir)
        id = from_peer_id_file(*data_dir, sources);
    if (!id)
        id = from_user_and_host(sources);
    auto color = color_index_for(*id);
    return make_identity(std::move(*id), user_display_name(sources), color);
}

std::string user_display_name(const IdentitySources& sources) {
    auto name = squeeze(raw_user(sources).value_or(""));
    return name.empty() ? "You" : name;
}

uint64_t fnv1a64(std::span<const uint8_t> bytes) {
    uint64_t hash = 0xcbf29ce484222325ull;
    for (uint8_t b : bytes) {
        hash ^= b;
        hash *= 0x100000001b3ull;
    }
    return hash;
}

uint64_t fnv1a64(std::string_view text) {
    return fnv1a64(std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
}

uint8_t color_index_for(std::string_view id) {
    return static_cast<uint8_t>(fnv1a64(id) & 7);
}

std::string initials_for(std::string_view name) {
    auto initials = kavu::ui::Avatar::initials_for_name(name);
    return initials.empty() ? "Y" : initials;
}

std::string random_uuid_hex() {
    std::random_device device;
    std::array<uint8_t, 16> bytes{};
    for (size_t i = 0; i < bytes.size(); i += 4) {
        uint32_t word = device();
        for (size_t j = 0; j < 4; j++)
            bytes[i + j] = static_cast<uint8_t>(word >> (8 * j));
    }
    bytes[6] = static_cast<uint8_t>((bytes[6] & 0x0F) | 0x40); // version 4
    bytes[8] = static_cast<uint8_t>((bytes[8] & 0x3F) | 0x80); // RFC 4122 variant
    return hex(bytes);
}

} // namespace chat::app
