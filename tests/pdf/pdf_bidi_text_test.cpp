// Right-to-left lines as a reader and a text extractor see them: the words of the
// saved page (poppler's pdftotext -bbox) stand right to left in reading order, and the
// page's text reads back in logical order.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "media/font_file.h"
#include "pdf/pdf_document.h"
#include "platform/files.h"
#include "platform/text.h"
#include "support/pdf_words.h"
#include "support/test_support.h"

namespace velkaro {
namespace {

using test::TWordBox;

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

    test::TempFolder FFolder;
    int FCount = 0;
};

TEST_F(PdfBidiText, WordsOfRightToLeftLinesRunRightToLeftAndReadBackInLogicalOrder) {
    struct Case {
        const char* line;
        bool rightToLeft; // the words in logical order stand right to left
    } cases[] = {
        {"شركة الخليج للتجارة ذ.م.م", true},
        {"שולחן עץ מלא אלון", true},
        // Latin inside an Arabic line: the Latin word is the leftmost, read last.
        {"شركة الخليج GmbH", true},
        // Digits keep their order inside the right-to-left line.
        {"فاتورة رقم 2024", true},
        {"قطع غيار (مرتجع)", true},
        // A Latin line with an Arabic word stays left to right.
        {"Lieferung an شركة", false},
        // A lam-alef ligature: one glyph for two letters, both read back.
        {"السلام عليكم", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        std::string file = Save({c.line});
        EXPECT_EQ(Trim(test::PdfReadingText(file)), c.line);
        std::vector<TWordBox> words = test::LineWordBoxes(c.line, test::PdfWordBoxes(file));
        ASSERT_EQ(words.size(), Split(c.line, ' ').size());
        for (size_t i = 1; i < words.size(); ++i) {
            if (c.rightToLeft) EXPECT_LT(words[i].XMax, words[i - 1].XMin) << words[i].Text;
            else EXPECT_GT(words[i].XMin, words[i - 1].XMax) << words[i].Text;
        }
    }
}

// A bracket of a right-to-left run shows the mirrored glyph; the same glyph in a Latin
// line on the same page still reads as itself.
TEST_F(PdfBidiText, MirroredBracketsDoNotChangeLatinBrackets) {
    // (Where the right-to-left line's closing bracket goes on a mostly Latin page is
    // pdftotext's guess; its reading order of neutral characters at the line's end is
    // not the page's to decide.)
    std::vector<std::string> lines =
        Split(test::PdfReadingText(Save({"Ersatzteile (Retoure)", "قطع غيار (مرتجع)", "Rabatt (10 %)"})), '\n');
    EXPECT_THAT(lines, ::testing::Contains("Ersatzteile (Retoure)"));
    EXPECT_THAT(lines, ::testing::Contains("Rabatt (10 %)"));
}

// Right-aligned, the line ends where the layout says, measured with its shaped glyphs.
TEST_F(PdfBidiText, RightAlignedLineEndsAtTheMargin) {
    const double margin = 190 * 72 / 25.4;
    for (const char* line : {"شركة الخليج للتجارة", "שולחן עץ מלא", "قطع غيار (مرتجع)"}) {
        std::vector<TWordBox> words = test::PdfWordBoxes(Save({line}, true));
        ASSERT_FALSE(words.empty()) << line;
        double right = 0;
        for (const TWordBox& w : words) right = std::max(right, w.XMax);
        EXPECT_NEAR(right, margin, 1.0) << line;
    }
}

} // namespace
} // namespace velkaro
