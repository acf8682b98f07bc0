#pragma once
// The Unicode bidirectional algorithm for one printed line (FriBidi): the direction of
// the line and its runs in the order they stand on the page, left to right. Lines
// without right-to-left characters are one left-to-right run, so Latin text takes no
// detour.
#include <cstddef>
#include <string_view>
#include <vector>

namespace velkaro {

// A stretch of characters of the line (indices into the UTF-32 text, logical order)
// with one direction. A right-to-left run is shown with its last character leftmost.
struct TBidiRun {
    size_t Start = 0;
    size_t Length = 0;
    bool RightToLeft = false;
};

// True when the line holds a character of a right-to-left script (Hebrew, Arabic,
// Syriac, Thaana, N'Ko …) or a right-to-left embedding, override or isolate.
bool HasRightToLeft(std::u32string_view line);

// The direction of the line as a whole: that of its first strong character (rules P2
// and P3 of the algorithm); left to right when it has none.
bool IsRightToLeftLine(std::u32string_view line);

// The runs of the line in visual order, left to right, after the rules of the algorithm
// up to L2 (levels, brackets, reordering of the line). The runs cover every character
// once. Mirroring of brackets in right-to-left runs is left to the glyph shaping.
std::vector<TBidiRun> VisualRuns(std::u32string_view line);

} // namespace velkaro
