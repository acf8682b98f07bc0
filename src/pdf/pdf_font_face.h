#pragma once
// Installed font files with their parsed tables, shared read-only by every document of
// the process: each file is read, parsed and compressed once.
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "pdf/pdf_font_tables.h"

namespace velkaro {

class TFontSubsetter;
class TTextShaper;

// The glyphs of one font that a document shows, each with the first characters it stood
// for: one as a rule, several for a ligature, none for a further glyph of a character
// (.notdef with U+FFFD).
using TGlyphUse = std::map<uint16_t, std::u32string>;

// A font program as a stream carries it: the deflated bytes and the length before.
struct TFontProgram {
    size_t Length = 0;
    std::string Deflated;
};

class TFontFace {
public:
    // Parses the data; raises the table errors naming `face`.
    TFontFace(std::string data, const std::string& face);
    const std::string& Data() const { return FData; }
    const TFontMetrics& Metrics() const { return FMetrics; }
    // The whole file deflated, for documents that embed it complete; made on first use,
    // thread-safe.
    const std::string& Deflated() const;
    // The subset of the glyphs a document uses, deflated. The last few subsets are kept,
    // since the invoices of one run mostly show the same letters; thread-safe.
    std::shared_ptr<const TFontProgram> DeflatedSubset(const TGlyphUse& used, const std::string& name) const;
    // HarfBuzz on this file for right-to-left text; made on first use, thread-safe.
    const TTextShaper& Shaper() const;

    ~TFontFace();
    TFontFace(const TFontFace&) = delete;
    TFontFace& operator=(const TFontFace&) = delete;

private:
    std::string FData;
    TFontMetrics FMetrics;
    mutable std::once_flag FShaperOnce;
    mutable std::unique_ptr<TTextShaper> FShaper;
    mutable std::once_flag FDeflateOnce;
    mutable std::string FDeflated;
    mutable std::mutex FSubsetMutex;
    mutable std::unique_ptr<TFontSubsetter> FSubsetter;
    mutable std::map<TGlyphUse, std::shared_ptr<const TFontProgram>> FSubsets;
    mutable std::deque<TGlyphUse> FSubsetOrder; // oldest first
};

// The installed face for (face, bold) from the process-wide cache; a failure is not
// cached, so the next request tries again.
std::shared_ptr<const TFontFace> CachedFontFace(const std::string& face, bool bold);

// Another installed TrueType font that has the character, in the order fontconfig's
// fallback tries them for (face, bold); nullptr when no installed font has it. Answers
// are kept for the process, found or not.
std::shared_ptr<const TFontFace> CachedFallbackFace(const std::string& face, bool bold, char32_t cp);

} // namespace velkaro
