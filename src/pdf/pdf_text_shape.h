#pragma once
// Glyph shaping of right-to-left text with HarfBuzz: joining forms of Arabic letters,
// ligatures (lam-alef), mark positions and mirrored brackets, as the face's layout
// tables ask for them. Left-to-right text keeps the plain glyph of each character.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

struct hb_font_t;

namespace velkaro {

// One glyph of a shaped run; distances in thousandths of an em.
struct TShapedGlyph {
    uint16_t Glyph = 0;
    size_t Cluster = 0;   // index of its first character in the shaped text
    double Advance = 0;   // how far the next glyph starts
    double OffsetX = 0;   // shift of this glyph alone (marks on their letters)
    double OffsetY = 0;   // upwards
};

// A HarfBuzz font on one TrueType file; the data must outlive it. Shaping is
// thread-safe.
class TTextShaper {
public:
    explicit TTextShaper(std::string_view data);
    ~TTextShaper();
    TTextShaper(const TTextShaper&) = delete;
    TTextShaper& operator=(const TTextShaper&) = delete;

    // The glyphs of a right-to-left text (logical order in), leftmost first.
    std::vector<TShapedGlyph> ShapeRightToLeft(std::u32string_view text) const;

private:
    hb_font_t* FFont = nullptr;
    double FScale = 1; // font units -> thousandths of an em
};

} // namespace velkaro
