#pragma once
// The sections and keys of the settings file that the program knows, with the kind of
// value each takes, its default and a short German explanation. The settings reader
// reads only keys of this table, the check (settings_check.h) and the first-run
// template (settings_template.h) are built from it.
#include <span>
#include <string>
#include <string_view>

namespace velkaro {

enum class TValueKind {
    vkText,
    vkBool,       // 0 or 1; an empty default leaves the choice to the component that reads it
    vkInteger,
    vkDecimal,    // with a point: 42.5
    vkFile,       // must exist; relative to the settings file's folder
    vkFolder,     // must exist; relative to the settings file's folder
    vkNewFolder,  // created when missing; relative to the settings file's folder
    vkChoice,     // one of Choices, letter case ignored; empty means the default
};

struct TSettingSection {
    const char* Name;
    bool FreeKeys;  // the key names are the user's (code tables): any key is known
    const char* Help;
};

struct TSettingKey {
    const char* Section;
    const char* Key;
    TValueKind Kind;
    const char* Default;  // as written in the file; "" also for defaults computed at reading
    const char* Help;
    const char* Choices = "";  // vkChoice: the allowed values, separated by "|"
};

// In the order of the first-run template.
std::span<const TSettingSection> KnownSettingSections();
// Grouped by section, in the order of KnownSettingSections.
std::span<const TSettingKey> KnownSettingKeys();

// Names compare without regard to ASCII letter case, as the reader compares them.
const TSettingSection* FindSettingSection(std::string_view section);
const TSettingKey* FindSettingKey(std::string_view section, std::string_view key);

// "Leitweg|Immer|Nie" as "Leitweg, Immer, Nie".
std::string ChoiceList(const TSettingKey& key);

} // namespace velkaro
