// The layout file: an INI text with the section "Hintergrund", one section
// "Element.<name>" per fixed element and "Text.<n>" per free text.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <optional>
#include <set>

#include "layoutmodel/layout_model.h"
#include "platform/error.h"
#include "platform/files.h"
#include "platform/ini_edit.h"
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

// A picture as the file names it: relative when it lies in or below the settings' folder
// (the reader looks for relative names there, PathBeside), else as it is.
std::string PictureAsWritten(const std::string& folder, const std::string& path) {
    namespace fs = std::filesystem;
    if (Trim(folder).empty() || path.empty() || path.front() != '/')
        return path;
    std::string base = AbsolutePath(folder);
    while (base.size() > 1 && base.back() == '/')
        base.pop_back();
    const fs::path relative = fs::path(path).lexically_normal().lexically_relative(fs::path(base));
    if (relative.empty() || relative == "." || *relative.begin() == "..")
        return path;
    return relative.string();
}

void WriteElement(TIniTextEditor& ini, const std::string& section, const TLayoutElement& e,
                  const std::string& pictureFolder) {
    ini.Set(section, "X", FormatMillimetres(e.X));
    ini.Set(section, "Y", FormatMillimetres(e.Y));
    ini.Set(section, "Breite", FormatMillimetres(e.W));
    ini.Set(section, "Hoehe", FormatMillimetres(e.H));
    ini.Set(section, "Schriftgroesse", FormatMillimetres(e.FontSize));
    ini.SetBool(section, "Fett", e.Bold);
    ini.SetBool(section, "Sichtbar", e.Visible);
    ini.Set(section, "Seiten", std::to_string(e.Scope));
    if (e.Kind == ekLogo)
        ini.Set(section, "Datei", PictureAsWritten(pictureFolder, e.FileName));
    ini.Set(section, "Ausrichtung", std::to_string(e.Align));
    if (e.Kind != ekLogo)
        ini.Set(section, "Text", EscapeText(e.Text));
}

// The text of the file as it is, to be changed in place; empty when there is none or
// when it holds no text (then it is written anew).
std::string CurrentText(const std::string& fileName) {
    if (!FileExists(fileName))
        return "";
    try {
        return ReadFileBytes(fileName);
    } catch (const Exception&) {
        return "";
    }
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

void TLayout::SaveToFile(const std::string& fileName, const std::string& pictureFolder) const {
    // Changed in place: comments, blank lines and the order of the file stay. Sections
    // the program does not write (unknown ones, free texts that were removed) go.
    TIniTextEditor ini(CurrentText(fileName));
    std::set<std::string> written;
    auto section = [&](const std::string& name) {
        written.insert(LowerAscii(name));
        return name;
    };
    ini.Set(section(kBackground), "Seite1", PictureAsWritten(pictureFolder, BackgroundFirst));
    ini.Set(kBackground, "Folgeseiten", PictureAsWritten(pictureFolder, BackgroundFollow));
    ini.SetBool(kBackground, "FolgeseitenWieSeite1", FollowSameAsFirst);
    int textNo = 0;
    for (const auto& e : Elements) {
        const std::string name = e->Kind == ekText ? kTextPrefix + std::to_string(++textNo)
                                                   : kElementPrefix + ElementSectionName(e->Kind);
        WriteElement(ini, section(name), *e, pictureFolder);
    }
    for (const std::string& name : ini.SectionNames())
        if (!written.count(LowerAscii(name)))
            ini.DeleteSection(name);
    // A layout kept elsewhere on purpose stays linked: the link is followed.
    WriteFileBytes(fileName, ini.Text(), kDefaultNewFileMode, lmFollowLink);
}

} // namespace velkaro
