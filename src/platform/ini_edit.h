#pragma once
// Changes single keys of an INI text in place, for saving into a file the user edits by
// hand: comments, blank lines, unknown keys, their order, lines before the first section,
// repeated sections, the byte-order mark and the line ends stay exactly as they were.
//
// It finds keys the way TIniFile reads them: lines trimmed, ";" lines and empty lines
// skipped, only the first section of a name counts (names without regard to case), and
// within it the first line of a key.
#include <string>
#include <unordered_map>
#include <string_view>
#include <vector>

namespace velkaro {

class TIniTextEditor {
public:
    // text: the file's text in UTF-8, with or without byte-order mark. An empty text
    // starts a new file, written with byte-order mark and CR LF like TIniFile.
    explicit TIniTextEditor(std::string_view text);

    // Replaces the value of the key's first line in the section, keeping everything up
    // to and including its "="; a missing key goes after the last key line of the
    // section, a missing section with the key to the end of the text. A line break in
    // the value is written as a blank (it would start a line of its own).
    void Set(std::string_view section, std::string_view key, std::string_view value);
    void SetBool(std::string_view section, std::string_view key, bool value) { Set(section, key, value ? "1" : "0"); }
    // Removes every line of the key in the section (a left-over one would be read instead).
    void Delete(std::string_view section, std::string_view key);
    // Removes every occurrence of the section: its header and its lines, except the
    // comments and blank lines right before the next header (they belong to that one).
    void DeleteSection(std::string_view section);
    // The section names in file order, as written (repeated ones once, the first spelling).
    std::vector<std::string> SectionNames() const;

    std::string Text() const;

private:
    struct TLine {
        std::string Text;  // without its line end
        std::string End;   // "\r\n", "\n", "\r" or "" for a last line without one
    };
    // Lines of the section's first occurrence: [header, end) as indexes; end is the next
    // header or the end of the text. Returns false when there is no such section.
    bool FindSection(std::string_view section, size_t& header, size_t& end) const;
    void AppendLine(std::string text);
    // Lines were inserted before the end or removed: the section index is rebuilt when needed.
    void ForgetSections() const;

    std::string FBom;
    std::string FNewLine;  // the text's own line end, for lines this editor adds
    std::vector<TLine> FLines;
    // The first header line of each section by its name in ASCII lower case, built on
    // demand, so that a file of many sections is edited in time linear in its length.
    mutable std::unordered_map<std::string, size_t> FSections;
    mutable bool FSectionsKnown = false;
};

} // namespace velkaro
