#pragma once
// The font program embedded for a document: the glyphs it shows, cut out of the file
// with HarfBuzz's subsetter.
#include <cstdint>
#include <map>
#include <string>
#include <string_view>

struct hb_face_t;

namespace velkaro {

// One font file made ready for subsetting many times (a HarfBuzz face on the data);
// the data must outlive it. Subset may be called from several threads.
class TFontSubsetter {
public:
    TFontSubsetter(std::string_view data, const std::string& face);
    ~TFontSubsetter();
    TFontSubsetter(const TFontSubsetter&) = delete;
    TFontSubsetter& operator=(const TFontSubsetter&) = delete;

    // The TrueType file with only the outlines of `glyphs` (and .notdef) and a cmap of
    // the characters they stand for; glyph ids stay as they are, so the page content and
    // the widths refer to the same glyphs in both files. Layout tables (GSUB, GPOS,
    // kern, …) are left out: the PDF positions every glyph itself. Raises "Schrift … konnte
    // nicht auf die verwendeten Zeichen reduziert werden" when HarfBuzz refuses.
    std::string Subset(const std::map<uint16_t, std::u32string>& glyphs) const;

private:
    hb_face_t* FFace = nullptr;
    std::string FName;
};

// The same for a file used once.
std::string SubsetFontProgram(std::string_view data, const std::map<uint16_t, std::u32string>& glyphs,
                              const std::string& face);

} // namespace velkaro
