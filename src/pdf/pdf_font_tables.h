#pragma once
// What the PDF font objects and the text measuring need of a TrueType file: metrics in
// thousandths of an em, the advance of every glyph, the Unicode cmap and the PostScript name.
#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace velkaro {

// Code points First..Last map to glyphs FirstGlyph, FirstGlyph + 1, ...
struct TCmapRange {
    char32_t First = 0;
    char32_t Last = 0;
    uint32_t FirstGlyph = 0;
};

struct TFontMetrics {
    int32_t Ascent = 0;
    int32_t Descent = 0;
    int32_t CapHeight = 0;
    std::array<int32_t, 4> BBox{}; // xMin, yMin, xMax, yMax
    double ItalicAngle = 0;
    std::string PostScriptName;        // name ID 6, PDF name characters only; "" when absent
    std::vector<int32_t> GlyphWidths;  // advance of each glyph id
    std::vector<TCmapRange> Cmap;      // sorted, disjoint, only glyphs that exist
    // The glyphs of the characters below kDirectGlyphs, taken from Cmap once it is read:
    // nearly every character of an invoice is one of them, and measuring text asks for
    // each many times.
    static constexpr char32_t kDirectGlyphs = 0x250;
    std::vector<uint16_t> DirectGlyphs;

    // Glyph of a character; 0 (.notdef) when the font has none.
    uint16_t Glyph(char32_t cp) const;
    // Fills DirectGlyphs from Cmap.
    void IndexDirectGlyphs();
    // Advance of a glyph; glyphs past the table measure as glyph 0.
    int32_t Width(uint16_t glyph) const;
};

// Reads head, hhea, hmtx, maxp, cmap (Unicode, format 12 preferred, else format 4) and
// the optional OS/2, post and name tables. Every read is checked against the data: a
// truncated or damaged file raises a German error naming the face instead of reading
// past the end.
TFontMetrics ParseFontTables(std::string_view data, const std::string& face);

} // namespace velkaro
