#pragma once

#include <ui/color.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kavu::ui {

namespace presence {
inline constexpr int kPaletteSize = 8;
// The colour of a person by colour index; the index wraps around the palette.
Color user_color(uint32_t color_index);
// A stable colour index derived from an id (FNV-1a of its bytes).
uint32_t color_index_for(std::string_view id);
} // namespace presence

struct PresenceParticipant {
    std::string id;
    std::string name;
    bool operator==(const PresenceParticipant&) const = default;
};

// Who is present in the shared session, as the toolkit knows it. A window run
// without peers lists nobody.
class PresenceCtx {
public:
    PresenceCtx() = default;
    PresenceCtx(std::optional<std::string> self_id, std::optional<std::string> self_name,
                std::vector<PresenceParticipant> participants)
        : m_self_id(std::move(self_id)), m_self_name(std::move(self_name)),
          m_participants(std::move(participants)) {}

    // The local participant's person id and announced name, when known.
    const std::optional<std::string>& self_id() const { return m_self_id; }
    const std::optional<std::string>& self_name() const { return m_self_name; }
    const std::vector<PresenceParticipant>& participants() const { return m_participants; }

    // The colour assigned to a participant id.
    Color color_for(std::string_view id) const;
    bool lists(std::string_view id) const;

private:
    std::optional<std::string> m_self_id;
    std::optional<std::string> m_self_name;
    std::vector<PresenceParticipant> m_participants;
};

} // namespace kavu::ui
