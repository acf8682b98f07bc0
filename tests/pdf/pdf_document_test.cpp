#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "pdf/pdf_document.h"
#include "platform/error.h"
#include "platform/files.h"
#include "media/font_file.h"
#include "media/image_test_writers.h"
#include "support/test_support.h"
#include "test_font_builder.h"

namespace velkaro {
namespace {

using test::ErrorOf;

// A document with one page and the synthetic font selected (A 556, B 667, blank 500;
// glyphs 1, 2, 3).
class PdfDocumentTest : public ::testing::Test {
protected:
    PdfDocumentTest()
        : FFont(std::make_shared<TFontFace>(test::BuildTestFont(), "Test"), "Test", false, "F1"), FDoc("") {
        FDoc.NewPage();
        FDoc.SetFont(FFont, 10);
    }
    std::string Content() const { return FDoc.PageContent(FDoc.PageCount() - 1); }
    static double Mm(double points) { return points * 25.4 / 72; }

    TPdfFont FFont;
    TPdfDocument FDoc;
};

TEST_F(PdfDocumentTest, DefaultsAfterCreation) {
    TPdfDocument doc("/x/sRGB.icc");
    EXPECT_EQ(doc.PageCount(), 0);
    EXPECT_EQ(doc.Creator, "Velkaro");
    EXPECT_THAT(doc.Producer, ::testing::MatchesRegex("Velkaro \\(.+\\)"));
    EXPECT_FALSE(doc.FacturX);
    EXPECT_EQ(doc.FacturXFileName, "factur-x.xml");
    EXPECT_EQ(doc.FacturXConformance, "EN 16931");
    EXPECT_EQ(doc.FacturXDocType, "INVOICE");
    EXPECT_EQ(doc.PageWidth(), 595.28);
    EXPECT_EQ(doc.PageHeight(), 841.89);
}

TEST_F(PdfDocumentTest, ContentOperatorsAreWrittenExactly) {
    struct Case {
        std::function<void(TPdfDocument&)> draw;
        const char* expected;
    } cases[] = {
        {[](TPdfDocument& d) { d.SetColor(255, 255, 255); }, "1 1 1 rg\n"},
        {[](TPdfDocument& d) { d.SetColor(0, 0, 0); }, "0 0 0 rg\n"},
        {[](TPdfDocument& d) { d.SetStrokeColor(128, 0, 255); }, "0.502 0 1 RG\n"},
        {[](TPdfDocument& d) { d.TextOut(20, 20, "AB A"); }, "BT /F1 10 Tf 56.693 785.197 Td <0001000200030001> Tj ET\n"},
        // Control characters show as the blank, C1 and DEL too.
        {[](TPdfDocument& d) { d.TextOut(20, 20, "A\tB\x7F\u0081"); },
         "BT /F1 10 Tf 56.693 785.197 Td <00010003000200030003> Tj ET\n"},
        {[](TPdfDocument& d) { d.Line(20, 100, 190, 100, 0.2); }, "0.567 w 56.693 558.425 m 538.583 558.425 l S\n"},
        // 841.89 - 28.3464567 = 813.5435433, which rounds up.
        {[](TPdfDocument& d) { d.FillRect(0, 0, 210, 10); }, "0 813.544 595.276 28.346 re f\n"},
        // "AB" is 12.23 points wide at 10 points.
        {[](TPdfDocument& d) { d.TextRight(100, 20, "AB"); }, "BT /F1 10 Tf 271.235 785.197 Td <00010002> Tj ET\n"},
        {[](TPdfDocument& d) { d.TextCenter(100, 20, "AB"); }, "BT /F1 10 Tf 277.35 785.197 Td <00010002> Tj ET\n"},
        {[](TPdfDocument& d) { d.TextOut(20, 20, ""); }, ""},
    };
    for (const Case& c : cases) {
        FDoc.NewPage();
        FDoc.SetFont(FFont, 10);
        c.draw(FDoc);
        EXPECT_EQ(Content(), c.expected);
    }
}

// A character the font lacks continues in the font that has it, in the same text object;
// one that no font has is .notdef and is reported once.
TEST_F(PdfDocumentTest, TextRunsSwitchToFallbackFontsAndReportMissingCharacters) {
    if (FindFontFile("DejaVu Sans", false).empty()) VELKARO_SKIP_UNLESS_CI() << "keine Schriften installiert";
    FDoc.TextOut(20, 20, "AxB\u4E2D\u4E2D");
    EXPECT_THAT(Content(), ::testing::MatchesRegex("BT /F1 10 Tf 56.693 785.197 Td <0001> Tj /F([0-9]+) 10 Tf "
                                                   "<[0-9A-F]{4}> Tj /F1 10 Tf <000200000000> Tj ET\n"));
    ASSERT_EQ(FDoc.Fonts().size(), 1u); // the fallback font, added to the document
    const TPdfFont& fallback = *FDoc.Fonts()[0];
    EXPECT_EQ(FDoc.UsedGlyphs(fallback), (TGlyphUse{{fallback.Metrics().Glyph(U'x'), U"x"}}));
    EXPECT_EQ(FDoc.UsedGlyphs(FFont), (TGlyphUse{{0, U"\uFFFD"}, {1, U"A"}, {2, U"B"}}));
    EXPECT_EQ(FDoc.MissingCharacters(), std::vector<char32_t>{U'\u4E2D'});
    // Text that is measured through the fallback ends where the page puts it.
    EXPECT_DOUBLE_EQ(FDoc.TextWidth("AxB"),
                     Mm(10 * (556 + 667 + fallback.Metrics().Width(fallback.Metrics().Glyph(U'x'))) / 1000.0));
}

TEST_F(PdfDocumentTest, DrawImageScalesIntoTheRectangle) {
    test::TempFolder tmp;
    // A grey JPEG of 16 × 32 pixels: the file is taken as it is.
    WriteFileBytes(tmp.File("logo.jpg"), test::JpegBytes(16, 32, JCS_GRAYSCALE, std::vector<uint8_t>(16 * 32, 0)));
    TPdfImage& img = FDoc.AddImageFile(tmp.File("logo.jpg"));
    FDoc.DrawImage(img, 150, 10, 40, 20);
    EXPECT_EQ(Content(), "q 113.386 0 0 56.693 425.197 756.851 cm /Im1 Do Q\n");
}

TEST_F(PdfDocumentTest, TextNeedsAFontOnTheCurrentPage) {
    TPdfDocument doc("");
    doc.NewPage();
    EXPECT_EQ(ErrorOf([&] { doc.TextOut(10, 10, ""); }), "Keine Schrift gesetzt");
    EXPECT_EQ(ErrorOf([&] { doc.TextRight(10, 10, "x"); }), "Keine Schrift gesetzt");
    doc.SetFont(FFont, 10);
    doc.NewPage();
    EXPECT_EQ(ErrorOf([&] { doc.TextOut(10, 10, "x"); }), "Keine Schrift gesetzt");
    doc.SetFont(FFont, 10);
    doc.SelectPage(0);
    EXPECT_EQ(ErrorOf([&] { doc.TextOut(10, 10, "x"); }), "Keine Schrift gesetzt");
    doc.SetFont(FFont, 12);
    doc.TextOut(10, 10, "x");
    EXPECT_THAT(doc.PageContent(0), ::testing::StartsWith("BT /F1 12 Tf"));
    EXPECT_EQ(doc.PageContent(1), "");
    EXPECT_THAT(ErrorOf([&] { doc.SelectPage(2); }), ::testing::HasSubstr("Listenindex"));
    EXPECT_THAT(ErrorOf([&] { doc.SelectPage(-1); }), ::testing::HasSubstr("Listenindex"));
    TPdfDocument empty("");
    EXPECT_FALSE(ErrorOf([&] { empty.FillRect(0, 0, 1, 1); }).empty());
}

TEST_F(PdfDocumentTest, TextWidthInMillimetres) {
    EXPECT_DOUBLE_EQ(FDoc.TextWidth("AB"), Mm(12.23));
    EXPECT_DOUBLE_EQ(FDoc.TextWidth("\x01"), Mm(5)); // shown and measured as the blank
    EXPECT_DOUBLE_EQ(FDoc.TextWidth("日"), Mm(5));    // no installed font has it: .notdef
}

TEST_F(PdfDocumentTest, WrapText) {
    using V = std::vector<std::string>;
    double ab = FDoc.TextWidth("AB");
    struct Case {
        const char* text;
        double maxWidth;
        V expected;
    } cases[] = {
        {"", 50, V{""}},
        {"     ", 50, V{""}},
        {"  A   B  ", 50, V{"A B"}},
        {"AB AB", FDoc.TextWidth("AB AB"), V{"AB AB"}},
        {"AB AB", FDoc.TextWidth("AB AB") - 1e-9, V{"AB", "AB"}},
        {"AB AB AB", ab, V{"AB", "AB", "AB"}},
        {"AAAAA", FDoc.TextWidth("AA"), V{"AA", "AA", "A"}},
        {"AB AAAAA B", FDoc.TextWidth("A B"), V{"AB", "AAA", "AA", "B"}},
        {"ABA", 0.1, V{"A", "B", "A"}},
        {"AB", -5, V{"A", "B"}},
        {"A\tB", 50, V{"A\tB"}},
        {"ÄÖ", 0.1, V{"Ä", "Ö"}},
    };
    for (const Case& c : cases) EXPECT_EQ(FDoc.WrapText(c.text, c.maxWidth), c.expected) << c.text << " " << c.maxWidth;
}

// An unbroken word far wider than the line (a pasted hash, a row of braces) is cut into
// the longest pieces that fit; it took minutes while each piece was found by shortening
// the rest one character at a time.
TEST_F(PdfDocumentTest, WrapTextCutsALongWordIntoTheLongestFittingPiecesQuickly) {
    const double width = FDoc.TextWidth("AB") * 37.5;  // about 75 characters a line
    for (const std::string& text : {std::string(8000, 'A'), std::string(20000, '{'), "x " + std::string(8000, 'B') + " y"}) {
        std::vector<std::string> lines;
        EXPECT_LT(test::CpuSecondsOf([&] { lines = FDoc.WrapText(text, width); }), 1.0 * test::kCpuBoundFactor) << text.size();
        std::string joined;
        for (size_t k = 0; k < lines.size(); ++k) {
            EXPECT_LE(FDoc.TextWidth(lines[k]), width) << k;
            // Longest: one more character of the word would not have fitted.
            const bool piece = lines[k].find(' ') == std::string::npos && lines[k].size() > 1;
            if (piece && k + 1 < lines.size() && lines[k + 1].front() == lines[k].front())
                EXPECT_GT(FDoc.TextWidth(lines[k] + lines[k + 1].front()), width) << k;
            joined += lines[k];
        }
        std::string expected = text;
        std::erase(expected, ' ');
        std::erase(joined, ' ');
        EXPECT_EQ(joined, expected);
    }
}

TEST(PdfDocument, ImagesAreFoundAgainByFileNameWithoutCase) {
    test::TempFolder tmp;
    WriteFileBytes(tmp.File("Logo.JPG"), test::JpegBytes(1, 1, JCS_RGB, {10, 20, 30}));
    TPdfDocument doc("");
    TPdfImage& a = doc.AddImageFile(tmp.File("Logo.JPG"));
    TPdfImage& b = doc.AddImageFile(tmp.File("logo.jpg"));
    EXPECT_EQ(&a, &b);
    EXPECT_EQ(a.ResName(), "Im1");
    EXPECT_EQ(doc.Images().size(), 1u);
    EXPECT_THAT(ErrorOf([&] { doc.AddImageFile(tmp.File("fehlt.png")); }),
                ::testing::StrEq("Bilddatei nicht gefunden: " + tmp.File("fehlt.png")));
    EXPECT_EQ(doc.Images().size(), 1u);
}

TEST(PdfDocument, EveryAddFontCreatesANewFont) {
    if (FindFontFile("Arial", false).empty()) VELKARO_SKIP_UNLESS_CI() << "keine Schrift für Arial installiert";
    TPdfDocument doc("");
    TPdfFont& f1 = doc.AddFont("Arial", false);
    TPdfFont& f2 = doc.AddFont("Arial", false);
    EXPECT_NE(&f1, &f2);
    EXPECT_EQ(f1.ResName(), "F1");
    EXPECT_EQ(f2.ResName(), "F2");
}

} // namespace
} // namespace velkaro
