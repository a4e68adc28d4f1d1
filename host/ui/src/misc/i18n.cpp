#include <ui/i18n.h>

namespace kavu::ui {

namespace {

constexpr std::string_view kEnUs = R"(# Texts of the user interface, locale en-US.
# One entry per line: key = text. Lines starting with # are comments.

chat-mention-agent-tag = agent

# Identity bar of the sidebar
chat-identity-available = Available
chat-identity-in-voice = In voice
chat-sidebar-add-category = ＋ Category

# Call controls
chat-call-mute = Mute
chat-call-unmute = Unmute
chat-call-deafen = Deafen
chat-call-undeafen = Undeafen
chat-call-audio-only = Audio only
chat-call-collapse = Collapse
chat-call-leave = Leave
)";

std::string_view trim(std::string_view s) {
    auto space = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
    while (!s.empty() && space(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && space(s.back()))
        s.remove_suffix(1);
    return s;
}

std::string unescape(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 1 < text.size() && text[i + 1] == 'n') {
            out += '\n';
            ++i;
        } else {
            out += text[i];
        }
    }
    return out;
}

} // namespace

kavu::Result<Catalog> Catalog::parse(std::string_view source) {
    Catalog catalog;
    size_t line_no = 0;
    while (!source.empty()) {
        size_t nl = source.find('\n');
        std::string_view line = source.substr(0, nl);
        source = nl == std::string_view::npos ? std::string_view{} : source.substr(nl + 1);
        ++line_no;
        line = trim(line);
        if (line.empty() || line.front() == '#')
            continue;
        size_t eq = line.find('=');
        if (eq == std::string_view::npos)
            return kavu::make_error("catalogue line " + std::to_string(line_no) + ": expected key = text");
        std::string_view key = trim(line.substr(0, eq));
        if (key.empty())
            return kavu::make_error("catalogue line " + std::to_string(line_no) + ": empty key");
        auto [it, inserted] = catalog.m_texts.emplace(std::string(key), unescape(trim(line.substr(eq + 1))));
        if (!inserted)
            return kavu::make_error("catalogue line " + std::to_string(line_no) + ": duplicate key \"" +
                                    std::string(key) + "\"");
    }
    return catalog;
}

std::string_view Catalog::t(std::string_view key) const {
    auto it = m_texts.find(key);
    return it == m_texts.end() ? key : std::string_view(it->second);
}

bool Catalog::contains(std::string_view key) const {
    return m_texts.find(key) != m_texts.end();
}

std::string_view EmbeddedCatalog::source() {
    return kEnUs;
}

std::string_view EmbeddedCatalog::t(std::string_view key) {
    static const Catalog catalog = [] {
        auto parsed = Catalog::parse(kEnUs);
        return parsed ? parsed.release_value() : Catalog{};
    }();
    return catalog.t(key);
}

I18nManager& I18nManager::instance() {
    static I18nManager manager;
    return manager;
}

I18nManager::I18nManager() : m_locale(EmbeddedCatalog::kLocale) {
    auto parsed = Catalog::parse(EmbeddedCatalog::source());
    if (parsed)
        m_catalog = parsed.release_value();
}

std::string_view I18nManager::t(std::string_view key) const {
    return m_catalog.t(key);
}

void I18nManager::load(std::string locale, Catalog catalog) {
    m_locale = std::move(locale);
    m_catalog = std::move(catalog);
    ++m_revision;
}

} // namespace kavu::ui
