#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace chat::app {

// The person this installation acts as: the author of new messages and the
// user of reactions, read markers and call actions.
struct LocalIdentity {
    std::string id = "u_me";
    std::string name = "You";
    std::string initials = "YU";
    uint8_t color_idx = 0; // 0 to 7
    // Ids this installation acted under before a presence adoption; they keep
    // counting as the local person. No duplicates.
    std::vector<std::string> earlier_ids{};

    bool is_local(std::string_view person) const;

    // Takes on what the presence layer says about us: a different local id
    // replaces ours (the old one joins the earlier ids, the colour follows
    // the new id), and a different self name replaces ours as given. Empty
    // or absent values change nothing.
    void adopt_presence(std::optional<std::string_view> presence_id,
                        std::optional<std::string_view> self_name);

    bool operator==(const LocalIdentity&) const = default;
};

// What the platform's identity store holds for this user.
struct SystemIdentity {
    std::array<uint8_t, 32> key{};
    std::string display_name;
};

// The seam to the platform's identity store. Linux desktops have none, so
// the application uses NoSystemIdentityStore there.
class SystemIdentityStore {
public:
    virtual ~SystemIdentityStore() = default;
    virtual std::optional<SystemIdentity> load() = 0;
};

class NoSystemIdentityStore final : public SystemIdentityStore {
public:
    std::optional<SystemIdentity> load() override { return std::nullopt; }
};

// Everything identity reading takes from the outside world, so tests can
// pass their own.
struct IdentitySources {
    // An environment variable; nothing when unset.
    std::function<std::optional<std::string>(std::string_view)> env;
    // A file's contents; nothing when it cannot be read.
    std::function<std::optional<std::string>(const std::filesystem::path&)> read_file;
    // Creates the file's directory when missing and replaces the file with
    // `contents` crash-safely; false on any failure.
    std::function<bool(const std::filesystem::path&, std::string_view contents)> write_file;
    // A fresh random version-4 UUID as 32 lowercase hexadecimal digits.
    std::function<std::string()> new_uuid;
    SystemIdentityStore* store = nullptr; // none: treated as unavailable

    // The process environment, the real file system, a random UUID and no
    // identity store.
    static IdentitySources system();
};

// Reads the local identity from the first source that gives one: the
// platform identity store, the "peer-id" file in `data_dir` (skipped without
// one), then the user and host names.
LocalIdentity read_local_identity(const std::optional<std::filesystem::path>& data_dir,
                                  const IdentitySources& sources);

// The display name from "USER" (or "USERNAME" when "USER" is unset), trimmed
// with inner runs of white space made one space; "You" when that is empty.
std::string user_display_name(const IdentitySources& sources);

// The published 64-bit FNV-1a hash.
uint64_t fnv1a64(std::span<const uint8_t> bytes);
uint64_t fnv1a64(std::string_view text);
// The avatar colour of a person id: its FNV-1a hash, lowest 3 bits.
uint8_t color_index_for(std::string_view id);
// Avatar initials of a name; "Y" when the name gives none.
std::string initials_for(std::string_view name);
// A random version-4 UUID as 32 lowercase hexadecimal digits.
std::string random_uuid_hex();

} // namespace chat::app
