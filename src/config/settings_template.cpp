#include "config/settings_template.h"

#include <algorithm>

#include "config/settings_keys.h"
#include "platform/files.h"
#include "platform/text.h"

namespace velkaro {

namespace {

constexpr const char* kIntroduction[] = {
    "Einstellungen von Velkaro: kommentierte Vorlage, wie sie ein erster Start anlegt.",
    "Zeilen, die mit \";\" beginnen, sind Erläuterungen oder ausgeschaltete Einstellungen: um eine",
    "Einstellung zu setzen, das \";\" vor dem Schlüssel entfernen – bei einem ausgeschalteten",
    "Abschnitt auch vor seiner Überschrift in eckigen Klammern.",
    "Ja/Nein-Werte: 1 oder 0. Relative Pfade gelten neben dieser Datei.",
    "Ein Kommentar steht immer auf einer eigenen Zeile.",
    "Prüfen der Einstellungen und der Verbindungen: velkaro /pruefen",
};

// The value of an active key, or nullptr.
const TTemplateValue* ActiveValue(const std::vector<TTemplateValue>& active, const TSettingKey& key) {
    const auto it = std::find_if(active.begin(), active.end(), [&](const TTemplateValue& v) {
        return SameText(v.Section, key.Section) && SameText(v.Key, key.Key);
    });
    return it == active.end() ? nullptr : &*it;
}

// The active keys of the first-run file.
constexpr std::pair<const char*, const char*> kFirstRunKeys[] = {
    {"Datenbank", "Server"},         {"Datenbank", "Datenbank"},  {"Datenbank", "Benutzer"},
    {"Datenbank", "Passwort"},       {"Datenbank", "Provider"},   {"Datenbank", "Mandant"},
    {"PDF", "Schrift"},              {"PDF", "Logo"},             {"Verkaeufer", "IBAN"},
    {"Verkaeufer", "BIC"},           {"Verkaeufer", "Bank"},      {"Verkaeufer", "GlaeubigerID"},
    {"Verkaeufer", "Geschaeftsfuehrer"}, {"Verkaeufer", "Handelsregister"},
};

} // namespace

std::string FirstRunTemplateText() {
    std::vector<TTemplateValue> active;
    for (const auto& [section, key] : kFirstRunKeys) {
        const TSettingKey* known = FindSettingKey(section, key);
        active.push_back({section, key, known ? known->Default : ""});
    }
    return SettingsTemplateText(active);
}

std::string SettingsTemplateText(const std::vector<TTemplateValue>& active) {
    std::vector<std::string> lines;
    for (const char* line : kIntroduction) lines.push_back(std::string("; ") + line);
    for (const TSettingSection& section : KnownSettingSections()) {
        const bool on = std::any_of(active.begin(), active.end(),
                                    [&](const TTemplateValue& v) { return SameText(v.Section, section.Name); });
        lines.emplace_back();
        lines.push_back(std::string("; ") + section.Help);
        lines.push_back(std::string(on ? "" : "; ") + "[" + section.Name + "]");
        for (const TSettingKey& key : KnownSettingKeys()) {
            if (!SameText(key.Section, section.Name)) continue;
            lines.push_back(std::string("; ") + key.Help);
            if (const TTemplateValue* value = ActiveValue(active, key))
                lines.push_back(std::string(key.Key) + "=" + SingleLine(value->Value));
            else
                lines.push_back(std::string("; ") + key.Key + "=" + key.Default);
        }
    }
    std::string text(kUtf8Bom);
    for (const std::string& line : lines) text += line + "\r\n";
    return text;
}

} // namespace velkaro
