#pragma once
// INI text held in memory, for the settings and the layout file.
//
// Reading: UTF-8 (a leading byte-order mark is skipped); every line is trimmed; empty
// lines and lines beginning with ";" are skipped; "[name]" starts a section (name
// trimmed); any other line is a key line: text before the first "=" is the key
// (trimmed at its end), the text after it the value (trimmed at its start); a line
// without "=" is a key without value. Lines before the first section are ignored; a
// section that occurs a second time is ignored with all its lines. Section and key
// names compare without regard to letter case.
// Writing: the whole text from what is held: per section in order of first appearance
// "[name]", one "key=value" line per key in order, one empty line; UTF-8 with BOM and
// CR LF. Comments of a hand-edited file are therefore not kept: saving into such a file
// goes through TIniTextEditor (ini_edit.h).
#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>
#include <string_view>
#include <utility>
#include <vector>

namespace velkaro {

class TIniFile {
public:
    struct Section {
        std::string Name;
        std::vector<std::pair<std::string, std::string>> Keys;  // in file order
        // Line numbers (from 1) in the text read: of the header and of each key as read;
        // 0 for what was written in memory.
        int Line = 0;
        std::vector<int> KeyLines;
        int KeyLine(size_t index) const { return index < KeyLines.size() ? KeyLines[index] : 0; }
    };
    // A section header whose name occurred before: it and its lines are not read.
    struct RepeatedSection {
        std::string Name;
        int Line = 0;
    };

    TIniFile() = default;
    // Parses INI text (bytes as read from the file).
    static TIniFile FromText(std::string_view text);
    // Reads a file; a missing or unreadable file gives an empty INI.
    static TIniFile FromFile(const std::string& fileName);

    bool SectionExists(std::string_view section) const;
    bool ValueExists(std::string_view section, std::string_view key) const;
    // The raw value, or nullopt when the key is missing.
    std::optional<std::string> Find(std::string_view section, std::string_view key) const;

    std::string ReadString(std::string_view section, std::string_view key, const std::string& def) const;
    // Decimal, or hexadecimal with "0x" or "$"; anything else (or out of range) gives def.
    int32_t ReadInteger(std::string_view section, std::string_view key, int32_t def) const;
    // Read as an integer: 0 false, other numbers true, no number gives def.
    bool ReadBool(std::string_view section, std::string_view key, bool def) const;
    // A number with a decimal point ("42.5"); anything else gives def.
    double ReadFloat(std::string_view section, std::string_view key, double def) const;

    // Replaces the value of an existing key or appends the key (and the section).
    void WriteString(std::string_view section, std::string_view key, const std::string& value);
    void WriteInteger(std::string_view section, std::string_view key, int32_t value);
    void WriteBool(std::string_view section, std::string_view key, bool value);  // "1" / "0"
    void DeleteKey(std::string_view section, std::string_view key);
    void EraseSection(std::string_view section);
    void Clear() {
        FSections.clear();
        FIndex.clear();
    }

    const std::vector<Section>& Sections() const { return FSections; }
    const Section* FindSection(std::string_view section) const;
    const std::vector<RepeatedSection>& RepeatedSections() const { return FRepeated; }

    // The file text: UTF-8 with byte-order mark, CR LF line ends.
    std::string ToText() const;
    // Writes ToText() to the file, through a symbolic link to its target (an INI file is
    // one that people edit and may keep elsewhere); errors raise velkaro::Exception.
    void SaveToFile(const std::string& fileName) const;

private:
    Section* FindSectionMutable(std::string_view section);
    void IndexSections();
    std::vector<Section> FSections;
    // Lower-case section name -> its place in FSections: a layout with many free texts
    // is read and written in time linear in its sections.
    std::unordered_map<std::string, size_t> FIndex;
    std::vector<RepeatedSection> FRepeated;
};

} // namespace velkaro
