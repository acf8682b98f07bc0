#include "support/pdf_words.h"

#include <cmath>
#include <regex>

#include "platform/text.h"
#include "support/test_support.h"

namespace velkaro::test {

namespace {

std::string Quoted(const std::string& path) { return "'" + ReplaceAll(path, "'", "'\\''") + "'"; }

std::string Unescaped(std::string s) {
    s = ReplaceAll(s, "&lt;", "<");
    s = ReplaceAll(s, "&gt;", ">");
    s = ReplaceAll(s, "&quot;", "\"");
    s = ReplaceAll(s, "&apos;", "'");
    return ReplaceAll(s, "&amp;", "&");
}

std::string WithoutMarks(const std::string& s) {
    std::u32string out;
    for (char32_t c : Utf8ToUtf32(s))
        if (!(c >= 0x202A && c <= 0x202E) && c != 0x200E && c != 0x200F && !(c >= 0x2066 && c <= 0x2069))
            out.push_back(c);
    return Utf32ToUtf8(out);
}

} // namespace

std::string PdfReadingText(const std::string& pdf) {
    std::string out;
    RunCommand("pdftotext -enc UTF-8 " + Quoted(pdf) + " -", out);
    return WithoutMarks(out);
}

std::vector<TWordBox> PdfWordBoxes(const std::string& pdf) {
    std::string out;
    RunCommand("pdftotext -bbox -enc UTF-8 " + Quoted(pdf) + " -", out);
    static const std::regex word(
        R"re(<word xMin="([-0-9.]+)" yMin="([-0-9.]+)" xMax="([-0-9.]+)" yMax="[-0-9.]+">([^<]*)</word>)re");
    std::vector<TWordBox> boxes;
    int page = 0;
    for (const std::string& line : Split(out, '\n')) {
        if (line.find("<page ") != std::string::npos) ++page;
        std::smatch m;
        if (std::regex_search(line, m, word))
            boxes.push_back({WithoutMarks(Unescaped(m[4])), page, std::stod(m[1]), std::stod(m[2]), std::stod(m[3])});
    }
    return boxes;
}

std::string ReversedText(const std::string& s) {
    std::u32string u = Utf8ToUtf32(s);
    return Utf32ToUtf8(std::u32string(u.rbegin(), u.rend()));
}

std::vector<TWordBox> LineWordBoxes(const std::string& line, const std::vector<TWordBox>& boxes) {
    std::vector<std::string> words;
    for (const std::string& w : Split(line, ' '))
        if (!w.empty()) words.push_back(w);
    if (words.empty()) return {};
    auto matches = [](const TWordBox& b, const std::string& w) { return b.Text == w || b.Text == ReversedText(w); };
    for (const TWordBox& first : boxes) {
        if (!matches(first, words[0])) continue;
        std::vector<TWordBox> found{first};
        for (size_t i = 1; i < words.size(); ++i)
            for (const TWordBox& b : boxes)
                if (b.Page == first.Page && std::fabs(b.YMin - first.YMin) < 1 && matches(b, words[i])) {
                    found.push_back(b);
                    break;
                }
        if (found.size() == words.size()) return found;
    }
    return {};
}

} // namespace velkaro::test
