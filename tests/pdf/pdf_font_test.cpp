#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "pdf/pdf_font.h"
#include "pdf/pdf_font_subset.h"
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
    for (uint16_t format : {4, 12}) {
        TFontSpec spec;
        spec.CmapFormat = format;
        TFontMetrics m = ParseFontTables(BuildTestFont(spec), "Test");
        struct Case {
            char32_t cp;
            uint16_t glyph;
            int32_t width;
        } cases[] = {
            {U'A', 1, 556}, // 1139 × 1000 / 2048 = 556.15
            {U'B', 2, 667},
            {U' ', 3, 500},
            {U'€', 4, 500}, // through the glyph index array; past the long metrics: the last one
            {U'C', 0, 500}, // no glyph: .notdef and its width
            {U'ü', 0, 500},
            {0x10000, 0, 500},
            {0x1F600, static_cast<uint16_t>(format == 12 ? 2 : 0), format == 12 ? 667 : 500}, // beyond the BMP only in format 12
        };
        for (const Case& c : cases) {
            EXPECT_EQ(m.Glyph(c.cp), c.glyph) << format << " U+" << std::hex << static_cast<uint32_t>(c.cp);
            EXPECT_EQ(m.Width(m.Glyph(c.cp)), c.width) << format << " U+" << std::hex << static_cast<uint32_t>(c.cp);
        }
        EXPECT_EQ(m.GlyphWidths.size(), 5u);
        EXPECT_EQ(m.Width(999), 500) << "a glyph past the table measures as .notdef";
    }
}

TEST(FontTables, PostScriptNameFromTheNameTable) {
    TFontSpec named;
    named.PostScriptName = "Test(Sans)/Bold";
    EXPECT_EQ(ParseFontTables(BuildTestFont(named), "Test").PostScriptName, "TestSansBold"); // PDF name characters only
    EXPECT_EQ(ParseFontTables(BuildTestFont(), "Test").PostScriptName, "");
}

// A cmap that points past the glyphs of the font, or whose segments overlap, maps only
// to glyphs that exist, each code once.
TEST(FontTables, CmapIsCutToTheGlyphsThatExist) {
    std::string font = BuildTestFont();
    // numGlyphs of maxp from 5 to 4: the € glyph no longer exists.
    size_t maxp = font.find("maxp");
    uint32_t offset = static_cast<unsigned char>(font[maxp + 10]) << 8 | static_cast<unsigned char>(font[maxp + 11]);
    font[offset + 5] = 4;
    TFontMetrics m = ParseFontTables(font, "Test");
    EXPECT_EQ(m.Glyph(U'€'), 0);
    EXPECT_EQ(m.Glyph(U'B'), 2);
    for (size_t i = 1; i < m.Cmap.size(); ++i) EXPECT_GT(m.Cmap[i].First, m.Cmap[i - 1].Last);
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
    EXPECT_EQ(ParseError(BuildTestFont(mac)), "TrueType-Schrift ohne Unicode-cmap (Format 4 oder 12)");
    TFontSpec format6;
    format6.CmapFormat = 6;
    EXPECT_EQ(ParseError(BuildTestFont(format6)), "TrueType-Schrift ohne Unicode-cmap (Format 4 oder 12)");
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
    TFontSpec format12;
    format12.CmapFormat = 12;
    format12.PostScriptName = "Test";
    ExpectCleanFailureWhenDamaged(BuildTestFont(format12));
    std::string real = "/usr/share/fonts/truetype/liberation2/LiberationSans-Regular.ttf";
    if (!FileExists(real)) VELKARO_SKIP_UNLESS_CI() << "fonts-liberation2 ist nicht installiert";
    ExpectCleanFailureWhenDamaged(ReadFileBytes(real));
}

TEST(PdfFont, RealFontMeasuresLikeArialAndNamesItself) {
    if (FindFontFile("Arial", false).empty()) VELKARO_SKIP_UNLESS_CI() << "keine Schrift für Arial installiert";
    TPdfFont regular("Arial", false, "F1");
    TPdfFont bold("Arial", true, "F2");
    // The embedded file's own name, not the one asked for (Arial resolves to Liberation Sans).
    EXPECT_EQ(regular.BaseFont({}, true), regular.Metrics().PostScriptName);
    EXPECT_THAT(regular.BaseFont({{36, U"A"}}, false), ::testing::MatchesRegex("[A-Z]{6}\\+" + regular.Metrics().PostScriptName));
    EXPECT_THAT(bold.Metrics().PostScriptName, ::testing::EndsWith("-Bold"));
    // Liberation Sans is metric-compatible with Arial: "A" 667, space 278, digits 556.
    EXPECT_DOUBLE_EQ(regular.TextWidth("A", 1000), 667 * 25.4 / 72);
    EXPECT_DOUBLE_EQ(regular.TextWidth(" ", 1000), 278 * 25.4 / 72);
    EXPECT_DOUBLE_EQ(bold.TextWidth("0", 1000), 556 * 25.4 / 72);
    // Letters beyond Windows-1252 measure with their own glyphs.
    for (const char* text : {"Ł", "ř", "Ω", "Ж", "İ"}) {
        std::vector<TShownGlyph> shown = regular.Glyphs(text);
        ASSERT_EQ(shown.size(), 1u);
        EXPECT_EQ(shown[0].Face, &regular.Face()) << text;
        EXPECT_NE(shown[0].Glyph, 0) << text;
        EXPECT_GT(regular.TextWidth(text, 10), 0) << text;
    }
    // Two fonts of the same face are separate objects that share the cached file.
    TPdfFont again("Arial", false, "F3");
    EXPECT_EQ(&again.Data(), &regular.Data());
}

// Characters the face lacks come from another installed font; control characters show as
// the blank; what no installed font has is .notdef of the own face, marked missing.
TEST(PdfFont, GlyphsFallBackToInstalledFontsAndMarkWhatIsMissing) {
    auto face = std::make_shared<TFontFace>(BuildTestFont(), "Testschrift");
    TPdfFont font(face, "Testschrift", false, "F1");
    std::vector<TShownGlyph> shown = font.Glyphs("A\tx\u4E2D");
    ASSERT_EQ(shown.size(), 4u);
    EXPECT_EQ(shown[0].Face, face.get());
    EXPECT_EQ(shown[0].Glyph, 1);
    EXPECT_EQ(shown[1].Face, face.get());
    EXPECT_EQ(shown[1].Glyph, 3);
    EXPECT_EQ(shown[1].Text, U" ");
    EXPECT_FALSE(shown[1].Missing);
    // Any machine has some font with "x"; none of ours has the CJK character.
    if (FindFontFile("DejaVu Sans", false).empty()) VELKARO_SKIP_UNLESS_CI() << "keine Schriften installiert";
    EXPECT_NE(shown[2].Face, face.get());
    EXPECT_EQ(shown[2].Glyph, shown[2].Face->Metrics().Glyph(U'x'));
    EXPECT_FALSE(shown[2].Missing);
    EXPECT_DOUBLE_EQ(font.TextWidth("x", 1000), shown[2].Face->Metrics().Width(shown[2].Glyph) * 25.4 / 72);
    EXPECT_EQ(shown[3].Face, face.get());
    EXPECT_EQ(shown[3].Glyph, 0);
    EXPECT_TRUE(shown[3].Missing);
    EXPECT_EQ(shown[3].Text, U"\u4E2D");
    // The answer is kept: the same face object comes back.
    EXPECT_EQ(CachedFallbackFace("Testschrift", false, U'x').get(), shown[2].Face);
}

TEST(PdfFont, WidthsArrayGroupsConsecutiveGlyphs) {
    TFontMetrics m = ParseFontTables(BuildTestFont(), "Test");
    EXPECT_EQ(CidWidths({}, m), "[]");
    EXPECT_EQ(CidWidths({{1, U"A"}, {2, U"B"}, {3, U" "}}, m), "[1 [556 667 500]]");
    EXPECT_EQ(CidWidths({{0, U"\uFFFD"}, {2, U"B"}, {4, U"€"}}, m), "[0 [500] 2 [667] 4 [500]]");
}

TEST(PdfFont, ToUnicodeMapsEveryGlyphToItsCharacter) {
    std::string cmap = ToUnicodeCMap({{1, U"A"}, {36, U"Ł"}, {0x1234, U"\U0001F600"}});
    EXPECT_THAT(cmap, ::testing::HasSubstr("1 begincodespacerange\n<0000> <FFFF>\nendcodespacerange\n"
                                           "3 beginbfchar\n<0001> <0041>\n<0024> <0141>\n<1234> <D83DDE00>\n"
                                           "endbfchar\n"));
    // Blocks of at most 100 entries.
    TGlyphUse many;
    for (uint16_t g = 1; g <= 150; ++g) many.emplace(g, U"a");
    std::string big = ToUnicodeCMap(many);
    EXPECT_THAT(big, ::testing::HasSubstr("100 beginbfchar\n"));
    EXPECT_THAT(big, ::testing::HasSubstr("50 beginbfchar\n"));
}

TEST(PdfFont, ObjectsAreWrittenExactly) {
    TFontSpec spec;
    spec.ItalicInt = -13;
    spec.ItalicFrac = 32768;
    spec.PostScriptName = "SegoeUI-Bold";
    auto face = std::make_shared<TFontFace>(BuildTestFont(spec), "Segoe UI");
    TPdfFont font(face, "Segoe UI", true, "F1");
    EXPECT_DOUBLE_EQ(font.TextWidth("AB", 10), 12.23 * 25.4 / 72);
    font.ObjFont = 7;
    TPdfObjectWriter w;
    TGlyphUse used{{1, U"A"}, {2, U"B"}};
    font.WriteObjects(w, used, true);
    const std::string& out = w.Buffer();
    EXPECT_THAT(out, ::testing::StartsWith(
                         "7 0 obj\n<< /Type /Font /Subtype /Type0 /BaseFont /SegoeUI-Bold /Encoding /Identity-H "
                         "/DescendantFonts [8 0 R] /ToUnicode 11 0 R >>\nendobj\n"
                         "8 0 obj\n<< /Type /Font /Subtype /CIDFontType2 /BaseFont /SegoeUI-Bold /CIDSystemInfo << "
                         "/Registry (Adobe) /Ordering (Identity) /Supplement 0 >> /FontDescriptor 9 0 R /DW 500 "
                         "/W [1 [556 667]] /CIDToGIDMap /Identity >>\nendobj\n"
                         "9 0 obj\n<< /Type /FontDescriptor /FontName /SegoeUI-Bold /Flags 32 "
                         "/FontBBox [-488 -212 977 905] /ItalicAngle -12.5 /Ascent 905 "
                         "/Descent -212 /CapHeight 688 /StemV 80 /FontFile2 10 0 R >>\nendobj\n"
                         "10 0 obj\n<< /Length1 " +
                         std::to_string(face->Data().size()) + " /Filter /FlateDecode /Length "));
    EXPECT_THAT(out, ::testing::HasSubstr("11 0 obj\n<<  /Filter /FlateDecode /Length "));
    // A subset carries a tag of six capitals that follows the glyphs.
    EXPECT_THAT(font.BaseFont(used, false), ::testing::MatchesRegex("[A-Z]{6}\\+SegoeUI-Bold"));
    EXPECT_EQ(font.BaseFont(used, false), font.BaseFont(used, false));
    EXPECT_NE(font.BaseFont(used, false), font.BaseFont({{1, U"A"}}, false));
    // Without a name table the face name stands in, as before.
    TPdfFont unnamed(std::make_shared<TFontFace>(BuildTestFont(), "Segoe UI"), "Segoe UI", true, "F2");
    EXPECT_EQ(unnamed.BaseFont({}, true), "SegoeUI-Bold");
}

// The subset keeps the glyph ids and the outlines of the used glyphs only: far smaller,
// and every used glyph has the same outline and advance as in the whole file.
TEST(PdfFont, SubsetKeepsGlyphIdsAndDropsTheRest) {
    std::string real = "/usr/share/fonts/truetype/liberation2/LiberationSans-Regular.ttf";
    if (!FileExists(real)) VELKARO_SKIP_UNLESS_CI() << "fonts-liberation2 ist nicht installiert";
    std::string whole = ReadFileBytes(real);
    TFontMetrics full = ParseFontTables(whole, "Liberation Sans");
    TGlyphUse glyphs;
    for (char32_t c : {U'R', U'e', U'Ł', U'Ж'}) glyphs.emplace(full.Glyph(c), std::u32string(1, c));
    std::string subset = SubsetFontProgram(whole, glyphs, "Liberation Sans");
    EXPECT_LT(subset.size(), whole.size() / 5);
    TFontMetrics cut = ParseFontTables(subset, "Liberation Sans");
    for (const auto& [glyph, text] : glyphs) {
        EXPECT_EQ(cut.Glyph(text[0]), glyph) << "glyph id kept for U+" << std::hex << static_cast<uint32_t>(text[0]);
        EXPECT_EQ(cut.Width(glyph), full.Width(glyph)) << glyph;
    }
    EXPECT_EQ(cut.Glyph(U'x'), 0) << "unused characters are gone";
    EXPECT_EQ(cut.PostScriptName, full.PostScriptName);
}

TEST(PdfFont, DataThatIsNoFontIsNotSubset) {
    EXPECT_EQ(test::ErrorOf([] { SubsetFontProgram("kaputt", {{1, U"A"}}, "Testschrift"); }),
              "Schrift Testschrift konnte nicht auf die verwendeten Zeichen reduziert werden");
}

} // namespace
} // namespace velkaro
