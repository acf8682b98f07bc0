#include "pdf/pdf_document.h"

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

void TPdfDocument::TextOut(double x, double y, std::string_view s) {
    const TPdfFont& font = SelectedFont();
    if (s.empty()) return;
    Current() += "BT /" + font.ResName() + " " + Num(FFontSize) + " Tf " + Num(X(x)) + " " + Num(Y(y)) + " Td " +
                 EncodeTextOperand(s) + " Tj ET\n";
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
    auto breakLongLine = [&] {
        while (!current.empty() && TextWidth(current) > maxWidth) {
            std::u32string cps = Utf8ToUtf32(current);
            size_t take = cps.size();
            while (take > 1 && TextWidth(Utf32ToUtf8(cps.substr(0, take))) > maxWidth) --take;
            lines.push_back(Utf32ToUtf8(cps.substr(0, take)));
            current = Utf32ToUtf8(cps.substr(take));
        }
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
    return lines;
}

} // namespace velkaro
