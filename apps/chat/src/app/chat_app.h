#pragma once

#include "actions/navigation.h"
#include "actions/perform.h"
#include "actions/resources.h"
#include "actions/view_state.h"
#include "app/identity.h"
#include "app/interface_state.h"
#include "app/people.h"
#include "call/call_controller.h"
#include "call/call_host.h"

#include <kavu_actions/action_host.h>
#include <kavu_actions/action_registry.h>
#include <ui/app.h>
#include <ui/image_store.h>
#include <ui/permission.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace chat::app {

inline constexpr std::string_view kAppId = "org.kavu.chat";

// Run switches, each set once or flipped by a single path.
struct RunFlags {
    bool live = false;      // an interactive run, never changes after start
    bool starter = false;   // seed the home content instead of the demo (not live)
    bool migrated = false;  // the attachment path migration ran this run
    bool redraw = false;    // a redraw was requested
    bool animating = false; // a flap or panel animation runs
};

// The application's root object. The toolkit owns it and calls its hooks on
// the UI thread; everything it shows is read from the workspace document
// into the view state by the refresh, and every change leaves as a
// ChatAction through dispatch().
//
// Not movable: the call controls keep a reference to it as their host.
class ChatApp final : public kavu::ui::App, private CallHost {
public:
    // The screenshot variant: the demo selection, the default identity and
    // the inert media backend.
    ChatApp();
    ~ChatApp() override;
    ChatApp(const ChatApp&) = delete;
    ChatApp& operator=(const ChatApp&) = delete;

    // Turns this into the interactive variant: live, the system identity,
    // the process's media backend, nothing selected.
    void make_interactive(LocalIdentity identity, std::unique_ptr<MediaNet> media);

    // ---- Toolkit hooks ----
    std::string_view type_name() const override { return "chat::app::ChatApp"; }
    void sync(kavu::ui::SyncContext& context) override;
    void draw(kavu::ui::Scene& scene, const kavu::ui::FrameContext& frame) override;
    bool handle_event(const kavu::ui::Event& event, kavu::ui::EventContext& context) override;
    std::vector<std::string> operation_kinds() const override { return {std::string(kOperationKindName)}; }
    std::string display_name() const override { return "ChatApp"; }
    kavu::ui::Rect window_rect() const override { return m_ui.window; }
    bool menu_shown() const override;
    bool activate_context_menu_item(std::string_view item_id) override;
    std::optional<nlohmann::json> resource_tree() override;
    std::optional<nlohmann::json> resource_by_address(std::string_view address) override;
    std::optional<std::vector<crdt::ChangeHash>> change_checkpoint() override;
    // The toolkit's entry carries no operation type: the operation is taken
    // as dispatched with the type it declares.
    kavu::Result<nlohmann::json> perform_operation(std::string_view kind,
                                                   const nlohmann::json& payload) override;
    bool needs_another_frame() const override;
    std::optional<kavu::ui::Rect> menu_rect() const override;
    bool take_redraw_request() override;
    void draw_with_presence(kavu::ui::Scene& scene, const kavu::ui::FrameContext& frame,
                            const kavu::ui::PresenceCtx& presence) override;

    // ---- Operations and actions ----
    PerformResult perform(kavu::actions::OperationType type, std::string_view kind, std::string_view payload);
    // Dispatches under the action's own label and resource; a failure is
    // logged and otherwise ignored.
    void dispatch(const ChatAction& action);
    kavu::actions::ActionRegistry& action_registry() { return m_registry; }
    const kavu::actions::ActionHost& action_host() const { return m_actions; }
    // Everything the published resources are built from.
    ResourceContext resource_context() const;

    // ---- Refresh ----
    void refresh();
    void mark_current_channel_read();
    std::string person_name(std::string_view id) const;
    std::vector<MentionCandidate> mention_candidates() const;

    // ---- Selection paths of the interface ----
    void select_inbox();
    void select_current_context();
    void select_channel(std::string_view channel);
    void select_voice_channel(std::string_view channel);

    // ---- Interface actions ----
    bool writing_permitted() const;
    // Sends the focused composer's stored draft.
    void send_from_composer();
    void start_edit(std::string_view message);
    void save_edit();
    void start_rename(RenameTarget target);
    // A key for the rename field; a submit commits the rename.
    void rename_key(const kavu::ui::Event& event, kavu::ui::EventContext& context);
    void commit_rename();
    void toggle_reaction(std::string_view message, std::string_view emoji);
    void create_channel(std::string_view workspace, std::string_view category, ChannelKind kind);
    void create_category(std::string_view workspace);
    void open_context_menu(MenuSubject subject, kavu::ui::Point at);
    void carry_out_menu_item(const MenuSubject& subject, MenuItem item);
    // Stores a composer's text as the draft of what it writes to.
    void store_draft(bool thread_composer, std::string_view text);

    // ---- State, for the frame and for tests ----
    const ViewState& view() const { return m_view; }
    const Selection& selection() const { return m_selection; }
    Selection& selection() { return m_selection; }
    const NavigationFlags& navigation() const { return m_nav; }
    NavigationFlags& navigation() { return m_nav; }
    Composers& composers() { return m_composers; }
    InterfaceState& interface_state() { return m_ui; }
    const InterfaceState& interface_state() const { return m_ui; }
    const LocalIdentity& identity() const { return m_identity; }
    const PresenceNames& presence() const { return m_presence; }
    RunFlags& flags() { return m_flags; }
    const RunFlags& flags() const { return m_flags; }
    CallController& call() { return *m_call; }
    kavu::ui::PermissionContext& permissions() { return m_permissions; }
    kavu::ui::ImageStore& images() { return *m_images; }
    crdt::Document* current_document() { return m_doc; }
    // Seconds since the epoch for the interface's own actions. Unset: the
    // system clock.
    void set_clock(std::function<int64_t()> clock) { m_clock = std::move(clock); }
    // Where imports start; false refuses. Unset: every import is refused.
    void set_import_starter(std::function<bool(const std::string&, const std::string&)> start) {
        m_start_import = std::move(start);
    }

private:
    static constexpr std::string_view kOperationKindName = "chat.operation";

    // CallHost
    void dispatch(const ChatAction& action, std::string_view label) override;
    std::string local_user() const override { return m_identity.id; }
    const doc::Document& document() const override;
    std::string current_workspace() const override { return m_selection.workspace; }
    bool permitted(CallPermission permission) const override;

    void seed();
    void dispatch_labelled(const ChatAction& action, std::string label);
    std::string first_channel_in_sidebar_order(std::string_view workspace) const;
    void refresh_composers();
    int64_t interface_now() const;
    void close_thread();
    void reset_message_list();
    void close_popups_for_edit();

    LocalIdentity m_identity;
    ViewState m_view;
    PresenceNames m_presence;
    Selection m_selection;
    NavigationFlags m_nav;
    Composers m_composers;
    InterfaceState m_ui;
    RunFlags m_flags;

    kavu::actions::ActionRegistry m_registry;
    kavu::actions::ActionHost m_actions;
    std::unique_ptr<kavu::ui::ImageStore> m_images;
    kavu::ui::PermissionContext m_permissions = kavu::ui::PermissionContext::permissive();
    std::unique_ptr<CallController> m_call;

    // The document of the last synchronisation; hooks between two
    // synchronisations act on it. The toolkit keeps it alive while it calls.
    crdt::Document* m_doc = nullptr;
    std::function<int64_t()> m_clock;
    std::function<bool(const std::string&, const std::string&)> m_start_import;
};

} // namespace chat::app
