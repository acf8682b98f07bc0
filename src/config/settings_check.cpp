#include "config/settings_check.h"

#include <algorithm>
#include <limits>
#include <optional>

#include "config/settings_keys.h"
#include "platform/files.h"
#include "platform/fold_case.h"
#include "platform/ini_file.h"
#include "platform/number_parse.h"
#include "platform/text.h"

namespace velkaro {

namespace {

using enum TValueKind;

// Case folded, umlauts written out as a German keyboard without them would.
std::string FoldName(std::string_view name) {
    std::string folded = FoldCase(std::string(name));
    for (const auto& [from, to] : {std::pair{"ä", "ae"}, {"ö", "oe"}, {"ü", "ue"}, {"ß", "ss"}})
        folded = ReplaceAll(folded, from, to);
    return folded;
}

// Edits to turn a into b: insert, delete, replace a byte or swap two neighbours (the
// commonest slip when typing).
size_t EditDistance(std::string_view a, std::string_view b) {
    std::vector<std::vector<size_t>> d(a.size() + 1, std::vector<size_t>(b.size() + 1));
    for (size_t i = 0; i <= a.size(); ++i) d[i][0] = i;
    for (size_t j = 0; j <= b.size(); ++j) d[0][j] = j;
    for (size_t i = 1; i <= a.size(); ++i)
        for (size_t j = 1; j <= b.size(); ++j) {
            d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + (a[i - 1] == b[j - 1] ? 0 : 1)});
            if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1])
                d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
        }
    return d[a.size()][b.size()];
}

// A name or value as a finding shows it: a runaway line is cut.
std::string Shown(std::string_view text) {
    constexpr size_t kMost = 80;
    const std::string cut = Utf8Left(text, kMost);
    return cut.size() < text.size() ? cut + "…" : cut;
}

std::string LinePrefix(int line) { return line > 0 ? "Zeile " + std::to_string(line) + ": " : std::string(); }

std::vector<std::string> KeysOf(std::string_view section) {
    std::vector<std::string> keys;
    for (const TSettingKey& k : KnownSettingKeys())
        if (SameText(k.Section, section)) keys.emplace_back(k.Key);
    return keys;
}

// A known key of the same name in another section: the line stands under the wrong header.
std::string SectionHoldingKey(std::string_view section, std::string_view key) {
    const std::string folded = FoldName(key);
    for (const TSettingKey& k : KnownSettingKeys())
        if (!SameText(k.Section, section) && FoldName(k.Key) == folded) return k.Section;
    return {};
}

// "1 ; Kommentar": the reader takes the rest of the line as the value.
bool HasInlineComment(const std::string& value) {
    return value.find(" ;") != std::string::npos || value.find("\t;") != std::string::npos;
}

bool IsInteger(const TIniFile& ini, std::string_view section, std::string_view key) {
    // No number gives the default: two different defaults tell whether one was used.
    constexpr int32_t low = std::numeric_limits<int32_t>::min(), high = std::numeric_limits<int32_t>::max();
    return ini.ReadInteger(section, key, low) != low || ini.ReadInteger(section, key, high) != high;
}

std::string DefaultText(const TSettingKey& k) {
    return *k.Default ? "; so gilt die Vorgabe " + std::string(k.Default) + "." : std::string(".");
}

std::optional<std::string> PathProblem(TValueKind kind, const std::string& path) {
    switch (kind) {
        case vkFile:
            if (FileExists(path)) return std::nullopt;
            return DirectoryExists(path) ? Shown(path) + " ist ein Ordner, keine Datei."
                                         : "die Datei " + Shown(path) + " gibt es nicht.";
        case vkFolder:
            if (DirectoryExists(path)) return std::nullopt;
            return "den Ordner " + Shown(path) + " gibt es nicht.";
        default:
            if (PathKind(path) == TPathKind::pkMissing || DirectoryExists(path)) return std::nullopt;
            return Shown(path) + " ist kein Ordner.";
    }
}

// What is wrong with the value the reader takes for a known key; nullopt when nothing.
std::optional<std::string> ValueProblem(const TSettingKey& k, const std::string& value, const TIniFile& ini,
                                        const std::string& folder) {
    if (value.empty() || k.Kind == vkText) return std::nullopt;
    if (HasInlineComment(value))
        return "ein Kommentar gehört auf eine eigene Zeile, die mit „;“ beginnt – hier gehört er zum Wert" +
               (k.Kind == vkBool || k.Kind == vkInteger || k.Kind == vkDecimal ? DefaultText(k) : std::string("."));
    switch (k.Kind) {
        case vkText: return std::nullopt;
        case vkBool:
            if (value == "0" || value == "1") return std::nullopt;
            if (IsInteger(ini, k.Section, k.Key))
                return std::string("erwartet 0 oder 1 (gelesen als ") +
                       (ini.ReadBool(k.Section, k.Key, false) ? "1" : "0") + ").";
            return "erwartet 0 oder 1" + DefaultText(k);
        case vkInteger:
            if (IsInteger(ini, k.Section, k.Key)) return std::nullopt;
            return "erwartet eine ganze Zahl" + DefaultText(k);
        case vkDecimal:
            if (ParseDecimalPoint(value)) return std::nullopt;
            return "erwartet eine Zahl mit Punkt als Dezimalzeichen (etwa 42.5)" + DefaultText(k);
        case vkChoice: {
            const std::vector<std::string> choices = Split(k.Choices, '|');
            if (std::any_of(choices.begin(), choices.end(), [&](const std::string& c) { return SameText(c, Trim(value)); }))
                return std::nullopt;
            return "erlaubt: " + ChoiceList(k) + ".";
        }
        case vkFile:
        case vkFolder:
        case vkNewFolder:
            try {
                return PathProblem(k.Kind, PathBeside(folder, value));
            } catch (const std::exception& e) {
                return "der Pfad lässt sich nicht prüfen: " + Shown(e.what());
            }
    }
    return std::nullopt;
}

void CheckKeys(const TIniFile::Section& section, const TSettingSection& known, const TIniFile& ini,
               const std::string& folder, std::vector<TSettingsFinding>& findings) {
    const std::vector<std::string> keys = KeysOf(known.Name);
    for (size_t i = 0; i < section.Keys.size(); ++i) {
        const std::string& name = section.Keys[i].first;
        const std::string prefix = LinePrefix(section.KeyLine(i));
        if (known.FreeKeys) continue;  // code tables: every name is the user's
        const TSettingKey* key = FindSettingKey(known.Name, name);
        if (!key) {
            std::string text = prefix + "unbekannter Schlüssel " + Shown(name) + " in [" + Shown(section.Name) + "]";
            if (const std::string near = NearestName(name, keys); !near.empty())
                text += " – gemeint ist " + near + "?";
            else if (const std::string other = SectionHoldingKey(known.Name, name); !other.empty())
                text += " – gehört er nach [" + other + "]?";
            else
                text += " wird nicht gelesen.";
            findings.push_back({TSettingsFinding::fkUnknownKey, text, section.KeyLine(i)});
            continue;
        }
        const auto first = std::find_if(section.Keys.begin(), section.Keys.end(),
                                        [&](const auto& entry) { return SameText(entry.first, name); });
        const size_t firstIndex = static_cast<size_t>(first - section.Keys.begin());
        if (firstIndex != i) {
            findings.push_back({TSettingsFinding::fkRepeated,
                                prefix + key->Key + " steht in [" + key->Section + "] zum zweiten Mal – es gilt " +
                                    (section.KeyLine(firstIndex) > 0
                                         ? "der Wert aus Zeile " + std::to_string(section.KeyLine(firstIndex)) + "."
                                         : std::string("der erste Wert.")),
                                section.KeyLine(i)});
            continue;
        }
        if (const auto problem = ValueProblem(*key, section.Keys[i].second, ini, folder))
            findings.push_back({TSettingsFinding::fkValue, prefix + "[" + key->Section + "] " + key->Key + "=" +
                                                               Shown(section.Keys[i].second) + " – " + *problem,
                                section.KeyLine(i)});
    }
}

} // namespace

std::string NearestName(std::string_view name, std::span<const std::string> candidates) {
    constexpr size_t kLongestTypo = 64;  // no slip makes a known name that long
    if (name.size() > kLongestTypo) return {};
    const std::string folded = FoldName(name);
    std::string best;
    size_t bestDistance = std::numeric_limits<size_t>::max();
    for (const std::string& c : candidates) {
        const std::string target = FoldName(c);
        // A slip of one letter in four, at most three; short names only one.
        const size_t allowed = std::clamp<size_t>(target.size() / 4, 1, 3);
        const size_t d = EditDistance(folded, target);
        if (d <= allowed && d < bestDistance) {
            best = c;
            bestDistance = d;
        }
    }
    return best;
}

std::vector<TSettingsFinding> CheckSettings(const TIniFile& ini, const std::string& settingsFolder) {
    std::vector<std::string> sectionNames;
    for (const TSettingSection& s : KnownSettingSections()) sectionNames.emplace_back(s.Name);

    std::vector<TSettingsFinding> findings;
    for (const TIniFile::Section& section : ini.Sections()) {
        const TSettingSection* known = FindSettingSection(section.Name);
        if (!known) {
            std::string text = LinePrefix(section.Line) + "unbekannter Abschnitt [" + Shown(section.Name) + "]";
            const std::string near = NearestName(section.Name, sectionNames);
            text += near.empty() ? " wird nicht gelesen." : " – gemeint ist [" + near + "]?";
            findings.push_back({TSettingsFinding::fkUnknownSection, text, section.Line});
            continue;
        }
        CheckKeys(section, *known, ini, settingsFolder, findings);
    }
    for (const TIniFile::RepeatedSection& repeated : ini.RepeatedSections()) {
        const TIniFile::Section* first = ini.FindSection(repeated.Name);
        findings.push_back({TSettingsFinding::fkRepeated,
                            LinePrefix(repeated.Line) + "Abschnitt [" + Shown(repeated.Name) +
                                "] steht zum zweiten Mal – seine Zeilen werden nicht gelesen" +
                                (first && first->Line > 0 ? " (es gilt der aus Zeile " + std::to_string(first->Line) + ")."
                                                          : std::string(".")),
                            repeated.Line});
    }
    std::stable_sort(findings.begin(), findings.end(),
                     [](const TSettingsFinding& a, const TSettingsFinding& b) { return a.Line < b.Line; });
    return findings;
}

} // namespace velkaro
