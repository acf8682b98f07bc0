// The layout file: an INI text with the section "Hintergrund", one section
// "Element.<name>" per fixed element and "Text.<n>" per free text.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <optional>

#include "layoutmodel/layout_model.h"
#include "platform/files.h"
#include "platform/ini_file.h"
#include "platform/number_parse.h"
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

// "4", "72", "-210": the bounds are whole numbers.
std::string BoundText(double value) { return std::to_string(static_cast<long long>(value)); }

// Reads the layout's numbers within the bounds the print can show; what lies outside is
// taken at the nearest bound and named, so a typing slip of 301 digits neither breaks
// the PDF nor goes unseen.
class TBoundedReader {
public:
    TBoundedReader(const TIniFile& ini, const std::string& fileName, std::vector<std::string>& findings)
        : FIni(ini), FFileName(fileName), FFindings(findings) {}

    const TIniFile& Ini() const { return FIni; }

    // A missing or malformed value keeps `current`.
    double Read(const std::string& section, const char* key, double current, double lo, double hi) const {
        const std::optional<std::string> raw = FIni.Find(section, key);
        if (!raw) return current;
        const std::optional<double> value = ParseDecimalPoint(*raw);
        if (!value) return current;
        if (std::isfinite(*value) && *value >= lo && *value <= hi) return *value;
        const double taken = std::isfinite(*value) ? std::clamp(*value, lo, hi) : current;
        FFindings.push_back("Layoutdatei \"" + FFileName + "\", [" + section + "] " + key + "=" + Shortened(*raw) +
                            ": außerhalb von " + BoundText(lo) + " bis " + BoundText(hi) + ", verwendet wird " +
                            FormatMillimetres(taken) + ".");
        return taken;
    }

private:
    const TIniFile& FIni;
    const std::string& FFileName;
    std::vector<std::string>& FFindings;

    static std::string Shortened(const std::string& raw) {
        constexpr size_t kShown = 20;
        if (raw.size() <= kShown + 4) return raw;
        return raw.substr(0, kShown) + "… (" + std::to_string(raw.size()) + " Zeichen)";
    }
};

void ReadElement(const TBoundedReader& reader, const std::string& section, TLayoutElement& e) {
    const TIniFile& ini = reader.Ini();
    e.X = reader.Read(section, "X", e.X, -kPageWidthMm, kPageWidthMm);
    e.Y = reader.Read(section, "Y", e.Y, -kPageHeightMm, kPageHeightMm);
    e.W = reader.Read(section, "Breite", e.W, 0, kPageWidthMm);
    e.H = reader.Read(section, "Hoehe", e.H, 0, kPageHeightMm);
    e.FontSize = reader.Read(section, "Schriftgroesse", e.FontSize, kMinFontSize, kMaxFontSize);
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

std::vector<std::string> TLayout::LoadFromFile(const std::string& fileName, const std::string& logoFile) {
    SetDefaults(logoFile);
    std::vector<std::string> findings;
    // A missing file is no error: the defaults stand. So they do for one that cannot be
    // read or is too large to be a layout, with a finding that says so.
    TIniFile ini;
    try {
        if (PathKind(fileName) == TPathKind::pkMissing) return findings;
        ini = TIniFile::FromText(ReadFileBytes(fileName, kMaxLayoutFileBytes));
    } catch (const std::exception& e) {
        findings.push_back(std::string(e.what()) + " Es gilt das Standardlayout.");
        return findings;
    }
    const TBoundedReader reader(ini, fileName, findings);

    BackgroundFirst = ini.ReadString(kBackground, "Seite1", "");
    BackgroundFollow = ini.ReadString(kBackground, "Folgeseiten", "");
    FollowSameAsFirst = ini.ReadBool(kBackground, "FolgeseitenWieSeite1", true);

    for (int k = 0; k < FixedElementKindCount; ++k) {
        const auto kind = static_cast<TElementKind>(k);
        TLayoutElement* e = Find(kind);
        const std::string section = kElementPrefix + ElementSectionName(kind);
        if (e && ini.SectionExists(section))
            ReadElement(reader, section, *e);
    }

    // Free texts in file order; the number after "Text." only keeps the names apart.
    for (const TIniFile::Section& s : ini.Sections()) {
        if (!StartsWithText(s.Name, kTextPrefix))
            continue;
        auto e = NewFreeText(0, 0, 80, psFirst, "");
        ReadElement(reader, s.Name, *e);
        Elements.push_back(std::move(e));
    }
    return findings;
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
