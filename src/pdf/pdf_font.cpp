#include "pdf/pdf_font.h"

#include <map>

#include "pdf/pdf_format.h"
#include "pdf/pdf_object_writer.h"
#include "media/font_file.h"
#include "platform/text.h"

namespace velkaro {

TFontFace::TFontFace(std::string data, const std::string& face)
    : FData(std::move(data)), FMetrics(ParseFontTables(FData, face)) {}

const std::string& TFontFace::Deflated() const {
    std::call_once(FDeflateOnce, [this] { FDeflated = DeflateBytes(FData); });
    return FDeflated;
}

std::shared_ptr<const TFontFace> CachedFontFace(const std::string& face, bool bold) {
    static std::mutex mutex;
    static std::map<std::pair<std::string, bool>, std::shared_ptr<const TFontFace>> cache;
    // Face names are not case-sensitive for the font lookup.
    auto key = std::make_pair(LowerAscii(face), bold);
    {
        std::lock_guard<std::mutex> lock(mutex);
        auto it = cache.find(key);
        if (it != cache.end()) return it->second;
    }
    auto loaded = std::make_shared<const TFontFace>(LoadFontData(face, bold), face);
    std::lock_guard<std::mutex> lock(mutex);
    return cache.emplace(key, loaded).first->second;
}

namespace {
std::string BaseFontName(const std::string& face, bool bold) {
    std::string name = ReplaceAll(face, " ", "");
    if (bold) name += "-Bold";
    return name;
}
} // namespace

TPdfFont::TPdfFont(const std::string& face, bool bold, const std::string& resName)
    : TPdfFont(CachedFontFace(face, bold), face, bold, resName) {}

TPdfFont::TPdfFont(std::shared_ptr<const TFontFace> data, const std::string& face, bool bold,
                   const std::string& resName)
    : FFace(std::move(data)), FBaseFont(BaseFontName(face, bold)), FResName(resName) {}

double TPdfFont::TextWidth(std::string_view s, double size) const {
    const auto& widths = FFace->Metrics().Widths;
    int64_t sum = 0;
    for (char ch : Utf8ToCp1252(s, '?')) sum += widths[static_cast<unsigned char>(ch)];
    return size * static_cast<double>(sum) / 1000.0 * 25.4 / 72.0;
}

void TPdfFont::WriteObjects(TPdfObjectWriter& w) const {
    const TFontMetrics& m = FFace->Metrics();
    std::string text = "<< /Type /Font /Subtype /TrueType /BaseFont /" + FBaseFont +
                       " /FirstChar 32 /LastChar 255 /Widths [";
    for (int c = 32; c < 256; ++c) {
        if (c > 32) text += ' ';
        text += std::to_string(m.Widths[c]);
    }
    text += "] /Encoding /WinAnsiEncoding /FontDescriptor " + std::to_string(ObjFont + 1) + " 0 R >>\nendobj\n";
    w.WriteObject(ObjFont, text);

    w.WriteObject(ObjFont + 1, "<< /Type /FontDescriptor /FontName /" + FBaseFont + " /Flags 32 /FontBBox [" +
                                   std::to_string(m.BBox[0]) + " " + std::to_string(m.BBox[1]) + " " +
                                   std::to_string(m.BBox[2]) + " " + std::to_string(m.BBox[3]) +
                                   "] /ItalicAngle " + FormatPdfNumber(m.ItalicAngle) + " /Ascent " +
                                   std::to_string(m.Ascent) + " /Descent " + std::to_string(m.Descent) +
                                   " /CapHeight " + std::to_string(m.CapHeight) + " /StemV 80 /FontFile2 " +
                                   std::to_string(ObjFont + 2) + " 0 R >>\nendobj\n");

    w.WriteDeflatedStreamObject(ObjFont + 2, "/Length1 " + std::to_string(FFace->Data().size()),
                                FFace->Deflated());
}

} // namespace velkaro
