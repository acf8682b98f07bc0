#pragma once
// Text forms of the PDF writer: numbers, string operands, metadata strings and dates.
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/datetime.h"

namespace velkaro {

// "0.###" with invariant settings: at most three decimals, "." as separator, no
// grouping, no exponent, trailing zeros and a bare point dropped.
std::string FormatPdfNumber(double value);

// The text operand of glyph ids for an Identity-H font: "<" + four hex digits per
// glyph + ">".
std::string PdfGlyphString(const std::vector<uint16_t>& glyphs);

// Text as the metadata may carry it: what XML 1.0 does not allow cannot stand in the
// XMP packet, and the information dictionary must say the same. Invalid UTF-8 becomes
// U+FFFD, tab, LF and CR become blanks, the other control characters and U+FFFE/U+FFFF
// are dropped; valid text without control characters stays as it is.
std::string PdfMetadataText(std::string_view utf8);

// "<FEFF" + UTF-16 code units of PdfMetadataText(utf8) as upper-case hex + ">".
std::string PdfHexString(std::string_view utf8);
// ASCII literal string: ( ) \ escaped, characters outside U+0020..U+007E become "_".
std::string PdfLiteralString(std::string_view utf8);
// PdfMetadataText with & < > as entities, for the XMP packet; quotes stay.
std::string XmpEscape(std::string_view text);

struct TPdfDates {
    std::string Pdf; // D:yyyymmddhhnnss+hh'mm'
    std::string Xmp; // yyyy-mm-ddThh:nn:ss+hh:mm
};
// Both date forms of a local time (whole seconds) with the zone's offset from UTC.
TPdfDates MakePdfDates(TDateTime local, int utcOffsetMinutes);

// libdeflate's compression levels (1 to 12) for the kinds of PDF data, each where the
// time begins to grow much faster than the size shrinks. Page content, character maps
// and font programs: level 6, smaller than zlib's level 9 in a third of the time. Long,
// repetitive XML gains markedly up to level 8 (an invoice's XML 8 to 10 % smaller than
// at level 6) and hardly beyond.
inline constexpr int kDeflateLevel = 6;
inline constexpr int kDeflateLevelXml = 8;

// zlib format (header and Adler-32 trailer) through libdeflate (pdf_deflate.cpp).
std::string DeflateBytes(std::string_view data, int level = kDeflateLevel);
// The same for data that many documents of a process carry unchanged (the ICC profile,
// the character map of a font subset): deflated once and kept by its content, shared
// between threads; the least recently asked-for leaves when the cache is full.
std::shared_ptr<const std::string> DeflateConstant(std::string_view data);

} // namespace velkaro
