#include "platform/ini_edit.h"

#include <algorithm>
#include <unordered_set>

#include "platform/files.h"
#include "platform/text.h"

namespace velkaro {

namespace {

bool IsHeader(std::string_view trimmed) {
    return trimmed.size() >= 2 && trimmed.front() == '[' && trimmed.back() == ']';
}

std::string_view HeaderName(std::string_view trimmed) { return TrimView(trimmed.substr(1, trimmed.size() - 2)); }

bool IsSkipped(std::string_view trimmed) { return trimmed.empty() || trimmed.front() == ';'; }

// The key of a key line as the reader sees it.
std::string_view KeyOf(std::string_view trimmed) {
    const size_t eq = trimmed.find('=');
    return eq == std::string_view::npos ? trimmed : TrimRightView(trimmed.substr(0, eq));
}

std::string OneLine(std::string_view s) {
    std::string r(s);
    std::replace(r.begin(), r.end(), '\r', ' ');
    std::replace(r.begin(), r.end(), '\n', ' ');
    return r;
}

} // namespace

TIniTextEditor::TIniTextEditor(std::string_view text) {
    if (text.substr(0, kUtf8Bom.size()) == kUtf8Bom) {
        FBom = std::string(kUtf8Bom);
        text.remove_prefix(kUtf8Bom.size());
    } else if (text.empty()) {
        FBom = std::string(kUtf8Bom);
    }
    size_t pos = 0;
    while (pos < text.size()) {
        const size_t end = text.find_first_of("\r\n", pos);
        if (end == std::string_view::npos) {
            FLines.push_back({std::string(text.substr(pos)), ""});
            break;
        }
        size_t next = end + 1;
        if (text[end] == '\r' && next < text.size() && text[next] == '\n') ++next;
        FLines.push_back({std::string(text.substr(pos, end - pos)), std::string(text.substr(end, next - end))});
        pos = next;
    }
    FNewLine = "\r\n";
    for (const TLine& line : FLines)
        if (!line.End.empty()) {
            FNewLine = line.End;
            break;
        }
}

void TIniTextEditor::ForgetSections() const {
    FSections.clear();
    FSectionsKnown = false;
}

bool TIniTextEditor::FindSection(std::string_view section, size_t& header, size_t& end) const {
    if (!FSectionsKnown) {
        for (size_t i = 0; i < FLines.size(); ++i) {
            const std::string_view trimmed = TrimView(FLines[i].Text);
            if (IsHeader(trimmed)) FSections.emplace(LowerAscii(HeaderName(trimmed)), i);
        }
        FSectionsKnown = true;
    }
    const auto found = FSections.find(LowerAscii(TrimView(section)));
    if (found == FSections.end()) return false;
    header = found->second;
    end = header + 1;
    while (end < FLines.size() && !IsHeader(TrimView(FLines[end].Text))) ++end;
    return true;
}

void TIniTextEditor::AppendLine(std::string text) {
    if (!FLines.empty() && FLines.back().End.empty()) FLines.back().End = FNewLine;
    FLines.push_back({std::move(text), FNewLine});
    const std::string_view trimmed = TrimView(FLines.back().Text);
    if (FSectionsKnown && IsHeader(trimmed)) FSections.emplace(LowerAscii(HeaderName(trimmed)), FLines.size() - 1);
}

void TIniTextEditor::Set(std::string_view section, std::string_view key, std::string_view value) {
    const std::string keyLine = OneLine(key) + "=" + OneLine(value);
    size_t header = 0, end = 0;
    if (!FindSection(section, header, end)) {
        if (!FLines.empty() && !TrimView(FLines.back().Text).empty()) AppendLine("");
        AppendLine("[" + OneLine(section) + "]");
        AppendLine(keyLine);
        return;
    }
    size_t lastKey = header;
    for (size_t i = header + 1; i < end; ++i) {
        const std::string_view trimmed = TrimView(FLines[i].Text);
        if (IsSkipped(trimmed)) continue;
        if (SameText(KeyOf(trimmed), key)) {
            std::string& line = FLines[i].Text;
            const size_t eq = line.find('=');
            if (eq == std::string::npos) {
                line = keyLine;
            } else {
                // The blanks after "=" are the reader's, not the value's: they stay.
                const size_t valueStart = line.find_first_not_of(" \t", eq + 1);
                line = line.substr(0, valueStart == std::string::npos ? eq + 1 : valueStart) + OneLine(value);
            }
            if (IsHeader(TrimView(line))) ForgetSections();
            return;
        }
        lastKey = i;
    }
    if (FLines[lastKey].End.empty()) FLines[lastKey].End = FNewLine;
    // Added at the very end, the line moves no header.
    if (lastKey + 1 < FLines.size() || IsHeader(TrimView(keyLine))) ForgetSections();
    FLines.insert(FLines.begin() + static_cast<std::ptrdiff_t>(lastKey + 1), TLine{keyLine, FNewLine});
}

void TIniTextEditor::Delete(std::string_view section, std::string_view key) {
    size_t header = 0, end = 0;
    if (!FindSection(section, header, end)) return;
    for (size_t i = end; i-- > header + 1;) {
        const std::string_view trimmed = TrimView(FLines[i].Text);
        if (!IsSkipped(trimmed) && SameText(KeyOf(trimmed), key)) {
            FLines.erase(FLines.begin() + static_cast<std::ptrdiff_t>(i));
            ForgetSections();
        }
    }
}

void TIniTextEditor::DeleteSection(std::string_view section) {
    size_t header = 0, end = 0;
    while (FindSection(section, header, end)) {
        // Comments and blank lines just before the next header stay with it.
        size_t keep = end;
        if (end < FLines.size())
            while (keep > header + 1 && IsSkipped(TrimView(FLines[keep - 1].Text))) --keep;
        FLines.erase(FLines.begin() + static_cast<std::ptrdiff_t>(header),
                     FLines.begin() + static_cast<std::ptrdiff_t>(keep));
        ForgetSections();
    }
}

std::vector<std::string> TIniTextEditor::SectionNames() const {
    std::vector<std::string> names;
    std::unordered_set<std::string> seen;
    for (const TLine& line : FLines) {
        const std::string_view trimmed = TrimView(line.Text);
        if (!IsHeader(trimmed)) continue;
        const std::string_view name = HeaderName(trimmed);
        if (seen.insert(LowerAscii(name)).second) names.emplace_back(name);
    }
    return names;
}

std::string TIniTextEditor::Text() const {
    std::string out = FBom;
    for (const TLine& line : FLines) {
        out += line.Text;
        out += line.End;
    }
    return out;
}

} // namespace velkaro
