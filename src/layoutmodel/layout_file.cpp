// The layout file: an INI text with the section "Hintergrund", one section
// "Element.<name>" per fixed element and "Text.<n>" per free text.
#include <charconv>
#include <cmath>

#include "layoutmodel/layout_model.h"
#include "platform/ini_file.h"
#include "platform/text.h"

namespace velkaro {

namespace {

constexpr const char* kBackground = "Hintergrund";
constexpr const char* kElementPrefix = "Element.";
constexpr const char* kTextPrefix = "Text.";

// Pattern "0.0#" with a decimal point whatever the locale: at least one and at most two
// decimals (20 -> "20.0", 45.5 -> "45.5", 8.25 -> "8.25").
std::string FormatMillimetres(double value) {
    if (!std::isfinite(value))
        value = 0;  // never written by the program; keeps the file readable
    char buf[400];
    auto [end, ec] = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed, 2);
    if (ec != std::errc())
        return "0.0";
    std::string text(buf, end);
    if (text.back() == '0')
        text.pop_back();
    if (text == "-0.0")
        text = "0.0";
    return text;
}

// Taken modulo 3; negative numbers count down from the top (-1 gives 2), so the result
// is always a valid value.
int Modulo3(int32_t value) {
    int r = static_cast<int>(value % 3);
    return r < 0 ? r + 3 : r;
}

// One line per INI value: every line break becomes the two characters backslash and n.
// Lone CR or LF would otherwise split the value and corrupt the file.
std::string EscapeText(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '\r') {
            if (i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
            out += "\\n";
        } else if (c == '\n') {
            out += "\\n";
        } else {
            out += c;
        }
    }
    return out;
}

std::string UnescapeText(const std::string& value) {
    return ReplaceAll(value, "\\n", "\r\n");
}

void ReadElement(const TIniFile& ini, const std::string& section, TLayoutElement& e) {
    e.X = ini.ReadFloat(section, "X", e.X);
    e.Y = ini.ReadFloat(section, "Y", e.Y);
    e.W = ini.ReadFloat(section, "Breite", e.W);
    e.H = ini.ReadFloat(section, "Hoehe", e.H);
    e.FontSize = ini.ReadFloat(section, "Schriftgroesse", e.FontSize);
    e.Bold = ini.ReadBool(section, "Fett", e.Bold);
    bool visible = ini.ReadBool(section, "Sichtbar", e.Visible);
    if (visible || e.CanHide())
        e.Visible = visible;
    e.Scope = static_cast<TPageScope>(Modulo3(ini.ReadInteger(section, "Seiten", e.Scope)));
    e.FileName = ini.ReadString(section, "Datei", e.FileName);
    e.Align = static_cast<TBlockAlign>(Modulo3(ini.ReadInteger(section, "Ausrichtung", e.Align)));
    if (auto text = ini.Find(section, "Text"))
        e.Text = UnescapeText(*text);
}

void WriteElement(TIniFile& ini, const std::string& section, const TLayoutElement& e) {
    ini.WriteString(section, "X", FormatMillimetres(e.X));
    ini.WriteString(section, "Y", FormatMillimetres(e.Y));
    ini.WriteString(section, "Breite", FormatMillimetres(e.W));
    ini.WriteString(section, "Hoehe", FormatMillimetres(e.H));
    ini.WriteString(section, "Schriftgroesse", FormatMillimetres(e.FontSize));
    ini.WriteBool(section, "Fett", e.Bold);
    ini.WriteBool(section, "Sichtbar", e.Visible);
    ini.WriteInteger(section, "Seiten", e.Scope);
    if (e.Kind == ekLogo)
        ini.WriteString(section, "Datei", e.FileName);
    ini.WriteInteger(section, "Ausrichtung", e.Align);
    if (e.Kind != ekLogo)
        ini.WriteString(section, "Text", EscapeText(e.Text));
}

} // namespace

void TLayout::LoadFromFile(const std::string& fileName, const std::string& logoFile) {
    SetDefaults(logoFile);
    // A missing or unreadable file reads as empty: the defaults stand.
    const TIniFile ini = TIniFile::FromFile(fileName);

    BackgroundFirst = ini.ReadString(kBackground, "Seite1", "");
    BackgroundFollow = ini.ReadString(kBackground, "Folgeseiten", "");
    FollowSameAsFirst = ini.ReadBool(kBackground, "FolgeseitenWieSeite1", true);

    for (int k = 0; k < FixedElementKindCount; ++k) {
        const auto kind = static_cast<TElementKind>(k);
        TLayoutElement* e = Find(kind);
        const std::string section = kElementPrefix + ElementSectionName(kind);
        if (e && ini.SectionExists(section))
            ReadElement(ini, section, *e);
    }

    // Free texts in file order; the number after "Text." only keeps the names apart.
    for (const TIniFile::Section& s : ini.Sections()) {
        if (!StartsWithText(s.Name, kTextPrefix))
            continue;
        auto e = NewFreeText(0, 0, 80, psFirst, "");
        ReadElement(ini, s.Name, *e);
        Elements.push_back(std::move(e));
    }
}

void TLayout::SaveToFile(const std::string& fileName) const {
    TIniFile ini;  // starts empty: sections the program does not know are dropped
    ini.WriteString(kBackground, "Seite1", BackgroundFirst);
    ini.WriteString(kBackground, "Folgeseiten", BackgroundFollow);
    ini.WriteBool(kBackground, "FolgeseitenWieSeite1", FollowSameAsFirst);
    int textNo = 0;
    for (const auto& e : Elements) {
        const std::string section = e->Kind == ekText ? kTextPrefix + std::to_string(++textNo)
                                                      : kElementPrefix + ElementSectionName(e->Kind);
        WriteElement(ini, section, *e);
    }
    ini.SaveToFile(fileName);
}

} // namespace velkaro
