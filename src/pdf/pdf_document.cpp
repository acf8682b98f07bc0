#include "pdf/pdf_document.h"

#include <algorithm>
#include <cmath>

#include "platform/bidi.h"
#include "platform/error.h"
#include "platform/text.h"

namespace velkaro {

namespace {
// Short tag of this writer's build, shown in the producer entry.
constexpr const char* kBuildTag = "pdfw-1";
std::string Num(double v) { return FormatPdfNumber(v); }
} // namespace

TPdfDocument::TPdfDocument(const std::string& iccFile)
    : Creator("Velkaro"), Producer(std::string("Velkaro (") + kBuildTag + ")"), FIccFile(iccFile) {}

TPdfFont& TPdfDocument::AddFont(const std::string& face, bool bold) {
    auto font = std::make_unique<TPdfFont>(face, bold, "F" + std::to_string(FFonts.size() + 1));
    FFonts.push_back(std::move(font));
    return *FFonts.back();
}

TPdfImage& TPdfDocument::AddImageFile(const std::string& fileName) {
    for (auto& img : FImages)
        if (SameText(img->Source(), fileName)) return *img;
    auto img = TPdfImage::CreateFromFile(fileName, "Im" + std::to_string(FImages.size() + 1));
    img->SetSource(fileName);
    FImages.push_back(std::move(img));
    return *FImages.back();
}

void TPdfDocument::AddAttachment(const std::string& fileName, const std::string& mime,
                                 const std::string& description, const std::string& relationship,
                                 std::string data) {
    FAttachments.push_back({fileName, mime, description, relationship, std::move(data), 0, 0});
}

void TPdfDocument::NewPage() {
    FPages.emplace_back();
    FCur = static_cast<int>(FPages.size()) - 1;
    FFont = nullptr;
}

void TPdfDocument::SelectPage(int index) {
    if (index < 0 || index >= PageCount())
        throw Exception("Listenindex überschreitet das Maximum (" + std::to_string(index) + ")");
    FCur = index;
    FFont = nullptr;
}

std::string& TPdfDocument::Current() {
    if (FCur < 0) throw Exception("Keine Seite angelegt");
    return FPages[FCur];
}

const TPdfFont& TPdfDocument::SelectedFont() const {
    if (!FFont) throw Exception("Keine Schrift gesetzt");
    return *FFont;
}

void TPdfDocument::SetFont(const TPdfFont& font, double size) {
    FFont = &font;
    FFontSize = size;
}

void TPdfDocument::SetColor(int r, int g, int b) {
    Current() += Num(r / 255.0) + " " + Num(g / 255.0) + " " + Num(b / 255.0) + " rg\n";
}

void TPdfDocument::SetStrokeColor(int r, int g, int b) {
    Current() += Num(r / 255.0) + " " + Num(g / 255.0) + " " + Num(b / 255.0) + " RG\n";
}

const TGlyphUse& TPdfDocument::UsedGlyphs(const TPdfFont& font) const {
    static const TGlyphUse kNone;
    auto it = FUsed.find(&font);
    return it == FUsed.end() ? kNone : it->second;
}

const TPdfFont& TPdfDocument::FallbackFont(const TFontFace& face, const TPdfFont& font, bool rightToLeft) {
    auto key = std::make_tuple(&face, font.Bold(), rightToLeft);
    auto it = FFallbackFonts.find(key);
    if (it != FFallbackFonts.end()) return *it->second;
    // Fallback faces stay in the process-wide cache for good and the own face lives with
    // `font`, so the new font need not own it.
    std::shared_ptr<const TFontFace> unowned(std::shared_ptr<const TFontFace>(), &face);
    std::string name = face.Metrics().PostScriptName.empty() ? font.FaceName() : face.Metrics().PostScriptName;
    FFonts.push_back(std::make_unique<TPdfFont>(unowned, name, font.Bold(), "F" + std::to_string(FFonts.size() + 1)));
    FFallbackFonts.emplace(key, FFonts.back().get());
    return *FFonts.back();
}

namespace {

// The glyph-showing operators of one text object: "<glyphs> Tj" while every glyph stands
// where the one before ended, "[<glyphs> n <glyphs>] TJ" where shaping moved one.
class TGlyphShow {
public:
    explicit TGlyphShow(std::string& text) : FText(text) {}
    void Glyph(uint16_t g) { FGlyphs.push_back(g); }
    // Moves the next glyph by -n thousandths of an em (the TJ operand).
    void Adjust(double n) {
        if (std::fabs(n) < 0.0005) return;
        if (!FGlyphs.empty()) FArray += PdfGlyphString(FGlyphs) + " ";
        FGlyphs.clear();
        FArray += Num(n) + " ";
        FAdjusted = true;
    }
    void Flush() {
        if (FAdjusted) {
            if (!FGlyphs.empty()) FArray += PdfGlyphString(FGlyphs) + " ";
            FArray.pop_back();
            FText += " [" + FArray + "] TJ";
        } else if (!FGlyphs.empty()) {
            FText += " " + PdfGlyphString(FGlyphs) + " Tj";
        }
        FGlyphs.clear();
        FArray.clear();
        FAdjusted = false;
    }

private:
    std::string& FText;
    std::vector<uint16_t> FGlyphs;
    std::string FArray;
    bool FAdjusted = false;
};

} // namespace

void TPdfDocument::TextOut(double x, double y, std::string_view s) {
    const TPdfFont& font = SelectedFont();
    if (s.empty()) return;
    std::string& page = Current();
    std::string text = "BT";
    TGlyphShow show(text);
    const TPdfFont* run = nullptr;
    // Thousandths of an em from x: where the text position stands after the glyphs
    // shown (each moves it by its width in the font's /W), and where shaping wants it.
    double placed = 0, wanted = 0, rise = 0;
    for (const TShownGlyph& g : font.Glyphs(s)) {
        const TPdfFont& target =
            g.Face == &font.Face() && !g.RightToLeft ? font : FallbackFont(*g.Face, font, g.RightToLeft);
        if (&target != run) {
            show.Flush();
            text += " /" + target.ResName() + " " + Num(FFontSize) + " Tf";
            if (!run) text += " " + Num(X(x)) + " " + Num(Y(y)) + " Td";
            run = &target;
        }
        if (std::fabs(g.OffsetY - rise) >= 0.0005) {
            show.Flush();
            rise = g.OffsetY;
            text += " " + Num(rise * FFontSize / 1000.0) + " Ts";
        }
        show.Adjust(placed - (wanted + g.OffsetX));
        show.Glyph(g.Glyph);
        placed = wanted + g.OffsetX + g.Face->Metrics().Width(g.Glyph);
        wanted += g.Advance;
        RecordGlyph(FUsed[run], g.Glyph, g.Text);
        if (g.Missing && std::find(FMissing.begin(), FMissing.end(), g.Text[0]) == FMissing.end())
            FMissing.push_back(g.Text[0]);
    }
    show.Flush();
    if (rise != 0) text += " 0 Ts"; // the rise outlives the text object
    page += text + " ET\n";
}

void TPdfDocument::TextRight(double xRight, double y, std::string_view s) {
    TextOut(xRight - TextWidth(s), y, s);
}

void TPdfDocument::TextCenter(double xCenter, double y, std::string_view s) {
    TextOut(xCenter - TextWidth(s) / 2, y, s);
}

void TPdfDocument::Line(double x1, double y1, double x2, double y2, double width) {
    Current() += Num(X(width)) + " w " + Num(X(x1)) + " " + Num(Y(y1)) + " m " + Num(X(x2)) + " " + Num(Y(y2)) +
                 " l S\n";
}

void TPdfDocument::FillRect(double x, double y, double w, double h) {
    Current() += Num(X(x)) + " " + Num(Y(y + h)) + " " + Num(X(w)) + " " + Num(X(h)) + " re f\n";
}

void TPdfDocument::DrawImage(const TPdfImage& img, double x, double y, double w, double h) {
    Current() += "q " + Num(X(w)) + " 0 0 " + Num(X(h)) + " " + Num(X(x)) + " " + Num(Y(y + h)) + " cm /" +
                 img.ResName() + " Do Q\n";
}

double TPdfDocument::TextWidth(std::string_view s) const {
    return SelectedFont().TextWidth(s, FFontSize);
}

std::vector<std::string> TPdfDocument::WrapText(std::string_view s, double maxWidth) const {
    std::vector<std::string> lines;
    std::string current;
    // A word wider than the line is cut into the longest pieces that fit (at least one
    // character each). The piece is found by doubling its length and then halving the
    // gap, so a word of n characters costs about n log n measured characters, not n³.
    auto breakLongLine = [&] {
        if (current.empty() || TextWidth(current) <= maxWidth) return;
        const std::u32string cps = Utf8ToUtf32(current);
        std::u32string_view rest = cps;
        auto fits = [&](size_t n) { return TextWidth(Utf32ToUtf8(rest.substr(0, n))) <= maxWidth; };
        while (rest.size() > 1 && !fits(rest.size())) {
            size_t good = 1;  // taken even when it does not fit: every piece moves on
            size_t bad = rest.size();
            for (size_t n = 2; n < bad; n *= 2) {
                if (!fits(n)) {
                    bad = n;
                    break;
                }
                good = n;
            }
            while (bad - good > 1) {
                const size_t mid = good + (bad - good) / 2;
                (fits(mid) ? good : bad) = mid;
            }
            lines.push_back(Utf32ToUtf8(rest.substr(0, good)));
            rest.remove_prefix(good);
        }
        current = Utf32ToUtf8(rest);
    };
    for (const std::string& word : Split(s, ' ')) {
        if (word.empty()) continue;
        std::string candidate = current.empty() ? word : current + " " + word;
        if (TextWidth(candidate) <= maxWidth) {
            current = std::move(candidate);
            continue;
        }
        if (!current.empty()) lines.push_back(current);
        current = word;
        breakLongLine();
    }
    if (!current.empty()) lines.push_back(current);
    if (lines.empty()) lines.emplace_back();
    if (lines.size() > 1 && IsRightToLeftLine(Utf8ToUtf32(s)))
        for (std::string& line : lines)
            if (!IsRightToLeftLine(Utf8ToUtf32(line))) line = "\u200F" + line;
    return lines;
}

} // namespace velkaro
