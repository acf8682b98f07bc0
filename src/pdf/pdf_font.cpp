#include "pdf/pdf_font.h"

#include <algorithm>

#include "pdf/pdf_format.h"
#include "pdf/pdf_object_writer.h"
#include "pdf/pdf_text_shape.h"
#include "platform/bidi.h"
#include "platform/text.h"

namespace velkaro {

TPdfFont::TPdfFont(const std::string& face, bool bold, const std::string& resName)
    : TPdfFont(CachedFontFace(face, bold), face, bold, resName) {}

TPdfFont::TPdfFont(std::shared_ptr<const TFontFace> data, const std::string& face, bool bold,
                   const std::string& resName)
    : FFace(std::move(data)), FFaceName(face), FBold(bold), FResName(resName) {}

namespace {

bool IsControl(char32_t c) { return c < 0x20 || (c >= 0x7F && c <= 0x9F); }

// The invisible marks and controls of the bidirectional algorithm: they steer the
// order and show nothing.
bool IsBidiControl(char32_t c) {
    return c == 0x200E || c == 0x200F || c == 0x061C || (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069);
}

// Gives every glyph of a shaped stretch the characters of its cluster: from its cluster
// up to the next cluster of the stretch. Further glyphs of a cluster get no text.
void AppendShaped(const TFontFace& face, std::u32string_view text, std::vector<TShownGlyph>& out) {
    std::vector<TShapedGlyph> glyphs = face.Shaper().ShapeRightToLeft(text);
    std::vector<size_t> starts;
    for (const TShapedGlyph& g : glyphs) starts.push_back(g.Cluster);
    std::sort(starts.begin(), starts.end());
    starts.erase(std::unique(starts.begin(), starts.end()), starts.end());
    std::vector<bool> given(text.size() + 1, false);
    for (const TShapedGlyph& g : glyphs) {
        std::u32string chars;
        if (g.Cluster < text.size() && !given[g.Cluster]) {
            auto next = std::upper_bound(starts.begin(), starts.end(), g.Cluster);
            size_t end = next == starts.end() ? text.size() : *next;
            chars = text.substr(g.Cluster, end - g.Cluster);
            std::reverse(chars.begin(), chars.end());
            given[g.Cluster] = true;
        }
        out.push_back({&face, g.Glyph, std::move(chars), false, g.Advance, g.OffsetX, g.OffsetY, true});
    }
}

} // namespace

TShownGlyph TPdfFont::PlainGlyph(char32_t c) const {
    const TFontMetrics& own = FFace->Metrics();
    if (uint16_t g = own.Glyph(c); g != 0)
        return {FFace.get(), g, std::u32string(1, c), false, static_cast<double>(own.Width(g))};
    std::shared_ptr<const TFontFace> other = CachedFallbackFace(FFaceName, FBold, c);
    if (other) {
        uint16_t g = other->Metrics().Glyph(c);
        return {other.get(), g, std::u32string(1, c), false, static_cast<double>(other->Metrics().Width(g))};
    }
    return {FFace.get(), 0, std::u32string(1, c), true, static_cast<double>(own.Width(0))};
}

const TFontFace* TPdfFont::FaceFor(char32_t c, const TFontFace* preferred) const {
    if (preferred && preferred->Metrics().Glyph(c) != 0) return preferred;
    if (FFace->Metrics().Glyph(c) != 0) return FFace.get();
    return CachedFallbackFace(FFaceName, FBold, c).get();
}

void TPdfFont::AppendRightToLeft(std::u32string_view text, std::vector<TShownGlyph>& out) const {
    // One face per stretch: a letter stays in the face of the one before when it can,
    // so a word is shaped whole and its letters join.
    std::vector<const TFontFace*> faces(text.size());
    const TFontFace* previous = nullptr;
    for (size_t i = 0; i < text.size(); ++i) previous = faces[i] = FaceFor(text[i], previous);
    // The stretches from the logical end backwards: the last stands leftmost.
    for (size_t end = text.size(); end > 0;) {
        size_t start = end - 1;
        while (start > 0 && faces[start - 1] == faces[end - 1]) --start;
        std::u32string_view stretch = text.substr(start, end - start);
        if (const TFontFace* face = faces[start]) {
            AppendShaped(*face, stretch, out);
        } else {
            for (size_t i = stretch.size(); i-- > 0;)
                out.push_back({FFace.get(), 0, std::u32string(1, stretch[i]), true,
                               static_cast<double>(FFace->Metrics().Width(0)), 0, 0, true});
        }
        end = start;
    }
}

std::vector<TShownGlyph> TPdfFont::Glyphs(std::string_view s) const {
    std::u32string text = Utf8ToUtf32(s);
    for (char32_t& c : text)
        if (IsControl(c)) c = ' ';
    std::vector<TShownGlyph> out;
    out.reserve(text.size());
    for (const TBidiRun& run : VisualRuns(text)) {
        std::u32string_view part = std::u32string_view(text).substr(run.Start, run.Length);
        std::u32string visible;
        for (char32_t c : part)
            if (!IsBidiControl(c)) visible.push_back(c);
        if (run.RightToLeft) {
            AppendRightToLeft(visible, out);
        } else {
            for (char32_t c : visible) out.push_back(PlainGlyph(c));
        }
    }
    return out;
}

namespace {

// Characters that a text may hold and still be measured glyph by glyph in the font's
// own face: no right-to-left letter, no bidirectional control, nothing a fallback face
// has to show. Such a text is one left-to-right run, so order and shaping do not matter
// for its width.
bool IsPlainLeftToRight(char32_t c) {
    return c < 0x590 || (c >= 0x2000 && c <= 0x20CF && !IsBidiControl(c));
}

} // namespace

double TPdfFont::TextWidth(std::string_view s, double size) const {
    const TFontMetrics& own = FFace->Metrics();
    double sum = 0;
    bool plain = true;
    for (size_t i = 0; i < s.size() && plain;) {
        char32_t c = DecodeUtf8At(s, i);
        if (IsControl(c)) c = ' ';
        const uint16_t g = IsPlainLeftToRight(c) ? own.Glyph(c) : 0;
        if (g == 0) plain = false;
        else sum += own.Width(g);
    }
    if (!plain) {
        sum = 0;
        for (const TShownGlyph& g : Glyphs(s)) sum += g.Advance;
    }
    return size * sum / 1000.0 * 25.4 / 72.0;
}

void RecordGlyph(TGlyphUse& used, uint16_t glyph, std::u32string_view text) {
    // .notdef stands for whatever was missing; it reads as the replacement character.
    if (glyph == 0) {
        used.emplace(glyph, U"\uFFFD");
        return;
    }
    auto [it, added] = used.emplace(glyph, text);
    if (!added && it->second.empty()) it->second = text;
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
    std::vector<std::pair<uint16_t, std::u32string>> list;
    for (const auto& entry : glyphs)
        if (!entry.second.empty()) list.push_back(entry);
    for (size_t start = 0; start < list.size(); start += 100) {
        size_t count = std::min<size_t>(100, list.size() - start);
        out += std::to_string(count) + " beginbfchar\n";
        for (size_t i = start; i < start + count; ++i) {
            out += '<';
            AppendHex16(out, list[i].first);
            out += "> <";
            for (char16_t unit : Utf8ToUtf16(Utf32ToUtf8(list[i].second))) AppendHex16(out, unit);
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
