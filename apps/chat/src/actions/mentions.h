#pragma once

#include "actions/records.h"

#include <string>
#include <string_view>
#include <vector>

namespace chat {

// Someone a message can mention.
struct MentionCandidate {
    std::string id;
    std::string name;
    bool agent = false;

    bool operator==(const MentionCandidate&) const = default;
};

// The mentions in a message text, in text order. A mention is "@" at the
// start of the text or after white space, followed by a candidate's name
// that does not run on into a letter or digit. Longer names win over their
// prefixes; names compare case-insensitively unless lowercasing would change
// the text's byte length.
std::vector<Mention> find_mentions(std::string_view text, const std::vector<MentionCandidate>& people);

} // namespace chat
