// Right-to-left lines as a reader and a text extractor see them: the words of the
// saved page (poppler's pdftotext -bbox) stand right to left in reading order, and the
// page's text reads back in logical order.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <regex>

#include "media/font_file.h"
#include "pdf/pdf_document.h"
#include "platform/files.h"
#include "platform/text.h"
#include "support/test_support.h"

namespace velkaro {
namespace {

struct TWordBox {
    std::string Text;
    double XMin = 0, XMax = 0;
};

// The temporary folder's path holds no quote.
std::string Quoted(const std::string& path) { return "'" + path + "'"; }

std::string Unescaped(std::string s) {
    s = ReplaceAll(s, "&lt;", "<");
    s = ReplaceAll(s, "&gt;", ">");
    s = ReplaceAll(s, "&quot;", "\"");
    s = ReplaceAll(s, "&apos;", "'");
    return ReplaceAll(s, "&amp;", "&");
}

// Without the directional marks that pdftotext puts around right-to-left lines.
std::string WithoutMarks(const std::string& s) {
    std::u32string out;
    for (char32_t c : Utf8ToUtf32(s))
        if (!(c >= 0x202A && c <= 0x202E) && c != 0x200E && c != 0x200F && !(c >= 0x2066 && c <= 0x2069))
            out.push_back(c);
    return Utf32ToUtf8(out);
}

class PdfBidiText : public ::testing::Test {
protected:
    void SetUp() override {
        if (!test::CommandExists("pdftotext")) VELKARO_SKIP_UNLESS_CI() << "pdftotext fehlt (poppler-utils)";
        if (FindFontFile("DejaVu Sans", false).empty()) VELKARO_SKIP_UNLESS_CI() << "fonts-dejavu-core fehlt";
    }

    // Lines at 12 points, 10 mm apart, on one page, saved; `right` aligns them to the right.
    std::string Save(const std::vector<std::string>& lines, bool right = false) {
        TPdfDocument doc("/usr/share/color/icc/sRGB.icc");
        const TPdfFont& font = doc.AddFont("Arial", false);
        doc.NewPage();
        doc.SetFont(font, 12);
        double y = 40;
        for (const std::string& line : lines) {
            if (right) doc.TextRight(190, y, line);
            else doc.TextOut(20, y, line);
            y += 10;
        }
        std::string file = CombinePath(FFolder.Path(), "zeile" + std::to_string(++FCount) + ".pdf");
        doc.SaveToFile(file);
        return file;
    }

    static std::string Text(const std::string& file) {
        std::string out;
        EXPECT_EQ(test::RunCommand("pdftotext -enc UTF-8 " + Quoted(file) + " -", out), 0) << out;
        return WithoutMarks(Trim(out));
    }

    static std::vector<TWordBox> Words(const std::string& file) {
        std::string out;
        EXPECT_EQ(test::RunCommand("pdftotext -bbox -enc UTF-8 " + Quoted(file) + " -", out), 0) << out;
        static const std::regex word(R"re(<word xMin="([-0-9.]+)" yMin="[-0-9.]+" xMax="([-0-9.]+)" yMax="[-0-9.]+">([^<]*)</word>)re");
        std::vector<TWordBox> boxes;
        for (std::sregex_iterator it(out.begin(), out.end(), word), end; it != end; ++it)
            boxes.push_back({WithoutMarks(Unescaped((*it)[3])), std::stod((*it)[1]), std::stod((*it)[2])});
        return boxes;
    }

    test::TempFolder FFolder;
    int FCount = 0;
};

std::string Reversed(const std::string& s) {
    std::u32string u = Utf8ToUtf32(s);
    return Utf32ToUtf8(std::u32string(u.rbegin(), u.rend()));
}

// The box of each word of the line, in the line's logical order. pdftotext -bbox gives
// the characters of a box in the order they stand on the page, so a right-to-left word
// reads backwards there.
std::vector<TWordBox> InLogicalOrder(const std::string& line, const std::vector<TWordBox>& boxes) {
    std::vector<TWordBox> ordered;
    for (const std::string& w : Split(line, ' ')) {
        auto it = std::find_if(boxes.begin(), boxes.end(),
                               [&](const TWordBox& b) { return b.Text == w || b.Text == Reversed(w); });
        EXPECT_NE(it, boxes.end()) << "Wort " << w << " nicht gefunden";
        if (it != boxes.end()) ordered.push_back(*it);
    }
    return ordered;
}

TEST_F(PdfBidiText, WordsOfRightToLeftLinesRunRightToLeftAndReadBackInLogicalOrder) {
    struct Case {
        const char* line;
        // The positions of the words in logical order: +1 rising (left to right),
        // -1 falling (right to left).
        std::vector<int> steps;
    } cases[] = {
        {"شركة الخليج للتجارة ذ.م.م", {-1, -1, -1}},
        {"שולחן עץ מלא אלון", {-1, -1, -1}},
        // Latin inside an Arabic line: the Latin word is the leftmost, read last.
        {"شركة الخليج GmbH", {-1, -1}},
        // Digits keep their order inside the right-to-left line.
        {"فاتورة رقم 2024", {-1, -1}},
        {"قطع غيار (مرتجع)", {-1, -1}},
        // A Latin line with an Arabic word stays left to right.
        {"Lieferung an شركة", {1, 1}},
        // A lam-alef ligature: one glyph for two letters, both read back.
        {"السلام عليكم", {-1}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        std::string file = Save({c.line});
        EXPECT_EQ(Text(file), c.line);
        std::vector<TWordBox> words = InLogicalOrder(c.line, Words(file));
        ASSERT_EQ(words.size(), c.steps.size() + 1);
        for (size_t i = 0; i < c.steps.size(); ++i) {
            if (c.steps[i] < 0) EXPECT_LT(words[i + 1].XMax, words[i].XMin) << words[i + 1].Text;
            else EXPECT_GT(words[i + 1].XMin, words[i].XMax) << words[i + 1].Text;
        }
    }
}

// A bracket of a right-to-left run shows the mirrored glyph; the same glyph in a Latin
// line on the same page still reads as itself.
TEST_F(PdfBidiText, MirroredBracketsDoNotChangeLatinBrackets) {
    // (Where the right-to-left line's closing bracket goes on a mostly Latin page is
    // pdftotext's guess; its reading order of neutral characters at the line's end is
    // not the page's to decide.)
    std::vector<std::string> lines = Split(Text(Save({"Ersatzteile (Retoure)", "قطع غيار (مرتجع)", "Rabatt (10 %)"})), '\n');
    EXPECT_THAT(lines, ::testing::Contains("Ersatzteile (Retoure)"));
    EXPECT_THAT(lines, ::testing::Contains("Rabatt (10 %)"));
}

// Right-aligned, the line ends where the layout says, measured with its shaped glyphs.
TEST_F(PdfBidiText, RightAlignedLineEndsAtTheMargin) {
    const double margin = 190 * 72 / 25.4;
    for (const char* line : {"شركة الخليج للتجارة", "שולחן עץ מלא", "قطع غيار (مرتجع)"}) {
        std::vector<TWordBox> words = Words(Save({line}, true));
        ASSERT_FALSE(words.empty()) << line;
        double right = 0;
        for (const TWordBox& w : words) right = std::max(right, w.XMax);
        EXPECT_NEAR(right, margin, 1.0) << line;
    }
}

} // namespace
} // namespace velkaro
