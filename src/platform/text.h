#pragma once
// Text helpers shared by every layer. Text is UTF-8 in std::string.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace velkaro {

// The bytes that trimming removes: the codes up to U+0020 (blank and the control characters).
bool IsBlankByte(char c);

// Removes the characters with codes up to U+0020 at both ends (resp. one end).
std::string Trim(std::string_view s);
std::string TrimLeft(std::string_view s);
std::string TrimRight(std::string_view s);
// The same as views into `s`.
std::string_view TrimView(std::string_view s);
std::string_view TrimLeftView(std::string_view s);
std::string_view TrimRightView(std::string_view s);

// Converts the ASCII letters only; every other byte stays as it is.
std::string UpperAscii(std::string_view s);
std::string LowerAscii(std::string_view s);

// Equality and ordering without regard to ASCII letter case.
bool SameText(std::string_view a, std::string_view b);
int CompareText(std::string_view a, std::string_view b);
struct CaseInsensitiveLess {
    using is_transparent = void;
    bool operator()(std::string_view a, std::string_view b) const { return CompareText(a, b) < 0; }
};

bool StartsWithText(std::string_view s, std::string_view prefix); // ASCII case-insensitive
std::string ReplaceAll(std::string_view s, std::string_view from, std::string_view to);
std::vector<std::string> Split(std::string_view s, char separator);
std::string Join(const std::vector<std::string>& parts, std::string_view separator);
// Reads exactly `count` ASCII digits at `pos` (fixed-width date and time fields) and
// moves `pos` past them; false, with `pos` unchanged, when they are not all there.
bool ReadFixedDigits(std::string_view s, size_t& pos, size_t count, int& value);

// Upper-case hexadecimal digits: the digit of the low four bits of `n`, the two digits of
// a byte, the four digits of a 16-bit unit (UTF-16 code unit).
char HexDigit(unsigned n);
void AppendHexByte(std::string& out, unsigned char byte);
void AppendHex16(std::string& out, unsigned unit);

// Text for one line of a log (batch log, sent-mail log, stderr): every control character
// (U+0000-U+001F, U+007F, U+0080-U+009F) and the Unicode line and paragraph separators
// become one blank, a CR LF pair one blank in all. So a line break inside a message or a
// value can never start a line of its own. A blank rather than a visible symbol: it
// reads naturally where a message had its own line breaks, and it keeps the log plain
// for tools and editors without Unicode symbols.
std::string SingleLine(std::string_view s);

// --- Unicode conversions -------------------------------------------------
// Invalid UTF-8 sequences become U+FFFD; lone surrogates in UTF-16 become U+FFFD.
bool IsValidUtf8(std::string_view s);
std::string SanitizeUtf8(std::string_view s);
std::u32string Utf8ToUtf32(std::string_view s);
// The code point at s[i] (i < s.size()), advancing i past it; an ill-formed sequence
// gives U+FFFD and advances by one byte, as Utf8ToUtf32 reads it.
char32_t DecodeUtf8At(std::string_view s, size_t& i);
std::string Utf32ToUtf8(std::u32string_view s);
std::u16string Utf8ToUtf16(std::string_view s);
std::string Utf16ToUtf8(std::u16string_view s);
void AppendUtf8(std::string& out, char32_t cp);

// Windows code page 1252. Characters outside the code page become `replacement`.
std::string Utf8ToCp1252(std::string_view s, char replacement = '?');
std::string Cp1252ToUtf8(std::string_view s);
// The code page 1252 byte of a code point, or -1 when the code page has none.
int Cp1252FromCodePoint(char32_t cp);

// The first (last) `count` characters (code points) of UTF-8 text; all of it when shorter.
std::string Utf8Left(std::string_view s, size_t count);
std::string Utf8Right(std::string_view s, size_t count);

} // namespace velkaro
