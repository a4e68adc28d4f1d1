#include "doc/seed.h"

#include "actions/fresh_id.h"
#include "doc/apply.h"
#include "doc/writers.h"

namespace chat::doc {

namespace {

// Marks the document seeded; false when it already was.
bool claim_seed(Document& doc) {
    if (read_bool(doc, kRoot, "seeded"))
        return false;
    put_bool(doc, kRoot, "seeded", true);
    return true;
}

ReactionGroup rx(std::string_view emoji, std::initializer_list<std::string_view> users) {
    ReactionGroup group{.emoji = std::string(emoji)};
    for (std::string_view user : users)
        group.users.emplace_back(user);
    return group;
}

MessageRecord say(std::string_view author, int64_t ts, std::string_view text,
                  std::vector<ReactionGroup> reactions = {}) {
    return MessageRecord{.author = std::string(author),
                         .text = std::string(text),
                         .reactions = std::move(reactions),
                         .ts = ts};
}

void write_people(Document& doc) {
    write_person(doc, "u_me", "You", "YU", 0, PresenceStatus::Online);
    write_person(doc, "u_lena", "Lena Moss", "LM", 1, PresenceStatus::Online);
    write_person(doc, "u_theo", "Theo Lund", "TL", 2, PresenceStatus::Idle);
    write_person(doc, "u_nika", "Nika Ford", "NF", 3, PresenceStatus::Online);
    write_person(doc, "u_oskar", "Oskar Hale", "OH", 5, PresenceStatus::Dnd);
    write_person(doc, "u_mira", "Mira Stone", "MS", 6, PresenceStatus::Offline);
}

void write_structure(Document& doc) {
    write_workspace(doc, "ws_acme", "Acme Design", "AD", 0, 0);
    write_workspace(doc, "ws_kavu", "Kavu Core", "KC", 1, 1);
    write_workspace(doc, "ws_jam", "Weekend Jam", "WJ", 3, 2);

    write_category(doc, "cat_acme_main", "ws_acme", "Channels", 0);
    write_category(doc, "cat_acme_voice", "ws_acme", "Voice", 1);
    write_category(doc, "cat_kavu_eng", "ws_kavu", "Engineering", 0);
    write_category(doc, "cat_kavu_voice", "ws_kavu", "Voice", 1);
    write_category(doc, "cat_jam_main", "ws_jam", "Hangout", 0);

    constexpr bool kText = false;
    constexpr bool kVoice = true;
    write_channel(doc, "c_general", "ws_acme", "cat_acme_main", "general", "Company-wide announcements",
                  kText, 0);
    write_channel(doc, "c_crit", "ws_acme", "cat_acme_main", "design-crit", "Share work, get sharp feedback",
                  kText, 1);
    write_channel(doc, "c_frontend", "ws_acme", "cat_acme_main", "frontend", "ui toolkit + app shells", kText,
                  2);
    write_channel(doc, "c_random", "ws_acme", "cat_acme_main", "random", "Off-topic & watercooler", kText, 3);
    write_channel(doc, "c_standup", "ws_acme", "cat_acme_voice", "Daily Standup", "", kVoice, 0);
    write_channel(doc, "c_huddle", "ws_acme", "cat_acme_voice", "Design Huddle", "", kVoice, 1);
    write_channel(doc, "c_kernel", "ws_kavu", "cat_kavu_eng", "kernel", "bootc + immutable base", kText, 0);
    write_channel(doc, "c_compositor", "ws_kavu", "cat_kavu_eng", "compositor", "2D clusters & sandboxing",
                  kText, 1);
    write_channel(doc, "c_fssync", "ws_kavu", "cat_kavu_eng", "fs-sync", "nexo projection & hydration", kText,
                  2);
    write_channel(doc, "c_releases", "ws_kavu", "cat_kavu_eng", "releases", "ship logs", kText, 3);
    write_channel(doc, "c_warroom", "ws_kavu", "cat_kavu_voice", "War Room", "", kVoice, 0);
    write_channel(doc, "c_ideas", "ws_jam", "cat_jam_main", "ideas", "weekend hacks", kText, 0);
    write_channel(doc, "c_music", "ws_jam", "cat_jam_main", "music", "now playing", kText, 1);
}

void write_huddle(Document& doc) {
    struct Seat {
        std::string_view user;
        bool talking, muted, audio_only;
    };
    const Seat seats[] = {
        {"u_lena", true, false, false},
        {"u_theo", false, true, false},
        {"u_nika", false, false, true},
    };
    for (const Seat& s : seats) {
        std::string user(s.user);
        apply_action(doc, {ChatAction::JoinCall{.channel = "c_huddle", .user = user}});
        apply_action(doc, {ChatAction::SetCallState{.channel = "c_huddle",
                                                    .user = user,
                                                    .talking = s.talking,
                                                    .muted = s.muted,
                                                    .deafened = false,
                                                    .audio_only = s.audio_only}});
    }
}

void write_crit(Document& doc) {
    const char* crit = "c_crit";
    insert_message(
        doc, crit, "m_open",
        say("u_lena", 1782471840,
            "Morning! Pushed the new call overlay mock — pulling tiles into a 2x2 grid reads way calmer "
            "than the old filmstrip.",
            {rx("🎉", {"u_me", "u_theo"})}));

    MessageRecord frame =
        say("u_lena", 1782471900,
            "Here's the frame — the host tile keeps the live camera, everyone else collapses to "
            "chips when they're audio-only.",
            {rx("\u2764\uFE0F", {"u_me", "u_nika", "u_theo"}), rx("🔥", {"u_oskar"})});
    frame.attachment = Attachment{Attachment::Image{
        .name = "call-overlay-v3.png", .blob = "kavu-demo://call-grid", .w = 640, .h = 360}};
    insert_message(doc, crit, "m_concept", frame);

    insert_message(
        doc, crit, "m_me1",
        say("u_me", 1782472140,
            "Love it. One ask: can the 'follow the host' affordance live on the host tile itself instead "
            "of the controls bar?"));
    insert_message(
        doc, crit, "m_theo",
        say("u_theo", 1782472560,
            "+1 — and we should read every colour from the OS theme so it matches whatever the cluster is "
            "themed to.",
            {rx("👍", {"u_me", "u_lena"})}));

    MessageRecord notes =
        say("u_oskar", 1782473400, "Dropping the transport notes here so they don't get lost.");
    notes.attachment =
        Attachment{Attachment::File{.name = "moq-over-nexo.md", .blob = "demo:moq-over-nexo", .size = 18944}};
    insert_message(doc, crit, "m_oskar", notes);

    MessageRecord clip = say("u_nika", 1782473760,
                             "Screen recording of the tile-promotion motion — this is the feel I'm after:",
                             {rx("🔥", {"u_me", "u_lena"})});
    clip.attachment = Attachment{Attachment::Video{
        .name = "tile-promotion.webm", .blob = "demo:tile-promotion", .w = 1280, .h = 720, .size = 6815744}};
    insert_message(doc, crit, "m_clip", clip);

    MessageRecord nika =
        say("u_nika", 1782475140,
            "Wired the screen-share stage — whoever presents gets a big featured tile and everyone "
            "else drops to the filmstrip beneath it. Reads really cleanly.",
            {rx("🚀", {"u_me", "u_lena", "u_theo", "u_oskar"}), rx("👀", {"u_mira"})});
    nika.edited = true;
    nika.history = {HistoryEntry{
        .text =
            "Wired up screen-share — the presenter gets a featured tile, everyone else goes to a filmstrip.",
        .ts = 1782475020}};
    insert_message(doc, crit, "m_nika", nika);

    insert_message(
        doc, crit, "m_me2",
        say("u_me", 1782475320, "That's the one. Starting a huddle to walk through the grid — jump in."));

    auto reply = [&](std::string_view author, int64_t ts, std::string_view text,
                     std::vector<ReactionGroup> reactions = {}) {
        MessageRecord r = say(author, ts, text, std::move(reactions));
        r.parent = "m_concept";
        insert_message(doc, crit, fresh_id("m_"), r);
    };
    reply("u_theo", 1782472020, "Should the chips show a mic-level ring when someone's talking?");
    reply("u_lena", 1782472080, "Yeah — a thin accent ring that pulses. I'll spec the motion token.",
          {rx("👍", {"u_me"})});
    reply("u_me", 1782472200, "Perfect, that keeps the audio-only state legible.");
}

} // namespace

void seed_home(Document& doc, std::string_view person_id, std::string_view name, std::string_view initials) {
    if (!claim_seed(doc))
        return;
    write_person(doc, person_id, name, initials, 0, PresenceStatus::Online);
    write_workspace(doc, "ws_home", "My Workspace", "MW", 0, 0);
    write_category(doc, "cat_home_text", "ws_home", "Channels", 0);
    write_category(doc, "cat_home_voice", "ws_home", "Voice", 1);
    write_channel(doc, "c_general", "ws_home", "cat_home_text", "general", "", false, 0);
    write_channel(doc, "c_lounge", "ws_home", "cat_home_voice", "Lounge", "", true, 0);
}

void seed_demo(Document& doc) {
    if (!claim_seed(doc))
        return;
    write_people(doc);
    write_structure(doc);
    write_huddle(doc);
    write_crit(doc);
    insert_message(
        doc, "c_general", fresh_id("m_"),
        say("u_mira", 1782464400,
            "Welcome to Acme Design on Kavu 👋 Channels relate to the workspace you're standing in — "
            "switch workspaces from the rail on the left.",
            {rx("👋", {"u_me", "u_lena", "u_theo"})}));
}

} // namespace chat::doc
