// Applies arbitrary action lines to a demo document, then runs every reader.
// Applying and reading must never crash, whatever the actions hold.

#include "actions/action_json.h"
#include "doc/apply.h"
#include "doc/readers.h"
#include "doc/seed.h"
#include "doc/writers.h"

#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view input(reinterpret_cast<const char*>(data), size);
    crdt::Document doc{crdt::ActorId{}};
    chat::doc::seed_demo(doc);
    size_t lines = 0;
    while (!input.empty() && lines++ < 64) {
        size_t end = input.find('\n');
        std::string_view line = input.substr(0, end);
        input = end == std::string_view::npos ? std::string_view{} : input.substr(end + 1);
        auto action = chat::decode_json<chat::ChatAction>(line);
        if (action)
            chat::doc::apply_action(doc, *action);
    }
    chat::doc::migrate_attachment_paths(doc);
    (void)chat::doc::list_workspaces(doc);
    (void)chat::doc::list_categories(doc);
    (void)chat::doc::list_people(doc);
    for (const chat::ChannelEntry& c : chat::doc::list_channels(doc)) {
        (void)chat::doc::read_messages(doc, c.id);
        (void)chat::doc::unread_count(doc, c.id, "u_me");
        (void)chat::doc::call_participants(doc, c.id);
        (void)chat::doc::draft_text(doc, c.id);
    }
    return 0;
}
