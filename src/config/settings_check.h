#pragma once
// Checks a settings file against the table of known sections and keys
// (settings_keys.h): unknown names with the nearest known one, sections and keys the
// reader skips because they stand twice, and values the reader would not take as the
// user meant them. German findings, one line each, for "/pruefen" and the run's log.
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace velkaro {

class TIniFile;

struct TSettingsFinding {
    enum TKind { fkUnknownSection, fkUnknownKey, fkRepeated, fkValue };
    TKind Kind;
    std::string Text;
    int Line = 0;  // of the file, from 1; 0 when unknown  // "Zeile 12: unbekannter Abschnitt [Verkäufer] – gemeint ist [Verkaeufer]?"

    bool IsUnknownName() const { return Kind == fkUnknownSection || Kind == fkUnknownKey; }
};

// `ini` as read from the file (with its line numbers); relative paths lie in
// `settingsFolder`. In the order of their lines.
std::vector<TSettingsFinding> CheckSettings(const TIniFile& ini, const std::string& settingsFolder);

// The candidate nearest to `name` by edit distance after folding letter case and the
// umlauts (ä → ae, ß → ss …), when it is near enough to be a typing error; else "".
// On equal distance the earlier candidate wins.
std::string NearestName(std::string_view name, std::span<const std::string> candidates);

} // namespace velkaro
