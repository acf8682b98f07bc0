#include "pdf/pdf_font_tables.h"

#include <cmath>

#include "platform/error.h"
#include "platform/text.h"

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
    std::string_view Tag(uint64_t pos) const {
        Need(pos, 4);
        return FData.substr(pos, 4);
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

// Unicode of a Windows-1252 byte; the five undefined bytes stand for the C1 control of
// the same value, as Windows converts them.
char32_t UnicodeOfCp1252(unsigned char c) {
    std::u32string cps = Utf8ToUtf32(Cp1252ToUtf8(std::string(1, static_cast<char>(c))));
    return cps.empty() ? c : cps[0];
}

uint32_t GlyphOf(const TFontReader& r, uint64_t sub, char32_t u) {
    uint32_t segCountX2 = r.U16(sub + 6);
    uint32_t segCount = segCountX2 / 2;
    uint64_t endCodes = sub + 14;
    uint64_t startCodes = sub + 16 + segCountX2;
    uint64_t idDeltas = startCodes + segCountX2;
    uint64_t idRangeOffsets = idDeltas + segCountX2;
    for (uint32_t i = 0; i < segCount; ++i) {
        if (r.U16(endCodes + 2 * i) < u) continue;
        uint32_t start = r.U16(startCodes + 2 * i);
        if (start > u) return 0;
        uint32_t delta = r.U16(idDeltas + 2 * i);
        uint64_t rangePos = idRangeOffsets + 2 * i;
        uint32_t rangeOffset = r.U16(rangePos);
        if (rangeOffset == 0) return (u + delta) % 65536;
        uint32_t g = r.U16(rangePos + rangeOffset + 2 * (u - start));
        return g == 0 ? 0 : (g + delta) % 65536;
    }
    return 0;
}

} // namespace

TFontMetrics ParseFontTables(std::string_view data, const std::string& face) {
    TFontReader r(data, face);
    TFontMetrics m;

    uint64_t head = 0, hhea = 0, hmtx = 0, cmap = 0, os2 = 0, post = 0;
    bool hasHead = false, hasHhea = false, hasHmtx = false, hasCmap = false, hasOs2 = false, hasPost = false;
    uint32_t numTables = r.U16(4);
    for (uint32_t i = 0; i < numTables; ++i) {
        uint64_t rec = 12 + 16 * static_cast<uint64_t>(i);
        std::string_view tag = r.Tag(rec);
        uint32_t offset = r.U32(rec + 8);
        if (tag == "head") head = offset, hasHead = true;
        else if (tag == "hhea") hhea = offset, hasHhea = true;
        else if (tag == "hmtx") hmtx = offset, hasHmtx = true;
        else if (tag == "cmap") cmap = offset, hasCmap = true;
        else if (tag == "OS/2") os2 = offset, hasOs2 = true;
        else if (tag == "post") post = offset, hasPost = true;
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

    uint32_t numRecords = r.U16(cmap + 2);
    uint64_t sub = 0;
    bool found = false;
    for (uint32_t i = 0; i < numRecords && !found; ++i) {
        uint64_t rec = cmap + 4 + 8 * static_cast<uint64_t>(i);
        if (r.U16(rec) == 3 && r.U16(rec + 2) == 1) {
            sub = cmap + r.U32(rec + 4);
            found = true;
        }
    }
    if (!found || r.U16(sub) != 4) throw Exception("TrueType-Schrift ohne Unicode-cmap (Format 4)");

    for (int c = 32; c < 256; ++c) {
        uint32_t glyph = GlyphOf(r, sub, UnicodeOfCp1252(static_cast<unsigned char>(c)));
        uint32_t index = glyph < numberOfHMetrics ? glyph : numberOfHMetrics - 1;
        m.Widths[c] = Scale(r.U16(hmtx + 4 * static_cast<uint64_t>(index)), unitsPerEm);
    }
    return m;
}

} // namespace velkaro
