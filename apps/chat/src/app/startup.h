#pragma once

#include <base/result.h>
#include <ui/launch.h>
#include <ui/persist.h>

#include <array>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

// Process start: the blob store, the launch description and its hooks.
namespace chat::app {

class ChatApp;

// The screenshot scenarios, in the order the launcher lists them.
inline constexpr std::array<std::string_view, 21> kScenarioNames = {"narrow",
                                                                    "history",
                                                                    "compact",
                                                                    "starter",
                                                                    "people",
                                                                    "thread-narrow",
                                                                    "collaboration",
                                                                    "context",
                                                                    "msgmenu",
                                                                    "attach",
                                                                    "attach-loading",
                                                                    "attach-error",
                                                                    "edit",
                                                                    "composer",
                                                                    "call",
                                                                    "share",
                                                                    "floating-call-attached",
                                                                    "floating-call",
                                                                    "floating-call-hover",
                                                                    "floating-call-returning",
                                                                    "floating-call-returned"};

inline constexpr uint32_t kDefaultWidth = 1280;
inline constexpr uint32_t kDefaultHeight = 800;

// An environment variable; nothing when unset.
using EnvLookup = std::function<std::optional<std::string>(std::string_view)>;
EnvLookup process_env();

// Where the workspace document lives: "KAVU_CHAT_DATA" as given (set but
// empty: the working directory), else the XDG data directory, else
// ~/.local/share, each with "kavu-chat" appended; nothing without a home.
std::optional<std::filesystem::path> resolve_data_dir(const EnvLookup& env);
// "workspace." and the document engine's file extension.
std::string document_file_name();

// Installs the process-wide blob store at its default root.
void install_blob_store();

// The launch description with every hook of this application.
kavu::ui::LaunchDescription launch_description();

// The hooks, for tests.
std::unique_ptr<kavu::ui::App> make_interactive_app();
kavu::Result<void> render_shot(const kavu::ui::ShotRequest& request);
void register_actions(kavu::ui::App& app);
kavu::Result<std::unique_ptr<kavu::ui::PersistedDocument>>
open_document(std::string_view app_id, const kavu::ui::persist::Options& options);

// Sets a ChatApp up for a named scenario; an unknown or empty name leaves
// the base state.
void apply_scenario(ChatApp& app, std::string_view name);

} // namespace chat::app
