#include "platform/ini_file.h"

#include <algorithm>
#include <charconv>
#include <limits>
#include <unordered_set>

#include "platform/files.h"
#include "platform/number_parse.h"
#include "platform/text.h"

namespace velkaro {

namespace {

// Next line of the text; LF, CR LF and a lone CR all end a line.
std::string_view NextLine(std::string_view text, size_t& pos) {
    size_t start = pos;
    size_t end = text.find_first_of("\r\n", start);
    if (end == std::string_view::npos) {
        pos = text.size();
        return text.substr(start);
    }
    pos = end + 1;
    if (text[end] == '\r' && pos < text.size() && text[pos] == '\n') ++pos;
    return text.substr(start, end - start);
}

// A line break inside a name or value would split it into lines of its own when the
// file is read back (and could even start a new section), so it is written as a blank.
std::string OneLine(std::string_view s) {
    std::string r(s);
    std::replace(r.begin(), r.end(), '\r', ' ');
    std::replace(r.begin(), r.end(), '\n', ' ');
    return r;
}

std::optional<int32_t> ParseInteger(std::string_view text) {
    text = TrimView(text);
    bool negative = false;
    if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    int base = 10;
    if (!text.empty() && text.front() == '$') {
        base = 16;
        text.remove_prefix(1);
    } else if (text.size() >= 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        text.remove_prefix(2);
    }
    if (text.empty()) return std::nullopt;
    uint64_t magnitude = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), magnitude, base);
    if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
    if (magnitude > uint64_t(std::numeric_limits<int32_t>::max()) + (negative ? 1 : 0)) return std::nullopt;
    int64_t value = static_cast<int64_t>(magnitude);
    return static_cast<int32_t>(negative ? -value : value);
}

} // namespace

TIniFile TIniFile::FromText(std::string_view raw) {
    TIniFile ini;
    std::string clean = SanitizeUtf8(raw);
    std::string_view text = clean;
    if (text.substr(0, kUtf8Bom.size()) == kUtf8Bom) text.remove_prefix(kUtf8Bom.size());

    Section* current = nullptr;  // null before the first section and inside a repeated one
    size_t pos = 0;
    int lineNo = 0;
    while (pos < text.size()) {
        ++lineNo;
        std::string_view line = TrimView(NextLine(text, pos));
        if (line.empty() || line.front() == ';') continue;
        if (line.size() >= 2 && line.front() == '[' && line.back() == ']') {
            std::string name(TrimView(line.substr(1, line.size() - 2)));
            if (!ini.FIndex.emplace(LowerAscii(name), ini.FSections.size()).second) {
                ini.FRepeated.push_back(RepeatedSection{name, lineNo});
                current = nullptr;
            } else {
                ini.FSections.push_back(Section{name, {}, lineNo, {}});
                current = &ini.FSections.back();
            }
            continue;
        }
        if (!current) continue;
        current->KeyLines.push_back(lineNo);
        size_t eq = line.find('=');
        if (eq == std::string_view::npos)
            current->Keys.emplace_back(std::string(line), std::string());
        else
            current->Keys.emplace_back(std::string(TrimRightView(line.substr(0, eq))),
                                       std::string(TrimLeftView(line.substr(eq + 1))));
    }
    return ini;
}

TIniFile TIniFile::FromFile(const std::string& fileName) {
    if (!FileExists(fileName)) return TIniFile();
    try {
        return FromText(ReadFileBytes(fileName));
    } catch (const std::exception&) {
        return TIniFile();
    }
}

const TIniFile::Section* TIniFile::FindSection(std::string_view section) const {
    const auto it = FIndex.find(LowerAscii(section));
    return it == FIndex.end() ? nullptr : &FSections[it->second];
}

void TIniFile::IndexSections() {
    FIndex.clear();
    for (size_t k = 0; k < FSections.size(); ++k) FIndex.emplace(LowerAscii(FSections[k].Name), k);
}

TIniFile::Section* TIniFile::FindSectionMutable(std::string_view section) {
    return const_cast<Section*>(std::as_const(*this).FindSection(section));
}

bool TIniFile::SectionExists(std::string_view section) const { return FindSection(section) != nullptr; }

bool TIniFile::ValueExists(std::string_view section, std::string_view key) const {
    return Find(section, key).has_value();
}

std::optional<std::string> TIniFile::Find(std::string_view section, std::string_view key) const {
    const Section* s = FindSection(section);
    if (!s) return std::nullopt;
    for (const auto& [name, value] : s->Keys)
        if (SameText(name, key)) return value;
    return std::nullopt;
}

std::string TIniFile::ReadString(std::string_view section, std::string_view key, const std::string& def) const {
    auto value = Find(section, key);
    return value ? *value : def;
}

int32_t TIniFile::ReadInteger(std::string_view section, std::string_view key, int32_t def) const {
    auto value = Find(section, key);
    if (!value) return def;
    return ParseInteger(*value).value_or(def);
}

bool TIniFile::ReadBool(std::string_view section, std::string_view key, bool def) const {
    auto value = Find(section, key);
    if (!value) return def;
    auto number = ParseInteger(*value);
    return number ? *number != 0 : def;
}

double TIniFile::ReadFloat(std::string_view section, std::string_view key, double def) const {
    auto value = Find(section, key);
    if (!value) return def;
    return ParseDecimalPoint(*value).value_or(def);
}

void TIniFile::WriteString(std::string_view section, std::string_view key, const std::string& value) {
    Section* s = FindSectionMutable(section);
    if (!s) {
        FIndex.emplace(LowerAscii(section), FSections.size());
        FSections.push_back(Section{std::string(section), {}, 0, {}});
        s = &FSections.back();
    }
    for (auto& [name, old] : s->Keys)
        if (SameText(name, key)) {
            old = value;
            return;
        }
    s->Keys.emplace_back(std::string(key), value);
}

void TIniFile::WriteInteger(std::string_view section, std::string_view key, int32_t value) {
    WriteString(section, key, std::to_string(value));
}

void TIniFile::WriteBool(std::string_view section, std::string_view key, bool value) {
    WriteString(section, key, value ? "1" : "0");
}

void TIniFile::DeleteKey(std::string_view section, std::string_view key) {
    Section* s = FindSectionMutable(section);
    if (!s) return;
    // Every occurrence goes: a left-over duplicate would be read in its place.
    std::erase_if(s->Keys, [&](const auto& entry) { return SameText(entry.first, key); });
    s->KeyLines.clear();  // no longer the lines as read
}

void TIniFile::EraseSection(std::string_view section) {
    std::erase_if(FSections, [&](const Section& s) { return SameText(s.Name, section); });
    IndexSections();
}

std::string TIniFile::ToText() const {
    std::string out(kUtf8Bom);
    for (const auto& s : FSections) {
        out += '[';
        out += OneLine(s.Name);
        out += "]\r\n";
        for (const auto& [name, value] : s.Keys) {
            out += OneLine(name);
            out += '=';
            out += OneLine(value);
            out += "\r\n";
        }
        out += "\r\n";
    }
    return out;
}

void TIniFile::SaveToFile(const std::string& fileName) const {
    WriteFileBytes(fileName, ToText(), kDefaultNewFileMode, lmFollowLink);
}

} // namespace velkaro
