#pragma once
// Text forms of the PDF writer: numbers, string operands, metadata strings and dates.
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

// zlib format (header and Adler-32 trailer), compression level 9.
std::string DeflateBytes(std::string_view data);

} // namespace velkaro
