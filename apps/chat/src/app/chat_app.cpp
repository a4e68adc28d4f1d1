#include "app/chat_app.h"

#include "actions/action_json.h"
#include "actions/action_presentation.h"
#include "actions/action_specs.h"
#include "media/sim_media_net.h"

#include <blobstore/blob_store.h>
#include <ui/log.h>
#include <ui/scene.h>
#include <ui/text_renderer.h>

#include <charconv>
#include <chrono>

namespace chat::app {

using kavu::actions::ActionContext;
using kavu::actions::OperationType;
namespace ui = kavu::ui;

namespace {

constexpr std::string_view kBlobScheme = "kavu-blob://";

// Images are loaded by address: stored blobs by key; other schemes are the
// message list's to resolve.
std::optional<std::vector<uint8_t>> load_image(const std::string& address) {
    if (address.rfind(kBlobScheme, 0) == 0)
        return blobstore::get(std::string_view(address).substr(kBlobScheme.size()));
    return std::nullopt;
}

// Menu items are keyed by their code.
std::optional<MenuItem> item_for_key(std::string_view key) {
    int code = -1;
    auto [end, ec] = std::from_chars(key.data(), key.data() + key.size(), code);
    if (ec != std::errc() || end != key.data() + key.size() || code < 0 || code >= kMenuItemCount)
        return std::nullopt;
    return static_cast<MenuItem>(code);
}

ActionContext app_defaults() {
    return ActionContext{.app_id = "org.kavu.Chat", .app_name = "Chat"};
}

} // namespace

std::string_view menu_item_label(MenuItem item) {
    switch (item) {
    case MenuItem::Rename:
        return "Rename";
    case MenuItem::Delete:
        return "Delete";
    case MenuItem::MoveUp:
        return "Move up";
    case MenuItem::MoveDown:
        return "Move down";
    case MenuItem::NewTextChannel:
        return "New text channel";
    case MenuItem::NewVoiceChannel:
        return "New voice channel";
    case MenuItem::NewCategory:
        return "New category";
    case MenuItem::CollapseExpand:
        return "Collapse / expand";
    case MenuItem::ArchiveUnarchive:
        return "Archive / unarchive";
    case MenuItem::EditMessage:
        return "Edit message";
    case MenuItem::PinUnpin:
        return "Pin / unpin";
    case MenuItem::DeleteMessage:
        return "Delete message";
    }
    return "";
}

ChatApp::ChatApp()
    : m_actions(app_defaults()), m_images(ui::ImageStore::create(load_image)),
      m_call(
          std::make_unique<CallController>(static_cast<CallHost&>(*this), std::make_unique<SimMediaNet>())) {
    register_chat_actions(m_registry);
    // The demonstration selection: the design conversation with its thread.
    m_selection.workspace = "ws_acme";
    m_selection.context_workspace = "ws_acme";
    m_selection.channel = "c_crit";
    m_selection.thread = "m_concept";
    m_nav.thread_shown = true;
}

ChatApp::~ChatApp() = default;

void ChatApp::make_interactive(LocalIdentity identity, std::unique_ptr<MediaNet> media) {
    m_flags.live = true;
    m_identity = std::move(identity);
    if (media)
        m_call = std::make_unique<CallController>(static_cast<CallHost&>(*this), std::move(media));
    m_selection.workspace.clear();
    m_selection.context_workspace.clear();
    m_selection.channel.clear();
    m_selection.thread.reset();
    m_nav.thread_shown = false;
}

// ---- Dispatch ----

int64_t ChatApp::interface_now() const {
    if (m_clock)
        return m_clock();
    auto secs =
        std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch())
            .count();
    // A clock set before the epoch still gives new messages a sane time.
    return secs < 0 ? 1782477600 : secs;
}

void ChatApp::dispatch(const ChatAction& action) {
    dispatch_labelled(action, present_action(action).label);
}

void ChatApp::dispatch(const ChatAction& action, std::string_view label) {
    dispatch_labelled(action, std::string(label));
}

void ChatApp::dispatch_labelled(const ChatAction& action, std::string label) {
    if (!m_doc) {
        ui::log::warn("action dispatch failed: no workspace document is open");
        return;
    }
    ActionPresentation shown = present_action(action);
    ActionContext context{.label = std::move(label),
                          .resource_kind = shown.resource_kind,
                          .resource_id = shown.resource_id,
                          .resource_name = resource_display_name(shown.resource_kind, shown.resource_id),
                          .time = interface_now()};
    // The host records the checkpoint and logs a failure; the interface
    // carries on either way.
    (void)m_actions.dispatch_with_context(*m_doc, kActionKind, ApplicableChatAction(action), context);
}

std::optional<std::vector<crdt::ChangeHash>> ChatApp::change_checkpoint() {
    return m_actions.take_checkpoint();
}

// ---- CallHost ----

const doc::Document& ChatApp::document() const {
    static const crdt::Document kEmpty;
    return m_doc ? *m_doc : kEmpty;
}

bool ChatApp::permitted(CallPermission permission) const {
    switch (permission) {
    case CallPermission::Microphone:
        return m_permissions.check(ui::Permission::RecordAudio);
    case CallPermission::Camera:
        return m_permissions.check(ui::Permission::RecordVideo);
    case CallPermission::ScreenCapture:
        return m_permissions.check(ui::Permission::CaptureScreen);
    }
    return false;
}

// ---- Resources and operations ----

ResourceContext ChatApp::resource_context() const {
    return ResourceContext{.view = m_view,
                           .doc = m_doc,
                           .current_workspace = m_selection.workspace,
                           .current_channel = m_selection.channel,
                           .local_person = m_identity.id,
                           .mention_people = mention_candidates(),
                           .clock = {}};
}

std::optional<nlohmann::json> ChatApp::resource_tree() {
    nlohmann::json roots = nlohmann::json::array();
    for (const auto& r : chat::resource_tree(resource_context()))
        roots.push_back(resource_json(r));
    return roots;
}

std::optional<nlohmann::json> ChatApp::resource_by_address(std::string_view address) {
    auto r = chat::resource_by_address(resource_context(), address);
    if (!r)
        return std::nullopt;
    return resource_json(*r);
}

PerformResult ChatApp::perform(OperationType type, std::string_view kind, std::string_view payload) {
    PerformContext context{.view = m_view, .doc = m_doc, .start_import = m_start_import};
    NavigationTarget target{m_selection, m_nav};
    PerformResult result = chat::perform_operation(type, kind, payload, context, target);
    if (result.status != PerformStatus::Done)
        return result;
    if (target.open_right_panel)
        m_ui.right_open_override = true;
    if (!m_nav.thread_shown)
        m_composers.thread_focus = false;
    // The next synchronisation refreshes the view from the new selection.
    m_flags.redraw = true;
    return result;
}

kavu::Result<nlohmann::json> ChatApp::perform_operation(std::string_view kind,
                                                        const nlohmann::json& payload) {
    std::string text = payload.is_string() ? payload.get<std::string>() : payload.dump();
    OperationType type = OperationType::View;
    if (auto decoded = decode_operation(kind, text); decoded && *decoded)
        type = declared_type(decoded->value());
    PerformResult result = perform(type, kind, text);
    switch (result.status) {
    case PerformStatus::Done:
        return nlohmann::json{{"status", "done"}};
    case PerformStatus::Failed:
        return kavu::make_error(result.message);
    case PerformStatus::NotHandled:
        break;
    }
    return App::perform_operation(kind, payload);
}

// ---- Frame ----

void ChatApp::draw(ui::Scene& scene, const ui::FrameContext& frame) {
    // The conversation frame is drawn by the interface layer; until then the
    // window shows its background and the open conversation's title.
    m_ui.window = frame.window;
    m_ui.scale = frame.theme.scale;
    scene.fill_rect(frame.window, frame.theme.surface);
    const ChannelEntry* channel = m_view.find_channel(m_selection.channel);
    std::string title = channel ? channel_title(*channel) : std::string("Chat");
    ui::TextRenderer::draw_text_weighted(scene, title, {frame.window.x0 + 24, frame.window.y0 + 20},
                                         frame.theme.title_size, ui::FontWeight::Bold,
                                         frame.theme.on_surface);
    if (m_ui.menu.is_open())
        m_ui.menu.draw(scene, frame.theme);
}

void ChatApp::draw_with_presence(ui::Scene& scene, const ui::FrameContext& frame,
                                 const ui::PresenceCtx& presence) {
    m_identity.adopt_presence(presence.self_id(), presence.self_name());
    std::erase_if(m_presence.names, [&](const auto& e) { return !presence.lists(e.first); });
    std::erase_if(m_presence.colors, [&](const auto& e) { return !presence.lists(e.first); });
    for (const ui::PresenceParticipant& p : presence.participants()) {
        size_t b = p.name.find_first_not_of(" \t\n\r\f\v");
        if (b == std::string::npos)
            continue;
        size_t e = p.name.find_last_not_of(" \t\n\r\f\v");
        m_presence.names[p.id] = p.name.substr(b, e - b + 1);
        m_presence.colors[p.id] = presence.color_for(p.id);
    }
    draw(scene, frame);
}

bool ChatApp::handle_event(const ui::Event& event, ui::EventContext& context) {
    if (m_ui.menu.is_open()) {
        ui::ContextMenuResponse response = m_ui.menu.handle_event(event, context);
        if (response.chosen && m_ui.menu_subject && writing_permitted()) {
            if (auto item = item_for_key(m_ui.menu.items().at(*response.chosen).key))
                carry_out_menu_item(*m_ui.menu_subject, *item);
        }
        if (!response.stays_open || !m_ui.menu.is_open()) {
            m_ui.menu.close();
            m_ui.menu_subject.reset();
        }
        m_flags.redraw = true;
        if (response.consumed)
            return true;
    }
    if (m_composers.renaming) {
        if (const auto* key = std::get_if<ui::KeyPress>(&event)) {
            (void)key;
            rename_key(event, context);
            return true;
        }
    }
    return false;
}

bool ChatApp::menu_shown() const {
    return m_ui.menu.is_open() && m_ui.menu_subject.has_value();
}

std::optional<ui::Rect> ChatApp::menu_rect() const {
    if (!menu_shown())
        return std::nullopt;
    return m_ui.menu.rect();
}

bool ChatApp::activate_context_menu_item(std::string_view item_id) {
    if (item_id.rfind(ui::ContextMenu::kItemIdPrefix, 0) != 0 || !m_ui.menu_subject)
        return false;
    auto response = m_ui.menu.perform_semantic_action(item_id);
    if (!response || !response->chosen)
        return false;
    MenuSubject subject = *m_ui.menu_subject;
    std::optional<MenuItem> item = item_for_key(m_ui.menu.items().at(*response->chosen).key);
    if (!response->stays_open) {
        m_ui.menu.close();
        m_ui.menu_subject.reset();
    }
    if (item && writing_permitted())
        carry_out_menu_item(subject, *item);
    m_flags.redraw = true;
    return true;
}

bool ChatApp::needs_another_frame() const {
    return m_flags.animating || !m_images->is_idle();
}

bool ChatApp::take_redraw_request() {
    bool call_redraw = m_call->take_redraw_request();
    return std::exchange(m_flags.redraw, false) || call_redraw;
}

} // namespace chat::app
