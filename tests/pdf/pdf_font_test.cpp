#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "pdf/pdf_font.h"
#include "pdf/pdf_font_tables.h"
#include "pdf/pdf_object_writer.h"
#include "platform/error.h"
#include "platform/files.h"
#include "media/font_file.h"
#include "support/test_support.h"
#include "test_font_builder.h"

namespace velkaro {
namespace {

using test::BuildTestFont;
using test::TFontSpec;

std::string ParseError(const std::string& data) {
    try {
        ParseFontTables(data, "Testschrift");
    } catch (const Exception& e) {
        return e.what();
    }
    return "";
}

TEST(FontTables, MetricsAreScaledToThousandths) {
    TFontMetrics m = ParseFontTables(BuildTestFont(), "Test");
    EXPECT_EQ(m.BBox, (std::array<int32_t, 4>{-488, -212, 977, 905}));
    EXPECT_EQ(m.Ascent, 905);
    EXPECT_EQ(m.Descent, -212);
    EXPECT_EQ(m.CapHeight, 688);
    EXPECT_EQ(m.ItalicAngle, 0.0);
}

TEST(FontTables, WidthsFollowTheCmapAndHmtx) {
    TFontMetrics m = ParseFontTables(BuildTestFont(), "Test");
    EXPECT_EQ(m.Widths['A'], 556);  // 1139 × 1000 / 2048 = 556.15
    EXPECT_EQ(m.Widths['B'], 667);
    EXPECT_EQ(m.Widths[0x80], 667); // € through the glyph index array, glyph 3 takes the last metric
    EXPECT_EQ(m.Widths[' '], 500);  // no glyph: width of glyph 0
    EXPECT_EQ(m.Widths[0xFC], 500);
    for (int c = 0; c < 32; ++c) EXPECT_EQ(m.Widths[c], 0) << c;
}

TEST(FontTables, RoundingHalvesToEven) {
    TFontSpec spec;
    spec.UnitsPerEm = 2000;
    spec.Ascent = 1;   // 0.5 -> 0
    spec.Descent = -3; // -1.5 -> -2
    spec.BBox[0] = 5;  // 2.5 -> 2
    spec.BBox[1] = 7;  // 3.5 -> 4
    TFontMetrics m = ParseFontTables(BuildTestFont(spec), "Test");
    EXPECT_EQ(m.Ascent, 0);
    EXPECT_EQ(m.Descent, -2);
    EXPECT_EQ(m.BBox[0], 2);
    EXPECT_EQ(m.BBox[1], 4);
}

TEST(FontTables, CapHeightAndItalicAngleFallBacks) {
    struct Case {
        int os2Version;
        bool post;
        int16_t capHeight;
        int32_t expectedCap;
    } cases[] = {{-1, false, 0, 905}, {0, true, 1409, 905}, {1, true, 1409, 905}, {2, true, 1409, 688},
                 {4, true, 1434, 700}};
    for (const Case& c : cases) {
        TFontSpec spec;
        spec.Os2Version = c.os2Version;
        spec.Post = c.post;
        spec.CapHeight = c.capHeight;
        TFontMetrics m = ParseFontTables(BuildTestFont(spec), "Test");
        EXPECT_EQ(m.CapHeight, c.expectedCap) << c.os2Version;
        EXPECT_EQ(m.ItalicAngle, 0.0);
    }
    TFontSpec italic;
    italic.ItalicInt = -13;
    italic.ItalicFrac = 32768;
    EXPECT_EQ(ParseFontTables(BuildTestFont(italic), "Test").ItalicAngle, -12.5);
}

TEST(FontTables, MissingTablesAndCmapErrors) {
    for (const char* tag : {"head", "hhea", "hmtx", "cmap"}) {
        TFontSpec spec;
        spec.OmitTable = tag;
        EXPECT_EQ(ParseError(BuildTestFont(spec)), "Unvollständige TrueType-Schrift") << tag;
    }
    TFontSpec mac;
    mac.CmapPlatform = 1;
    EXPECT_EQ(ParseError(BuildTestFont(mac)), "TrueType-Schrift ohne Unicode-cmap (Format 4)");
    TFontSpec format12;
    format12.CmapFormat = 12;
    EXPECT_EQ(ParseError(BuildTestFont(format12)), "TrueType-Schrift ohne Unicode-cmap (Format 4)");
}

// Cuts a font at many lengths and damages its offsets: every result is either a parsed
// font or one of the German errors; nothing is read past the end (ASan in CI).
void ExpectCleanFailureWhenDamaged(const std::string& font) {
    size_t step = std::max<size_t>(1, font.size() / 3000);
    for (size_t len = 0; len < font.size(); len += (len < 2000 ? 1 : step)) {
        std::string cut = font.substr(0, len);
        std::string error = ParseError(cut);
        if (!error.empty()) {
            EXPECT_THAT(error, ::testing::AnyOf(::testing::HasSubstr("Testschrift ist beschädigt"),
                                                ::testing::HasSubstr("Unvollständige TrueType-Schrift"),
                                                ::testing::HasSubstr("ohne Unicode-cmap")))
                << len;
        }
    }
    // Table offsets turned into large values.
    std::string damaged = font;
    for (size_t rec = 12; rec + 16 <= std::min<size_t>(damaged.size(), 12 + 16 * 40); rec += 16) {
        std::string copy = damaged;
        copy[rec + 8] = '\x7F';
        EXPECT_NO_FATAL_FAILURE(ParseError(copy));
    }
}

TEST(FontTables, TruncatedAndDamagedFontsRaiseTheGermanError) {
    std::string synthetic = BuildTestFont();
    EXPECT_THAT(ParseError(synthetic.substr(0, 100)),
                ::testing::HasSubstr("TrueType-Schrift Testschrift ist beschädigt"));
    ExpectCleanFailureWhenDamaged(synthetic);
    std::string real = "/usr/share/fonts/truetype/liberation2/LiberationSans-Regular.ttf";
    if (!FileExists(real)) VELKARO_SKIP_UNLESS_CI() << "fonts-liberation2 ist nicht installiert";
    ExpectCleanFailureWhenDamaged(ReadFileBytes(real));
}

TEST(PdfFont, RealFontMeasuresLikeArial) {
    if (FindFontFile("Arial", false).empty()) VELKARO_SKIP_UNLESS_CI() << "keine Schrift für Arial installiert";
    TPdfFont regular("Arial", false, "F1");
    TPdfFont bold("Arial", true, "F2");
    EXPECT_EQ(regular.BaseFont(), "Arial");
    EXPECT_EQ(bold.BaseFont(), "Arial-Bold");
    // Liberation Sans is metric-compatible with Arial: "A" 667, space 278, digits 556.
    EXPECT_EQ(regular.Metrics().Widths['A'], 667);
    EXPECT_EQ(regular.Metrics().Widths[' '], 278);
    EXPECT_EQ(bold.Metrics().Widths['0'], 556);
    // Two fonts of the same face are separate objects that share the cached file.
    TPdfFont again("Arial", false, "F3");
    EXPECT_EQ(&again.Data(), &regular.Data());
}

TEST(PdfFont, ObjectsAreWrittenExactly) {
    TFontSpec spec;
    spec.ItalicInt = -13;
    spec.ItalicFrac = 32768;
    auto face = std::make_shared<TFontFace>(BuildTestFont(spec), "Segoe UI");
    TPdfFont font(face, "Segoe UI", true, "F1");
    EXPECT_DOUBLE_EQ(font.TextWidth("AB", 10), 12.23 * 25.4 / 72);
    font.ObjFont = 7;
    TPdfObjectWriter w;
    font.WriteObjects(w);
    const std::string& out = w.Buffer();
    std::string widths = "556 667";
    std::string dict = "7 0 obj\n<< /Type /Font /Subtype /TrueType /BaseFont /SegoeUI-Bold /FirstChar 32 /LastChar 255 "
                       "/Widths [500";
    ASSERT_EQ(out.substr(0, dict.size()), dict);
    size_t open = out.find('['), close = out.find(']');
    std::string list = out.substr(open + 1, close - open - 1);
    EXPECT_EQ(std::count(list.begin(), list.end(), ' '), 223); // 224 entries
    EXPECT_THAT(list, ::testing::HasSubstr(" 500 556 667 500 "));  // @ A B C
    EXPECT_THAT(out, ::testing::HasSubstr("] /Encoding /WinAnsiEncoding /FontDescriptor 8 0 R >>\nendobj\n"
                                          "8 0 obj\n<< /Type /FontDescriptor /FontName /SegoeUI-Bold /Flags 32 "
                                          "/FontBBox [-488 -212 977 905] /ItalicAngle -12.5 /Ascent 905 "
                                          "/Descent -212 /CapHeight 688 /StemV 80 /FontFile2 9 0 R >>\nendobj\n"
                                          "9 0 obj\n<< /Length1 " +
                                          std::to_string(face->Data().size()) + " /Filter /FlateDecode /Length "));
}

} // namespace
} // namespace velkaro
