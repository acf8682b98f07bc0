#include "pdf/pdf_font_tables.h"

#include <algorithm>
#include <cmath>

#include "platform/error.h"

namespace velkaro {

namespace {

// Big-endian reads that refuse to leave the data.
class TFontReader {
public:
    TFontReader(std::string_view data, const std::string& face) : FData(data), FFace(face) {}

    uint16_t U16(uint64_t pos) const {
        Need(pos, 2);
        return static_cast<uint16_t>(Byte(pos) << 8 | Byte(pos + 1));
    }
    int16_t S16(uint64_t pos) const { return static_cast<int16_t>(U16(pos)); }
    uint32_t U32(uint64_t pos) const {
        Need(pos, 4);
        return static_cast<uint32_t>(Byte(pos)) << 24 | static_cast<uint32_t>(Byte(pos + 1)) << 16 |
               static_cast<uint32_t>(Byte(pos + 2)) << 8 | Byte(pos + 3);
    }
    std::string_view Bytes(uint64_t pos, uint64_t count) const {
        Need(pos, count);
        return FData.substr(pos, count);
    }
    [[noreturn]] void Damaged() const {
        throw Exception("TrueType-Schrift " + FFace + " ist beschädigt oder unvollständig (Tabellen außerhalb der Datei)");
    }

private:
    void Need(uint64_t pos, uint64_t count) const {
        if (pos > FData.size() || FData.size() - pos < count) Damaged();
    }
    uint32_t Byte(uint64_t pos) const { return static_cast<unsigned char>(FData[pos]); }

    std::string_view FData;
    const std::string& FFace;
};

// v × 1000 / unitsPerEm, rounded to the nearest integer, halves to even.
int32_t Scale(int32_t v, uint16_t unitsPerEm) {
    return static_cast<int32_t>(std::nearbyint(static_cast<double>(v) * 1000.0 / unitsPerEm));
}

constexpr char32_t kMaxCodePoint = 0x10FFFF;

// Appends cp -> glyph, joining it to the last range when both run on.
void AddMapping(std::vector<TCmapRange>& ranges, char32_t cp, uint32_t glyph) {
    if (!ranges.empty()) {
        TCmapRange& last = ranges.back();
        if (last.Last + 1 == cp && last.FirstGlyph + (cp - last.First) == glyph) {
            last.Last = cp;
            return;
        }
    }
    ranges.push_back({cp, cp, glyph});
}

// Format 4: segments are read in order; a segment that starts at or below the end of the
// one before is cut, so damaged tables cannot make the walk longer than 65,536 codes.
std::vector<TCmapRange> ReadFormat4(const TFontReader& r, uint64_t sub) {
    std::vector<TCmapRange> ranges;
    uint32_t segCountX2 = r.U16(sub + 6);
    uint32_t segCount = segCountX2 / 2;
    uint64_t endCodes = sub + 14;
    uint64_t startCodes = sub + 16 + segCountX2;
    uint64_t idDeltas = startCodes + segCountX2;
    uint64_t idRangeOffsets = idDeltas + segCountX2;
    uint32_t next = 0; // first code not yet walked
    for (uint32_t i = 0; i < segCount && next <= 0xFFFF; ++i) {
        uint32_t end = r.U16(endCodes + 2 * i);
        uint32_t start = std::max<uint32_t>(r.U16(startCodes + 2 * i), next);
        uint32_t delta = r.U16(idDeltas + 2 * i);
        uint64_t rangePos = idRangeOffsets + 2 * i;
        uint32_t rangeOffset = r.U16(rangePos);
        for (uint32_t u = start; u <= end; ++u) {
            uint32_t glyph = 0;
            if (rangeOffset == 0) {
                glyph = (u + delta) % 65536;
            } else {
                uint32_t g = r.U16(rangePos + rangeOffset + 2 * (u - r.U16(startCodes + 2 * i)));
                glyph = g == 0 ? 0 : (g + delta) % 65536;
            }
            if (glyph != 0) AddMapping(ranges, u, glyph);
        }
        next = std::max(next, end + 1);
    }
    return ranges;
}

// Format 12: sequential groups; overlapping or unordered groups are cut the same way.
std::vector<TCmapRange> ReadFormat12(const TFontReader& r, uint64_t sub) {
    std::vector<TCmapRange> ranges;
    uint32_t numGroups = r.U32(sub + 12);
    uint64_t next = 0;
    for (uint32_t i = 0; i < numGroups; ++i) {
        uint64_t group = sub + 16 + 12 * static_cast<uint64_t>(i);
        uint64_t start = r.U32(group), end = std::min<uint64_t>(r.U32(group + 4), kMaxCodePoint);
        uint64_t glyph = r.U32(group + 8);
        if (start < next) {
            glyph += next - start;
            start = next;
        }
        if (start > end) continue;
        ranges.push_back({static_cast<char32_t>(start), static_cast<char32_t>(end), static_cast<uint32_t>(glyph)});
        next = end + 1;
    }
    return ranges;
}

// Only ranges of glyphs that exist: a cmap pointing past the glyph count is cut there.
std::vector<TCmapRange> ClipToGlyphs(const std::vector<TCmapRange>& ranges, uint32_t numGlyphs) {
    std::vector<TCmapRange> out;
    for (TCmapRange range : ranges) {
        if (range.FirstGlyph >= numGlyphs) continue;
        uint64_t lastGlyph = range.FirstGlyph + static_cast<uint64_t>(range.Last - range.First);
        if (lastGlyph >= numGlyphs) range.Last = range.First + (numGlyphs - 1 - range.FirstGlyph);
        out.push_back(range);
    }
    return out;
}

// Windows Unicode (3,10 / 3,1) and Unicode platform records; format 12 wins over 4.
std::vector<TCmapRange> ReadCmap(const TFontReader& r, uint64_t cmap) {
    uint32_t numRecords = r.U16(cmap + 2);
    uint64_t best4 = 0, best12 = 0;
    bool has4 = false, has12 = false;
    for (uint32_t i = 0; i < numRecords; ++i) {
        uint64_t rec = cmap + 4 + 8 * static_cast<uint64_t>(i);
        uint16_t platform = r.U16(rec), encoding = r.U16(rec + 2);
        bool unicode = (platform == 3 && (encoding == 1 || encoding == 10)) || platform == 0;
        if (!unicode) continue;
        uint64_t sub = cmap + r.U32(rec + 4);
        uint16_t format = r.U16(sub);
        if (format == 12 && !has12) best12 = sub, has12 = true;
        if (format == 4 && !has4) best4 = sub, has4 = true;
    }
    if (has12) return ReadFormat12(r, best12);
    if (has4) return ReadFormat4(r, best4);
    throw Exception("TrueType-Schrift ohne Unicode-cmap (Format 4 oder 12)");
}

// Characters a PDF name may carry without escapes.
bool IsNameChar(char32_t c) {
    return c > 0x20 && c < 0x7F && std::string_view("()<>[]{}/%#").find(static_cast<char>(c)) == std::string_view::npos;
}

// Name ID 6 from a Windows (UTF-16) or Macintosh (one byte) record.
std::string ReadPostScriptName(const TFontReader& r, uint64_t name) {
    uint32_t count = r.U16(name + 2);
    uint64_t strings = name + r.U16(name + 4);
    for (uint32_t i = 0; i < count; ++i) {
        uint64_t rec = name + 6 + 12 * static_cast<uint64_t>(i);
        uint16_t platform = r.U16(rec), nameId = r.U16(rec + 6);
        if (nameId != 6 || (platform != 3 && platform != 1)) continue;
        std::string_view bytes = r.Bytes(strings + r.U16(rec + 10), r.U16(rec + 8));
        std::string out;
        size_t step = platform == 3 ? 2 : 1;
        for (size_t k = 0; k + step <= bytes.size() && out.size() < 63; k += step) {
            char32_t c = static_cast<unsigned char>(bytes[k + step - 1]);
            if (step == 2 && bytes[k] != 0) c = 0xFFFF;
            if (IsNameChar(c)) out.push_back(static_cast<char>(c));
        }
        if (!out.empty()) return out;
    }
    return "";
}

} // namespace

uint16_t TFontMetrics::Glyph(char32_t cp) const {
    if (cp < DirectGlyphs.size()) return DirectGlyphs[cp];
    auto it = std::upper_bound(Cmap.begin(), Cmap.end(), cp,
                               [](char32_t c, const TCmapRange& range) { return c < range.First; });
    if (it == Cmap.begin()) return 0;
    --it;
    if (cp > it->Last) return 0;
    return static_cast<uint16_t>(it->FirstGlyph + (cp - it->First));
}

void TFontMetrics::IndexDirectGlyphs() {
    DirectGlyphs.clear();
    std::vector<uint16_t> direct(kDirectGlyphs);
    for (char32_t cp = 0; cp < kDirectGlyphs; ++cp) direct[cp] = Glyph(cp);
    DirectGlyphs = std::move(direct);
}

int32_t TFontMetrics::Width(uint16_t glyph) const {
    if (glyph < GlyphWidths.size()) return GlyphWidths[glyph];
    return GlyphWidths.empty() ? 0 : GlyphWidths[0];
}

TFontMetrics ParseFontTables(std::string_view data, const std::string& face) {
    TFontReader r(data, face);
    TFontMetrics m;

    uint64_t head = 0, hhea = 0, hmtx = 0, cmap = 0, os2 = 0, post = 0, maxp = 0, name = 0;
    bool hasHead = false, hasHhea = false, hasHmtx = false, hasCmap = false, hasOs2 = false, hasPost = false,
         hasMaxp = false, hasName = false;
    uint32_t numTables = r.U16(4);
    for (uint32_t i = 0; i < numTables; ++i) {
        uint64_t rec = 12 + 16 * static_cast<uint64_t>(i);
        std::string_view tag = r.Bytes(rec, 4);
        uint32_t offset = r.U32(rec + 8);
        if (tag == "head") head = offset, hasHead = true;
        else if (tag == "hhea") hhea = offset, hasHhea = true;
        else if (tag == "hmtx") hmtx = offset, hasHmtx = true;
        else if (tag == "cmap") cmap = offset, hasCmap = true;
        else if (tag == "OS/2") os2 = offset, hasOs2 = true;
        else if (tag == "post") post = offset, hasPost = true;
        else if (tag == "maxp") maxp = offset, hasMaxp = true;
        else if (tag == "name") name = offset, hasName = true;
    }
    if (!hasHead || !hasHhea || !hasHmtx || !hasCmap) throw Exception("Unvollständige TrueType-Schrift");

    uint16_t unitsPerEm = r.U16(head + 18);
    if (unitsPerEm == 0) r.Damaged();
    for (int k = 0; k < 4; ++k) m.BBox[k] = Scale(r.S16(head + 36 + 2 * k), unitsPerEm);

    m.Ascent = Scale(r.S16(hhea + 4), unitsPerEm);
    m.Descent = Scale(r.S16(hhea + 6), unitsPerEm);
    uint32_t numberOfHMetrics = r.U16(hhea + 34);
    if (numberOfHMetrics == 0) r.Damaged();

    m.CapHeight = m.Ascent;
    if (hasOs2 && r.U16(os2) >= 2) m.CapHeight = Scale(r.S16(os2 + 88), unitsPerEm);

    if (hasPost) m.ItalicAngle = r.S16(post + 4) + r.U16(post + 6) / 65536.0;
    if (hasName) m.PostScriptName = ReadPostScriptName(r, name);

    // Glyphs past the last long metric share its advance.
    uint32_t numGlyphs = hasMaxp ? r.U16(maxp + 4) : numberOfHMetrics;
    numGlyphs = std::max(numGlyphs, 1u);
    m.GlyphWidths.resize(numGlyphs);
    for (uint32_t g = 0; g < numGlyphs; ++g) {
        uint32_t index = std::min(g, numberOfHMetrics - 1);
        m.GlyphWidths[g] = g <= index ? Scale(r.U16(hmtx + 4 * static_cast<uint64_t>(index)), unitsPerEm)
                                      : m.GlyphWidths[g - 1];
    }
    m.Cmap = ClipToGlyphs(ReadCmap(r, cmap), numGlyphs);
    m.IndexDirectGlyphs();
    return m;
}

} // namespace velkaro
