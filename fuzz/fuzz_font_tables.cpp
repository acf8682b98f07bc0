// Font files as the PDF writer meets them: the sfnt check, the table walk, the cmap
// (formats 4 and 12) with the widths of the glyphs it names, and the subset of those
// glyphs. Damaged data must end in velkaro::Exception, never in a read past the end; a
// parsed cmap must be sorted, disjoint and name only glyphs that have a width.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <string_view>

#include "media/font_file.h"
#include "pdf/pdf_font_subset.h"
#include "pdf/pdf_font_tables.h"
#include "pdf/pdf_text_shape.h"
#include "platform/error.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    try {
        velkaro::CheckTrueTypeData(bytes, "Fuzz");
    } catch (const velkaro::Exception&) {
    }
    // The table walk also gets data the sfnt check refuses: it must stand on its own.
    try {
        velkaro::TFontMetrics m = velkaro::ParseFontTables(bytes, "Fuzz");
        if (m.GlyphWidths.empty() || m.GlyphWidths.size() > 65536) std::abort();
        std::map<uint16_t, std::u32string> used;
        for (size_t i = 0; i < m.Cmap.size(); ++i) {
            const velkaro::TCmapRange& r = m.Cmap[i];
            if (r.Last < r.First || (i > 0 && r.First <= m.Cmap[i - 1].Last)) std::abort();
            if (r.FirstGlyph + static_cast<uint64_t>(r.Last - r.First) >= m.GlyphWidths.size()) std::abort();
            for (char32_t cp : {r.First, r.Last}) {
                uint16_t g = m.Glyph(cp);
                if (g != r.FirstGlyph + (cp - r.First)) std::abort();
                if (used.size() < 64) used.emplace(g, std::u32string(1, cp));
            }
        }
        for (char32_t cp : {U' ', U'A', U'\u00FC', U'\u20AC', U'\U0001F600'}) (void)m.Width(m.Glyph(cp));
        // Only data that passed the sfnt check is ever subset.
        if (bytes.size() >= 4 && bytes.substr(0, 4) == std::string_view("\x00\x01\x00\x00", 4)) {
            try {
                (void)velkaro::SubsetFontProgram(bytes, used, "Fuzz");
                (void)velkaro::TTextShaper(bytes).ShapeRightToLeft(U"\u0634\u0631\u0643\u0629 (\u0644\u0627)");
            } catch (const velkaro::Exception&) {
            }
        }
    } catch (const velkaro::Exception&) {
    }
    return 0;
}
