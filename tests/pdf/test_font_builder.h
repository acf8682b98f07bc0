#pragma once
// Builds small synthetic TrueType files whose every metric is known.
#include <cstdint>
#include <map>
#include <string>

namespace velkaro::test {

struct TFontSpec {
    uint16_t UnitsPerEm = 2048;
    int16_t BBox[4] = {-1000, -434, 2000, 1854};
    int16_t Ascent = 1854;
    int16_t Descent = -434;
    int Os2Version = 2;          // -1: no OS/2 table
    int16_t CapHeight = 1409;
    bool Post = true;
    int16_t ItalicInt = 0;
    uint16_t ItalicFrac = 0;
    uint16_t CmapPlatform = 3;
    uint16_t CmapFormat = 4;
    std::string OmitTable;       // leave out one table
    std::string PostScriptName;  // a name table with name ID 6 when set
};

inline void Put16(std::string& s, uint32_t v) {
    s.push_back(static_cast<char>(v >> 8 & 0xFF));
    s.push_back(static_cast<char>(v & 0xFF));
}
inline void Put32(std::string& s, uint32_t v) {
    Put16(s, v >> 16);
    Put16(s, v & 0xFFFF);
}

// Glyphs: 0 (advance 1024), 1 = 'A' (1139), 2 = 'B' (1366), 3 = blank (1024); € maps to
// glyph 4 through the glyph index array, which has no metric of its own and takes the
// last one. Format 12 maps the same and U+1F600 to glyph 2.
inline std::string BuildTestFont(const TFontSpec& f = {}) {
    std::map<std::string, std::string> tables;
    std::string head(54, '\0');
    head[18] = static_cast<char>(f.UnitsPerEm >> 8), head[19] = static_cast<char>(f.UnitsPerEm & 0xFF);
    for (int k = 0; k < 4; ++k) {
        uint16_t v = static_cast<uint16_t>(f.BBox[k]);
        head[36 + 2 * k] = static_cast<char>(v >> 8), head[37 + 2 * k] = static_cast<char>(v & 0xFF);
    }
    tables["head"] = head;

    std::string hhea(36, '\0');
    hhea[4] = static_cast<char>(static_cast<uint16_t>(f.Ascent) >> 8), hhea[5] = static_cast<char>(f.Ascent & 0xFF);
    hhea[6] = static_cast<char>(static_cast<uint16_t>(f.Descent) >> 8), hhea[7] = static_cast<char>(f.Descent & 0xFF);
    hhea[35] = 4; // numberOfHMetrics
    tables["hhea"] = hhea;

    std::string hmtx;
    for (uint16_t adv : {1024, 1139, 1366, 1024}) Put16(hmtx, adv), Put16(hmtx, 0);
    tables["hmtx"] = hmtx;

    std::string maxp;
    Put32(maxp, 0x00005000), Put16(maxp, 5); // numGlyphs
    tables["maxp"] = maxp;

    std::string sub;
    if (f.CmapFormat == 12) {
        const uint32_t groups[][3] = {{0x20, 0x20, 3}, {0x41, 0x42, 1}, {0x20AC, 0x20AC, 4}, {0x1F600, 0x1F600, 2}};
        Put16(sub, 12), Put16(sub, 0), Put32(sub, 16 + 12 * 4), Put32(sub, 0), Put32(sub, 4);
        for (const auto& g : groups) Put32(sub, g[0]), Put32(sub, g[1]), Put32(sub, g[2]);
    } else {
        // Format 4 with four segments: blank and 'A'..'B' by delta, € by the glyph index
        // array, end.
        Put16(sub, f.CmapFormat), Put16(sub, 0), Put16(sub, 0), Put16(sub, 8), Put16(sub, 0), Put16(sub, 0),
            Put16(sub, 0);
        for (uint16_t end : {0x20, 0x42, 0x20AC, 0xFFFF}) Put16(sub, end);
        Put16(sub, 0);
        for (uint16_t start : {0x20, 0x41, 0x20AC, 0xFFFF}) Put16(sub, start);
        for (uint16_t delta : {static_cast<uint16_t>(3 - 0x20), static_cast<uint16_t>(1 - 0x41),
                               static_cast<uint16_t>(0), static_cast<uint16_t>(1)})
            Put16(sub, delta);
        // idRangeOffset of segment 2 points 4 bytes ahead: past its own entry and segment 3's.
        for (uint16_t range : {0, 0, 4, 0}) Put16(sub, range);
        Put16(sub, 4); // glyph index array: € -> glyph 4
    }
    std::string cmap;
    Put16(cmap, 0), Put16(cmap, 1), Put16(cmap, f.CmapPlatform), Put16(cmap, f.CmapFormat == 12 ? 10 : 1),
        Put32(cmap, 12);
    tables["cmap"] = cmap + sub;

    if (!f.PostScriptName.empty()) {
        // One Macintosh record (name ID 1) that must be passed over, one Windows UTF-16 record.
        std::string utf16;
        for (char c : f.PostScriptName) utf16.push_back('\0'), utf16.push_back(c);
        std::string name;
        Put16(name, 0), Put16(name, 2), Put16(name, 6 + 24);
        Put16(name, 1), Put16(name, 0), Put16(name, 0), Put16(name, 1), Put16(name, 4), Put16(name, 0);
        Put16(name, 3), Put16(name, 1), Put16(name, 0x409), Put16(name, 6), Put16(name, static_cast<uint32_t>(utf16.size())),
            Put16(name, 4);
        tables["name"] = name + "Test" + utf16;
    }

    if (f.Os2Version >= 0) {
        std::string os2(96, '\0');
        os2[1] = static_cast<char>(f.Os2Version);
        os2[88] = static_cast<char>(static_cast<uint16_t>(f.CapHeight) >> 8);
        os2[89] = static_cast<char>(f.CapHeight & 0xFF);
        tables["OS/2"] = os2;
    }
    if (f.Post) {
        std::string post(32, '\0');
        post[4] = static_cast<char>(static_cast<uint16_t>(f.ItalicInt) >> 8);
        post[5] = static_cast<char>(f.ItalicInt & 0xFF);
        post[6] = static_cast<char>(f.ItalicFrac >> 8), post[7] = static_cast<char>(f.ItalicFrac & 0xFF);
        tables["post"] = post;
    }
    if (!f.OmitTable.empty()) tables.erase(f.OmitTable);

    std::string file("\0\x01\0\0", 4);
    Put16(file, static_cast<uint32_t>(tables.size())), Put16(file, 0), Put16(file, 0), Put16(file, 0);
    uint32_t offset = static_cast<uint32_t>(12 + 16 * tables.size());
    std::string body;
    for (const auto& [tag, data] : tables) {
        file += tag;
        Put32(file, 0), Put32(file, offset + static_cast<uint32_t>(body.size())),
            Put32(file, static_cast<uint32_t>(data.size()));
        body += data;
        while (body.size() % 4) body.push_back('\0');
    }
    return file + body;
}

} // namespace velkaro::test
