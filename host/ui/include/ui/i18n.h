#pragma once

#include <base/result.h>

#include <cstdint>
#include <map>
#include <string>
#include <string_view>

namespace kavu::ui {

// A catalogue of user-facing texts for one locale, parsed from lines of
// `key = text`; lines starting with '#' and blank lines are ignored. Keys and
// texts are trimmed; "\n" in a text is a line break.
class Catalog {
public:
    static kavu::Result<Catalog> parse(std::string_view source);
    // The text for a key, or the key itself when it is missing, so a missing
    // text shows up instead of an empty label.
    std::string_view t(std::string_view key) const;
    bool contains(std::string_view key) const;
    size_t size() const { return m_texts.size(); }

private:
    std::map<std::string, std::string, std::less<>> m_texts;
};

// The catalogue built into the program: the single locale "en-US".
struct EmbeddedCatalog {
    static constexpr std::string_view kLocale = "en-US";
    static std::string_view source();
    static std::string_view t(std::string_view key);
};

// The process's current texts. The revision changes whenever the texts may
// have changed, so caches of drawn text know to rebuild.
class I18nManager {
public:
    static I18nManager& instance();
    std::string_view locale() const { return m_locale; }
    uint64_t revision() const { return m_revision; }
    std::string_view t(std::string_view key) const;
    // Switches to other texts (tests, a future locale); bumps the revision.
    void load(std::string locale, Catalog catalog);

private:
    I18nManager();
    std::string m_locale;
    Catalog m_catalog;
    uint64_t m_revision = 1;
};

} // namespace kavu::ui
