#pragma once
// Metrics of a TrueType file as the PDF font objects need them, in thousandths of an em.
#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace velkaro {

struct TFontMetrics {
    std::array<int32_t, 256> Widths{}; // per Windows-1252 code; 0 for codes 0..31
    int32_t Ascent = 0;
    int32_t Descent = 0;
    int32_t CapHeight = 0;
    std::array<int32_t, 4> BBox{};     // xMin, yMin, xMax, yMax
    double ItalicAngle = 0;
};

// Reads head, hhea, hmtx, cmap (Windows Unicode BMP, format 4) and the optional OS/2
// and post tables. Every read is checked against the data: a truncated or damaged
// file raises a German error naming the face instead of reading past the end.
TFontMetrics ParseFontTables(std::string_view data, const std::string& face);

} // namespace velkaro
