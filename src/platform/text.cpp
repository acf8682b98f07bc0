#include "platform/text.h"

#include <algorithm>

namespace velkaro {

namespace {
char UpperChar(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }
char LowerChar(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }
} // namespace

bool IsBlankByte(char c) { return static_cast<unsigned char>(c) <= 0x20; }

std::string_view TrimLeftView(std::string_view s) {
    while (!s.empty() && IsBlankByte(s.front())) s.remove_prefix(1);
    return s;
}

std::string_view TrimRightView(std::string_view s) {
    while (!s.empty() && IsBlankByte(s.back())) s.remove_suffix(1);
    return s;
}

std::string_view TrimView(std::string_view s) { return TrimLeftView(TrimRightView(s)); }

std::string Trim(std::string_view s) { return std::string(TrimView(s)); }
std::string TrimLeft(std::string_view s) { return std::string(TrimLeftView(s)); }
std::string TrimRight(std::string_view s) { return std::string(TrimRightView(s)); }

std::string UpperAscii(std::string_view s) {
    std::string r(s);
    std::transform(r.begin(), r.end(), r.begin(), UpperChar);
    return r;
}

std::string LowerAscii(std::string_view s) {
    std::string r(s);
    std::transform(r.begin(), r.end(), r.begin(), LowerChar);
    return r;
}

int CompareText(std::string_view a, std::string_view b) {
    size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        unsigned char ca = static_cast<unsigned char>(LowerChar(a[i]));
        unsigned char cb = static_cast<unsigned char>(LowerChar(b[i]));
        if (ca != cb) return ca < cb ? -1 : 1;
    }
    if (a.size() == b.size()) return 0;
    return a.size() < b.size() ? -1 : 1;
}

bool SameText(std::string_view a, std::string_view b) { return a.size() == b.size() && CompareText(a, b) == 0; }

bool StartsWithText(std::string_view s, std::string_view prefix) {
    return s.size() >= prefix.size() && SameText(s.substr(0, prefix.size()), prefix);
}

std::string ReplaceAll(std::string_view s, std::string_view from, std::string_view to) {
    if (from.empty()) return std::string(s);
    std::string r;
    r.reserve(s.size());
    size_t pos = 0;
    while (true) {
        size_t hit = s.find(from, pos);
        if (hit == std::string_view::npos) break;
        r.append(s.substr(pos, hit - pos));
        r.append(to);
        pos = hit + from.size();
    }
    r.append(s.substr(pos));
    return r;
}

std::vector<std::string> Split(std::string_view s, char separator) {
    std::vector<std::string> parts;
    size_t pos = 0;
    while (true) {
        size_t hit = s.find(separator, pos);
        if (hit == std::string_view::npos) {
            parts.emplace_back(s.substr(pos));
            return parts;
        }
        parts.emplace_back(s.substr(pos, hit - pos));
        pos = hit + 1;
    }
}

std::string Join(const std::vector<std::string>& parts, std::string_view separator) {
    std::string r;
    for (size_t i = 0; i < parts.size(); ++i) {
        if (i) r.append(separator);
        r.append(parts[i]);
    }
    return r;
}

// --- UTF-8 decoding ---------------------------------------------------------

namespace {
constexpr char32_t kReplacement = 0xFFFD;

// Decodes one code point at s[i] and advances i. An ill-formed sequence (bad lead or
// continuation byte, overlong form, surrogate, beyond U+10FFFF) gives U+FFFD and
// advances by one byte only, so decoding always terminates.
char32_t DecodeOne(std::string_view s, size_t& i, bool& valid) {
    unsigned char c = static_cast<unsigned char>(s[i]);
    valid = true;
    if (c < 0x80) { ++i; return c; }
    int extra;
    char32_t cp;
    char32_t min;
    if ((c & 0xE0) == 0xC0) { extra = 1; cp = c & 0x1F; min = 0x80; }
    else if ((c & 0xF0) == 0xE0) { extra = 2; cp = c & 0x0F; min = 0x800; }
    else if ((c & 0xF8) == 0xF0) { extra = 3; cp = c & 0x07; min = 0x10000; }
    else { valid = false; ++i; return kReplacement; }
    if (i + static_cast<size_t>(extra) >= s.size()) { valid = false; ++i; return kReplacement; }
    for (int k = 1; k <= extra; ++k) {
        unsigned char cc = static_cast<unsigned char>(s[i + k]);
        if ((cc & 0xC0) != 0x80) { valid = false; ++i; return kReplacement; }
        cp = (cp << 6) | (cc & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) { valid = false; ++i; return kReplacement; }
    i += extra + 1;
    return cp;
}
} // namespace

void AppendUtf8(std::string& out, char32_t cp) {
    if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) cp = kReplacement;
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

bool IsValidUtf8(std::string_view s) {
    size_t i = 0;
    bool valid = true;
    while (i < s.size()) {
        DecodeOne(s, i, valid);
        if (!valid) return false;
    }
    return true;
}

std::string SanitizeUtf8(std::string_view s) {
    if (IsValidUtf8(s)) return std::string(s);
    std::string r;
    r.reserve(s.size() + 8);
    size_t i = 0;
    bool valid = true;
    while (i < s.size()) AppendUtf8(r, DecodeOne(s, i, valid));
    return r;
}

char32_t DecodeUtf8At(std::string_view s, size_t& i) {
    bool valid = true;
    return DecodeOne(s, i, valid);
}

std::u32string Utf8ToUtf32(std::string_view s) {
    std::u32string r;
    r.reserve(s.size());
    size_t i = 0;
    bool valid = true;
    while (i < s.size()) r.push_back(DecodeOne(s, i, valid));
    return r;
}

std::string Utf32ToUtf8(std::u32string_view s) {
    std::string r;
    r.reserve(s.size());
    for (char32_t cp : s) AppendUtf8(r, cp);
    return r;
}

std::u16string Utf8ToUtf16(std::string_view s) {
    std::u16string r;
    r.reserve(s.size());
    size_t i = 0;
    bool valid = true;
    while (i < s.size()) {
        char32_t cp = DecodeOne(s, i, valid);
        if (cp >= 0x10000) {
            cp -= 0x10000;
            r.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
            r.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
        } else {
            r.push_back(static_cast<char16_t>(cp));
        }
    }
    return r;
}

std::string Utf16ToUtf8(std::u16string_view s) {
    std::string r;
    r.reserve(s.size());
    for (size_t i = 0; i < s.size(); ++i) {
        char32_t c = s[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < s.size() && s[i + 1] >= 0xDC00 && s[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (s[i + 1] - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = kReplacement;
        }
        AppendUtf8(r, c);
    }
    return r;
}

// --- Windows-1252 -----------------------------------------------------------

namespace {
// Code points of the bytes 0x80..0x9F; 0 marks the five undefined bytes, which
// Windows maps to the C1 control of the same value.
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
    0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};
} // namespace

int Cp1252FromCodePoint(char32_t cp) {
    if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) return static_cast<int>(cp);
    for (int k = 0; k < 32; ++k) {
        char32_t mapped = kCp1252High[k] ? kCp1252High[k] : static_cast<char32_t>(0x80 + k);
        if (mapped == cp) return 0x80 + k;
    }
    return -1;
}

std::string Utf8ToCp1252(std::string_view s, char replacement) {
    std::string r;
    r.reserve(s.size());
    size_t i = 0;
    bool valid = true;
    while (i < s.size()) {
        int b = Cp1252FromCodePoint(DecodeOne(s, i, valid));
        r.push_back(b < 0 ? replacement : static_cast<char>(b));
    }
    return r;
}

std::string Cp1252ToUtf8(std::string_view s) {
    std::string r;
    r.reserve(s.size() + s.size() / 4);
    for (char ch : s) {
        unsigned char c = static_cast<unsigned char>(ch);
        char32_t cp = c;
        if (c >= 0x80 && c <= 0x9F && kCp1252High[c - 0x80]) cp = kCp1252High[c - 0x80];
        AppendUtf8(r, cp);
    }
    return r;
}

bool ReadFixedDigits(std::string_view s, size_t& pos, size_t count, int& value) {
    if (pos + count > s.size()) return false;
    int v = 0;
    for (size_t i = 0; i < count; ++i) {
        char c = s[pos + i];
        if (c < '0' || c > '9') return false;
        v = v * 10 + (c - '0');
    }
    value = v;
    pos += count;
    return true;
}

char HexDigit(unsigned n) { return "0123456789ABCDEF"[n & 0xF]; }

void AppendHexByte(std::string& out, unsigned char byte) {
    out += HexDigit(byte >> 4);
    out += HexDigit(byte);
}

void AppendHex16(std::string& out, unsigned unit) {
    for (int shift = 12; shift >= 0; shift -= 4) out += HexDigit(unit >> shift);
}

std::string SingleLine(std::string_view s) {
    std::string r;
    r.reserve(s.size());
    for (size_t i = 0; i < s.size(); ++i) {
        const auto c = static_cast<unsigned char>(s[i]);
        if (c == '\r' && i + 1 < s.size() && s[i + 1] == '\n') {
            r += ' ';
            ++i;
        } else if (c < 0x20 || c == 0x7F) {
            r += ' ';
        } else if (c == 0xC2 && i + 1 < s.size() && static_cast<unsigned char>(s[i + 1]) <= 0x9F &&
                   static_cast<unsigned char>(s[i + 1]) >= 0x80) {
            r += ' ';  // C1 control, e.g. U+0085 NEXT LINE
            ++i;
        } else if (s.substr(i, 3) == "\u2028" || s.substr(i, 3) == "\u2029") {
            r += ' ';
            i += 2;
        } else {
            r += static_cast<char>(c);
        }
    }
    return r;
}

std::string Utf8Left(std::string_view s, size_t count) {
    std::u32string cps = Utf8ToUtf32(s);
    if (cps.size() <= count) return std::string(s);
    return Utf32ToUtf8(std::u32string_view(cps).substr(0, count));
}

std::string Utf8Right(std::string_view s, size_t count) {
    std::u32string cps = Utf8ToUtf32(s);
    if (cps.size() <= count) return std::string(s);
    return Utf32ToUtf8(std::u32string_view(cps).substr(cps.size() - count));
}

} // namespace velkaro
