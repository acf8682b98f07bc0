#include "pdf/pdf_font.h"

#include "pdf/pdf_format.h"
#include "pdf/pdf_object_writer.h"
#include "platform/text.h"

namespace velkaro {

TPdfFont::TPdfFont(const std::string& face, bool bold, const std::string& resName)
    : TPdfFont(CachedFontFace(face, bold), face, bold, resName) {}

TPdfFont::TPdfFont(std::shared_ptr<const TFontFace> data, const std::string& face, bool bold,
                   const std::string& resName)
    : FFace(std::move(data)), FFaceName(face), FBold(bold), FResName(resName) {}

namespace {
bool IsControl(char32_t c) { return c < 0x20 || (c >= 0x7F && c <= 0x9F); }
} // namespace

std::vector<TShownGlyph> TPdfFont::Glyphs(std::string_view s) const {
    std::vector<TShownGlyph> out;
    const TFontMetrics& own = FFace->Metrics();
    for (char32_t c : Utf8ToUtf32(s)) {
        if (IsControl(c)) c = ' ';
        uint16_t g = own.Glyph(c);
        if (g != 0) {
            out.push_back({FFace.get(), g, c, false});
            continue;
        }
        std::shared_ptr<const TFontFace> other = CachedFallbackFace(FFaceName, FBold, c);
        if (other) out.push_back({other.get(), other->Metrics().Glyph(c), c, false});
        else out.push_back({FFace.get(), 0, c, true});
    }
    return out;
}

double TPdfFont::TextWidth(std::string_view s, double size) const {
    int64_t sum = 0;
    for (const TShownGlyph& g : Glyphs(s)) sum += g.Face->Metrics().Width(g.Glyph);
    return size * static_cast<double>(sum) / 1000.0 * 25.4 / 72.0;
}

void RecordGlyph(TGlyphUse& used, uint16_t glyph, char32_t ch) {
    // .notdef stands for whatever was missing; it reads as the replacement character.
    used.emplace(glyph, glyph == 0 ? U'\uFFFD' : ch);
}

namespace {

std::string PostScriptName(const TPdfFont& font) {
    std::string name = font.Metrics().PostScriptName;
    if (!name.empty()) return name;
    name = ReplaceAll(font.FaceName(), " ", "");
    for (char& c : name)
        if (static_cast<unsigned char>(c) <= 0x20 || static_cast<unsigned char>(c) >= 0x7F ||
            std::string_view("()<>[]{}/%#").find(c) != std::string_view::npos)
            c = '_';
    return font.Bold() ? name + "-Bold" : name;
}

// Six capital letters from the glyph set (FNV-1a), so equal subsets get equal tags.
std::string SubsetTag(const std::string& name, const TGlyphUse& glyphs) {
    uint64_t h = 14695981039346656037ull;
    auto mix = [&h](unsigned char b) { h = (h ^ b) * 1099511628211ull; };
    for (char c : name) mix(static_cast<unsigned char>(c));
    for (const auto& entry : glyphs) mix(static_cast<unsigned char>(entry.first >> 8)), mix(entry.first & 0xFF);
    std::string tag;
    for (int i = 0; i < 6; ++i, h /= 26) tag.push_back(static_cast<char>('A' + h % 26));
    return tag;
}

} // namespace

std::string TPdfFont::BaseFont(const TGlyphUse& used, bool whole) const {
    return whole ? PostScriptName(*this) : SubsetTag(PostScriptName(*this), used) + "+" + PostScriptName(*this);
}

std::string CidWidths(const TGlyphUse& glyphs, const TFontMetrics& metrics) {
    std::string out = "[";
    int previous = -2;
    for (const auto& entry : glyphs) {
        int g = entry.first;
        if (g != previous + 1) {
            if (previous >= 0) out += "] ";
            out += std::to_string(g) + " [";
        } else {
            out += ' ';
        }
        out += std::to_string(metrics.Width(entry.first));
        previous = g;
    }
    if (previous >= 0) out += ']';
    return out + "]";
}

std::string ToUnicodeCMap(const TGlyphUse& glyphs) {
    std::string out = "/CIDInit /ProcSet findresource begin\n12 dict begin\nbegincmap\n"
                      "/CIDSystemInfo << /Registry (Adobe) /Ordering (UCS) /Supplement 0 >> def\n"
                      "/CMapName /Adobe-Identity-UCS def\n/CMapType 2 def\n"
                      "1 begincodespacerange\n<0000> <FFFF>\nendcodespacerange\n";
    std::vector<std::pair<uint16_t, char32_t>> list(glyphs.begin(), glyphs.end());
    for (size_t start = 0; start < list.size(); start += 100) {
        size_t count = std::min<size_t>(100, list.size() - start);
        out += std::to_string(count) + " beginbfchar\n";
        for (size_t i = start; i < start + count; ++i) {
            out += '<';
            AppendHex16(out, list[i].first);
            out += "> <";
            std::string utf8;
            AppendUtf8(utf8, list[i].second);
            for (char16_t unit : Utf8ToUtf16(utf8)) AppendHex16(out, unit);
            out += ">\n";
        }
        out += "endbfchar\n";
    }
    return out + "endcmap\nCMapName currentdict /CMap defineresource pop\nend\nend\n";
}

void TPdfFont::WriteObjects(TPdfObjectWriter& w, const TGlyphUse& used, bool whole) const {
    const TFontMetrics& m = FFace->Metrics();
    const std::string name = BaseFont(used, whole);
    auto ref = [this](int k) { return std::to_string(ObjFont + k) + " 0 R"; };

    w.WriteObject(ObjFont, "<< /Type /Font /Subtype /Type0 /BaseFont /" + name +
                               " /Encoding /Identity-H /DescendantFonts [" + ref(1) + "] /ToUnicode " + ref(4) +
                               " >>\nendobj\n");
    w.WriteObject(ObjFont + 1, "<< /Type /Font /Subtype /CIDFontType2 /BaseFont /" + name +
                                   " /CIDSystemInfo << /Registry (Adobe) /Ordering (Identity) /Supplement 0 >>"
                                   " /FontDescriptor " + ref(2) + " /DW " + std::to_string(m.Width(0)) +
                                   " /W " + CidWidths(used, m) + " /CIDToGIDMap /Identity >>\nendobj\n");
    w.WriteObject(ObjFont + 2, "<< /Type /FontDescriptor /FontName /" + name + " /Flags 32 /FontBBox [" +
                                   std::to_string(m.BBox[0]) + " " + std::to_string(m.BBox[1]) + " " +
                                   std::to_string(m.BBox[2]) + " " + std::to_string(m.BBox[3]) +
                                   "] /ItalicAngle " + FormatPdfNumber(m.ItalicAngle) + " /Ascent " +
                                   std::to_string(m.Ascent) + " /Descent " + std::to_string(m.Descent) +
                                   " /CapHeight " + std::to_string(m.CapHeight) + " /StemV 80 /FontFile2 " +
                                   ref(3) + " >>\nendobj\n");
    if (whole) {
        w.WriteDeflatedStreamObject(ObjFont + 3, "/Length1 " + std::to_string(FFace->Data().size()),
                                    FFace->Deflated());
    } else {
        std::shared_ptr<const TFontProgram> program = FFace->DeflatedSubset(used, FFaceName);
        w.WriteDeflatedStreamObject(ObjFont + 3, "/Length1 " + std::to_string(program->Length), program->Deflated);
    }
    w.WriteDeflatedStreamObject(ObjFont + 4, "", *DeflateConstant(ToUnicodeCMap(used)));  // often repeated
}

} // namespace velkaro
