#include "platform/html_file.h"

#include <string>
#include <string_view>

#include "platform/error.h"
#include "platform/files.h"
#include "platform/regex.h"
#include "platform/text.h"

namespace velkaro {

namespace {

constexpr size_t kCharsetSearchBytes = 4096;

std::string Utf16ToUtf8Bytes(std::string_view bytes, bool bigEndian) {
    std::u16string units;
    units.reserve(bytes.size() / 2);
    // An odd last byte is no code unit and is dropped.
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
        auto hi = static_cast<unsigned char>(bytes[bigEndian ? i : i + 1]);
        auto lo = static_cast<unsigned char>(bytes[bigEndian ? i + 1 : i]);
        units.push_back(static_cast<char16_t>((hi << 8) | lo));
    }
    return Utf16ToUtf8(units);
}

// The character set an HTML file declares near its start, or empty.
std::string DeclaredCharset(std::string_view bytes) {
    // Only ASCII is matched, so searching the raw bytes equals searching their
    // Windows-1252 reading.
    static const TRegex kCharset(R"(charset\s*=\s*["']?([A-Za-z0-9_\-]+))", roIgnoreCase);
    auto match = kCharset.Find(bytes.substr(0, kCharsetSearchBytes));
    return match ? std::string(match->Group(1)) : std::string();
}

// The bytes as UTF-8 by their byte-order mark or declared charset.
std::string DecodeHtmlBytes(std::string_view view) {
    if (view.starts_with(kUtf8Bom)) return SanitizeUtf8(view.substr(kUtf8Bom.size()));
    if (view.starts_with("\xFF\xFE")) return Utf16ToUtf8Bytes(view.substr(2), false);
    if (view.starts_with("\xFE\xFF")) return Utf16ToUtf8Bytes(view.substr(2), true);

    std::string charset = DeclaredCharset(view);
    if (SameText(charset, "windows-1252") || SameText(charset, "iso-8859-1")) return Cp1252ToUtf8(view);
    return SanitizeUtf8(view);
}

} // namespace

std::string LoadHtmlFile(const std::string& fileName) {
    std::string text = DecodeHtmlBytes(ReadFileBytes(fileName, kMaxHtmlFileBytes));
    if (HoldsControlBytes(text))
        throw Exception("Datei \"" + fileName + "\" ist keine Textdatei und kann nicht gelesen werden.");
    return text;
}

} // namespace velkaro
