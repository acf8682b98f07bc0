#pragma once
// One font resource of a document: an installed TrueType face in one weight, written as
// a composite font (Type0, CIDFontType2, Identity-H) whose embedded program holds the
// glyphs the document shows, with their widths and a ToUnicode map for copying text.
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "pdf/pdf_font_face.h"

namespace velkaro {

class TPdfObjectWriter;

// Adds a glyph that the page shows for a character; the first character stays.
void RecordGlyph(TGlyphUse& used, uint16_t glyph, char32_t ch);

// One character as the page shows it: the face that has it (the font's own, another
// installed font, or the own face's .notdef when none has it) and its glyph there.
struct TShownGlyph {
    const TFontFace* Face = nullptr;
    uint16_t Glyph = 0;
    char32_t Char = 0;    // what the glyph stands for; control characters read as blank
    bool Missing = false; // no installed font has the character
};

class TPdfFont {
public:
    // Loads the installed face (LoadFontData messages, table errors) through the cache.
    TPdfFont(const std::string& face, bool bold, const std::string& resName);
    // A font on a face that is already loaded (fallback faces, tests, other sources).
    TPdfFont(std::shared_ptr<const TFontFace> data, const std::string& face, bool bold, const std::string& resName);

    // The glyphs of UTF-8 text, character by character. Control characters (C0, DEL,
    // C1) show as a blank, as they always have.
    std::vector<TShownGlyph> Glyphs(std::string_view s) const;
    // Width of UTF-8 text at the size in points, in millimetres: the advances of the
    // glyphs that Glyphs picks, each in its own face.
    double TextWidth(std::string_view s, double size) const;

    const std::string& ResName() const { return FResName; }
    const std::string& FaceName() const { return FFaceName; }
    bool Bold() const { return FBold; }
    const TFontFace& Face() const { return *FFace; }
    const TFontMetrics& Metrics() const { return FFace->Metrics(); }
    const std::string& Data() const { return FFace->Data(); }

    // "<tag>+<PostScript name>" for the subset of `used`, the PostScript name for the
    // whole file.
    std::string BaseFont(const TGlyphUse& used, bool whole) const;

    // Object number of the Type0 font; descendant, descriptor, font file and ToUnicode
    // follow. Set when saving.
    int ObjFont = 0;
    static constexpr int kObjectCount = 5;
    // Writes the five objects for the glyphs a document used; `whole` embeds the
    // complete file instead of their subset.
    void WriteObjects(TPdfObjectWriter& w, const TGlyphUse& used, bool whole) const;

private:
    std::shared_ptr<const TFontFace> FFace;
    std::string FFaceName;
    bool FBold = false;
    std::string FResName;
};

// The ToUnicode CMap of glyph -> character (UTF-16BE code units).
std::string ToUnicodeCMap(const TGlyphUse& glyphs);
// The /W array of the glyphs' widths: runs of consecutive glyph ids share one entry.
std::string CidWidths(const TGlyphUse& glyphs, const TFontMetrics& metrics);

} // namespace velkaro
