#pragma once
// The program's own PDF/A-3 writer: an A4 document held in memory (pages as content
// text, fonts, images, embedded files), saved as one file. Callers measure in
// millimetres from the top-left corner, y downwards; font sizes are in points.
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

#include "pdf/pdf_font.h"
#include "pdf/pdf_format.h"
#include "pdf/pdf_image.h"

namespace velkaro {

struct TPdfAttachment {
    std::string FileName;
    std::string MimeType;
    std::string Description;
    std::string Relationship; // PDF name without the slash, e.g. "Alternative"
    std::string Data;
    int ObjStream = 0; // set when saving
    int ObjSpec = 0;
};

class TPdfDocument {
public:
    explicit TPdfDocument(const std::string& iccFile);
    TPdfDocument(const TPdfDocument&) = delete;
    TPdfDocument& operator=(const TPdfDocument&) = delete;

    // A new font F<n>; errors of font loading pass through and add nothing.
    TPdfFont& AddFont(const std::string& face, bool bold);
    // Embed the complete font files instead of the glyphs the pages show (the same
    // composite fonts; for users whose later processing edits the text).
    bool WholeFonts = false;
    // The image of that file (same name without regard to case gives the same image),
    // else a new image Im<n>.
    TPdfImage& AddImageFile(const std::string& fileName);
    void AddAttachment(const std::string& fileName, const std::string& mime, const std::string& description,
                       const std::string& relationship, std::string data);

    void NewPage();
    int PageCount() const { return static_cast<int>(FPages.size()); }
    void SelectPage(int index);

    void SetFont(const TPdfFont& font, double size);
    void SetColor(int r, int g, int b);
    void SetStrokeColor(int r, int g, int b);
    void TextOut(double x, double y, std::string_view s);
    void TextRight(double xRight, double y, std::string_view s);
    void TextCenter(double xCenter, double y, std::string_view s);
    void Line(double x1, double y1, double x2, double y2, double width);
    void FillRect(double x, double y, double w, double h);
    void DrawImage(const TPdfImage& img, double x, double y, double w, double h);

    double TextWidth(std::string_view s) const;
    std::vector<std::string> WrapText(std::string_view s, double maxWidth) const;

    // Writes the PDF/A-3 file: built in memory, then put in place atomically.
    void SaveToFile(const std::string& fileName);
    // The complete file as written by SaveToFile with the given dates.
    std::string BuildFile(const std::string& fileName, const TPdfDates& dates);
    std::string BuildXmpPacket(const TPdfDates& dates) const;

    // Read access for tests and callers.
    const std::string& PageContent(int index) const { return FPages.at(index); }
    const std::vector<std::unique_ptr<TPdfFont>>& Fonts() const { return FFonts; }
    // The glyphs of a font that the pages show (empty for a font without text).
    const TGlyphUse& UsedGlyphs(const TPdfFont& font) const;
    // Characters that no installed font has, in the order they first appeared; the
    // pages show them as .notdef.
    const std::vector<char32_t>& MissingCharacters() const { return FMissing; }
    const std::vector<std::unique_ptr<TPdfImage>>& Images() const { return FImages; }
    const std::vector<TPdfAttachment>& Attachments() const { return FAttachments; }
    double PageWidth() const { return FPageWidth; }
    double PageHeight() const { return FPageHeight; }

    std::string Title, Author, Subject, Creator, Producer, Keywords;
    bool FacturX = false;
    std::string FacturXFileName = "factur-x.xml";
    std::string FacturXConformance = "EN 16931";
    std::string FacturXDocType = "INVOICE";

private:
    std::string& Current();
    const TPdfFont& SelectedFont() const;
    // The document's font for another face that stands in for missing characters of
    // `font`, or for the glyphs of right-to-left runs (of any face, the own as well),
    // added as the next F<n> on first use.
    const TPdfFont& FallbackFont(const TFontFace& face, const TPdfFont& font, bool rightToLeft);
    double X(double mm) const { return mm * 72.0 / 25.4; }
    double Y(double mm) const { return FPageHeight - mm * 72.0 / 25.4; }

    std::vector<std::unique_ptr<TPdfFont>> FFonts;
    std::vector<std::unique_ptr<TPdfImage>> FImages;
    std::vector<std::string> FPages;
    std::vector<TPdfAttachment> FAttachments;
    std::map<const TPdfFont*, TGlyphUse> FUsed;
    std::map<std::tuple<const TFontFace*, bool, bool>, const TPdfFont*> FFallbackFonts;
    std::vector<char32_t> FMissing;
    int FCur = -1;                 // index of the current page
    const TPdfFont* FFont = nullptr; // selected on the current page
    double FFontSize = 0;
    std::string FIccFile;
    double FPageWidth = 595.28;
    double FPageHeight = 841.89;
};

} // namespace velkaro
