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

// Adds a glyph that the page shows for some characters; the first text stays (a glyph
// first seen without text takes the first text that comes).
void RecordGlyph(TGlyphUse& used, uint16_t glyph, std::u32string_view text);

// One glyph as the page shows it, in the order of the page (left to right): the face
// that has it (the font's own, another installed font, or the own face's .notdef when
// none has it), its glyph there, and where it stands.
struct TShownGlyph {
    const TFontFace* Face = nullptr;
    uint16_t Glyph = 0;
    // What the glyph stands for: one character as a rule, several for a ligature, none
    // for a further glyph of the same character. Control characters read as a blank.
    // The characters of a right-to-left ligature are given as they stand on the page
    // (last first), since text extraction turns the whole right-to-left line round.
    std::u32string Text;
    bool Missing = false; // no installed font has the character
    double Advance = 0;   // thousandths of an em: where the next glyph starts
    double OffsetX = 0;   // thousandths of an em: shift of this glyph alone
    double OffsetY = 0;   // thousandths of an em, upwards
    // Shaped in a right-to-left run. Such a glyph may stand for another character than
    // elsewhere (a mirrored bracket), so the page shows it through a font resource of
    // its own with its own ToUnicode map.
    bool RightToLeft = false;
};

class TPdfFont {
public:
    // Loads the installed face (LoadFontData messages, table errors) through the cache.
    TPdfFont(const std::string& face, bool bold, const std::string& resName);
    // A font on a face that is already loaded (fallback faces, tests, other sources).
    TPdfFont(std::shared_ptr<const TFontFace> data, const std::string& face, bool bold, const std::string& resName);

    // The glyphs of one line of UTF-8 text in the order they stand on the page. The line
    // goes through the bidirectional algorithm (platform/bidi.h); left-to-right runs
    // show character by character, right-to-left runs are shaped (pdf_text_shape.h) in
    // one face per stretch, preferring the face of the character before. Control
    // characters (C0, DEL, C1) show as a blank, as they always have.
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
    // The glyph of one character in a left-to-right run.
    TShownGlyph PlainGlyph(char32_t c) const;
    // The face that shows `c`: `preferred` when it has it, else the own face, else an
    // installed fallback; nullptr when no installed font has it.
    const TFontFace* FaceFor(char32_t c, const TFontFace* preferred) const;
    // The glyphs of a right-to-left run (logical order in), leftmost first.
    void AppendRightToLeft(std::u32string_view text, std::vector<TShownGlyph>& out) const;

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
