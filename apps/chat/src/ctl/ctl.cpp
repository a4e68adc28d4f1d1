#include "ctl/ctl.h"

#include "actions/action_json.h"
#include "actions/action_presentation.h"
#include "ctl/view_json.h"
#include "doc/apply.h"
#include "doc/readers.h"
#include "doc/seed.h"

#include <crdt/file.h>

#include <chrono>
#include <filesystem>
#include <iostream>
#include <optional>

namespace chat::ctl {

namespace {

constexpr const char* kUsage =
    "usage: kavu-chat-ctl apply FILE                 apply ChatAction JSON lines from standard input\n"
    "       kavu-chat-ctl seed FILE --home ID NAME INITIALS | --demo\n"
    "       kavu-chat-ctl read FILE [--person ID] [--channel ID] [--draft KEY]\n"
    "       kavu-chat-ctl decode-operation KIND      decode one payload from standard input\n";

int usage(std::ostream& err) {
    err << kUsage;
    return 2;
}

int64_t now_seconds() {
    using namespace std::chrono;
    return duration_cast<seconds>(system_clock::now().time_since_epoch()).count();
}

enum class IfMissing { Create, Fail };

// Loads the document file, or starts a new document when there is none and
// the command may create one. A file that exists but does not load is never
// replaced: the command stops before writing anything.
std::optional<crdt::Document> open_document(const std::filesystem::path& path, IfMissing if_missing,
                                            std::ostream& err) {
    std::error_code ec;
    bool exists = std::filesystem::exists(path, ec);
    if (ec) {
        err << "kavu-chat-ctl: cannot access " << path.string() << ": " << ec.message() << "\n";
        return std::nullopt;
    }
    if (!exists) {
        if (if_missing == IfMissing::Fail) {
            err << "kavu-chat-ctl: " << path.string() << ": no such document\n";
            return std::nullopt;
        }
        return crdt::Document();
    }
    auto loaded = crdt::load_file(path);
    if (!loaded) {
        err << "kavu-chat-ctl: cannot load " << path.string() << ": " << loaded.error_text() << "\n";
        return std::nullopt;
    }
    if (loaded->report.truncated_tail) {
        err << "kavu-chat-ctl: warning: " << path.string() << ": dropped a damaged tail after byte "
            << loaded->report.valid_bytes << " (" << loaded->report.tail_error << ")\n";
    }
    return std::move(loaded->doc);
}

bool save_document(const std::filesystem::path& path, crdt::Document& doc, std::ostream& err) {
    auto saved = crdt::save_file(path, doc);
    if (!saved) {
        err << "kavu-chat-ctl: cannot save " << path.string() << ": " << saved.error_text() << "\n";
        return false;
    }
    return true;
}

bool is_blank(const std::string& line) {
    return line.find_first_not_of(" \t\r") == std::string::npos;
}

int run_apply(const std::vector<std::string>& args, std::istream& in, std::ostream& err) {
    if (args.size() != 2)
        return usage(err);
    std::filesystem::path path = args[1];
    auto doc = open_document(path, IfMissing::Create, err);
    if (!doc)
        return 1;
    bool failed = false;
    std::string line;
    for (size_t number = 1; std::getline(in, line); ++number) {
        if (is_blank(line))
            continue;
        auto action = decode_json<ChatAction>(line);
        if (!action) {
            err << "line " << number << ": " << action.error_text() << "\n";
            failed = true;
            continue;
        }
        doc::apply_action(*doc, *action);
        doc->commit(now_seconds(), present_action(*action).label);
    }
    if (!save_document(path, *doc, err))
        return 1;
    return failed ? 1 : 0;
}

int run_seed(const std::vector<std::string>& args, std::ostream& err) {
    bool home = args.size() == 6 && args[2] == "--home";
    bool demo = args.size() == 3 && args[2] == "--demo";
    if (!home && !demo)
        return usage(err);
    std::filesystem::path path = args[1];
    auto doc = open_document(path, IfMissing::Create, err);
    if (!doc)
        return 1;
    if (home)
        doc::seed_home(*doc, args[3], args[4], args[5]);
    else
        doc::seed_demo(*doc);
    doc->commit(now_seconds(), "Seed starting content");
    return save_document(path, *doc, err) ? 0 : 1;
}

int run_read(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    if (args.size() < 2)
        return usage(err);
    std::string person = "u_me";
    std::optional<std::string> channel;
    std::optional<std::string> draft;
    for (size_t i = 2; i < args.size(); i += 2) {
        if (i + 1 >= args.size())
            return usage(err);
        if (args[i] == "--person")
            person = args[i + 1];
        else if (args[i] == "--channel")
            channel = args[i + 1];
        else if (args[i] == "--draft")
            draft = args[i + 1];
        else
            return usage(err);
    }
    auto doc = open_document(args[1], IfMissing::Fail, err);
    if (!doc)
        return 1;

    auto array_of = [](const auto& records) {
        OrderedJson array = OrderedJson::array();
        for (const auto& r : records)
            array.push_back(to_json(r));
        return array;
    };
    auto channels = doc::list_channels(*doc);
    OrderedJson participants = OrderedJson::object();
    for (ChannelEntry& c : channels) {
        c.unread = doc::unread_count(*doc, c.id, person);
        if (c.voice)
            participants[c.id] = array_of(doc::call_participants(*doc, c.id));
    }
    OrderedJson result = OrderedJson::object();
    result["workspaces"] = array_of(doc::list_workspaces(*doc));
    result["categories"] = array_of(doc::list_categories(*doc));
    result["channels"] = array_of(channels);
    result["people"] = array_of(doc::list_people(*doc));
    result["participants"] = std::move(participants);
    if (channel) {
        result["messages"] = array_of(doc::read_messages(*doc, *channel));
        result["top_level_count"] = doc::top_level_count(*doc, *channel);
    }
    if (draft) {
        auto text = doc::draft_text(*doc, *draft);
        result["draft"] = text ? OrderedJson(*text) : OrderedJson(nullptr);
    }
    out << dump_compact(result) << "\n";
    return 0;
}

int run_decode_operation(const std::vector<std::string>& args, std::istream& in, std::ostream& out,
                         std::ostream& err) {
    if (args.size() != 2)
        return usage(err);
    std::string payload{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    auto decoded = decode_operation(args[1], payload);
    if (!decoded) {
        out << "not a chat operation\n";
        return 0;
    }
    if (!decoded->ok()) {
        out << decoded->error_text() << "\n";
        return 1;
    }
    out << encode_json(**decoded) << "\n";
    return 0;
}

} // namespace

int run(const std::vector<std::string>& args, std::istream& in, std::ostream& out, std::ostream& err) {
    if (args.empty())
        return usage(err);
    const std::string& command = args[0];
    if (command == "apply")
        return run_apply(args, in, err);
    if (command == "seed")
        return run_seed(args, err);
    if (command == "read")
        return run_read(args, out, err);
    if (command == "decode-operation")
        return run_decode_operation(args, in, out, err);
    if (command == "--help" || command == "-h") {
        out << kUsage;
        return 0;
    }
    return usage(err);
}

} // namespace chat::ctl
