#pragma once
// One installed TrueType face in one weight, embedded whole with the WinAnsi encoding.
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

#include "pdf/pdf_font_tables.h"

namespace velkaro {

class TPdfObjectWriter;

// The file of a face with its metrics and, once asked for, its deflated bytes. Shared
// read-only between fonts and documents, so a batch fetches, parses and compresses
// each face once.
class TFontFace {
public:
    TFontFace(std::string data, const std::string& face); // parses; raises on bad data
    const std::string& Data() const { return FData; }
    const TFontMetrics& Metrics() const { return FMetrics; }
    const std::string& Deflated() const; // computed on first use, thread-safe

private:
    std::string FData;
    TFontMetrics FMetrics;
    mutable std::once_flag FDeflateOnce;
    mutable std::string FDeflated;
};

// The installed face for (face, bold) from the process-wide cache; a failure is not
// cached, so the next request tries again.
std::shared_ptr<const TFontFace> CachedFontFace(const std::string& face, bool bold);

class TPdfFont {
public:
    // Loads the installed face (LoadFontData messages, table errors) through the cache.
    TPdfFont(const std::string& face, bool bold, const std::string& resName);
    // A font on file data that is already loaded (tests, other sources).
    TPdfFont(std::shared_ptr<const TFontFace> data, const std::string& face, bool bold, const std::string& resName);

    // Width of UTF-8 text at the size in points, in millimetres.
    double TextWidth(std::string_view s, double size) const;

    const std::string& ResName() const { return FResName; }
    const std::string& BaseFont() const { return FBaseFont; }
    const TFontMetrics& Metrics() const { return FFace->Metrics(); }
    const std::string& Data() const { return FFace->Data(); }

    // Object number of the font dictionary; descriptor and file follow. Set when saving.
    int ObjFont = 0;
    // Font dictionary, descriptor and font file at ObjFont, +1, +2.
    void WriteObjects(TPdfObjectWriter& w) const;

private:
    std::shared_ptr<const TFontFace> FFace;
    std::string FBaseFont;
    std::string FResName;
};

} // namespace velkaro
