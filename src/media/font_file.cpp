#include "media/font_file.h"

#include <fontconfig/fontconfig.h>

#include <fstream>
#include <memory>
#include <mutex>

#include "platform/error.h"
#include "platform/files.h"
#include "platform/text.h"

namespace velkaro {

namespace {

// GDI takes at most 31 characters of a face name; cut on a whole UTF-8 character.
std::string CutFaceName(const std::string& face) {
    std::u32string cps = Utf8ToUtf32(face);
    if (cps.size() > 31) cps.resize(31);
    return Utf32ToUtf8(cps);
}

std::mutex& FontconfigMutex() {
    static std::mutex m;
    return m;
}

struct PatternFree {
    void operator()(FcPattern* p) const { FcPatternDestroy(p); }
};
using PatternPtr = std::unique_ptr<FcPattern, PatternFree>;
struct FontSetFree {
    void operator()(FcFontSet* s) const { FcFontSetDestroy(s); }
};

// Whether the file starts as a single TrueType font (sfnt version 1.0).
bool IsSingleTrueTypeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    char magic[4] = {};
    return in.read(magic, 4) && std::string_view(magic, 4) == std::string_view("\x00\x01\x00\x00", 4);
}

} // namespace

namespace {

// The request for (face, weight), upright, with the system's substitutions applied;
// nullptr when fontconfig cannot start. The caller holds the fontconfig lock.
PatternPtr FacePattern(const std::string& face, bool bold) {
    if (!FcInit()) return nullptr;
    PatternPtr pattern(FcPatternCreate());
    if (!pattern) return nullptr;
    std::string family = CutFaceName(face);
    FcPatternAddString(pattern.get(), FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
    FcPatternAddInteger(pattern.get(), FC_WEIGHT, FcWeightFromOpenType(bold ? 700 : 400));
    FcPatternAddInteger(pattern.get(), FC_SLANT, FC_SLANT_ROMAN);
    // Without the substitutions "Arial" does not reach its metric-compatible alias.
    FcConfigSubstitute(nullptr, pattern.get(), FcMatchPattern);
    FcDefaultSubstitute(pattern.get());
    return pattern;
}

} // namespace

std::string FindFontFile(const std::string& face, bool bold) {
    std::lock_guard<std::mutex> lock(FontconfigMutex());
    PatternPtr pattern = FacePattern(face, bold);
    if (!pattern) return "";
    FcResult result = FcResultNoMatch;
    PatternPtr match(FcFontMatch(nullptr, pattern.get(), &result));
    if (!match) return "";
    FcChar8* file = nullptr;
    if (FcPatternGetString(match.get(), FC_FILE, 0, &file) != FcResultMatch || !file) return "";
    return reinterpret_cast<const char*>(file);
}

std::string FindFallbackFontFile(const std::string& face, bool bold, char32_t cp) {
    std::lock_guard<std::mutex> lock(FontconfigMutex());
    PatternPtr pattern = FacePattern(face, bold);
    if (!pattern) return "";
    FcResult result = FcResultNoMatch;
    // The fonts in the order fontconfig's own fallback would try them.
    std::unique_ptr<FcFontSet, FontSetFree> sorted(FcFontSort(nullptr, pattern.get(), FcFalse, nullptr, &result));
    if (!sorted) return "";
    for (int i = 0; i < sorted->nfont; ++i) {
        FcPattern* font = sorted->fonts[i];
        FcCharSet* chars = nullptr;
        FcChar8* file = nullptr;
        int index = 0;
        if (FcPatternGetCharSet(font, FC_CHARSET, 0, &chars) != FcResultMatch || !FcCharSetHasChar(chars, cp))
            continue;
        if (FcPatternGetString(font, FC_FILE, 0, &file) != FcResultMatch || !file) continue;
        if (FcPatternGetInteger(font, FC_INDEX, 0, &index) == FcResultMatch && index != 0) continue;
        std::string path = reinterpret_cast<const char*>(file);
        if (IsSingleTrueTypeFile(path)) return path;
    }
    return "";
}

void CheckTrueTypeData(std::string_view data, const std::string& face) {
    if (data.size() < 13 || data.substr(0, 4) != std::string_view("\x00\x01\x00\x00", 4))
        throw Exception("Schrift " + face + " ist keine einfache TrueType-Datei (z.B. TTC/OTF). " +
                        "Bitte in der INI eine andere Schrift wählen (z.B. Arial).");
}

std::string LoadFontData(const std::string& face, bool bold) {
    std::string path = FindFontFile(face, bold);
    if (path.empty()) throw Exception("Schrift nicht verfügbar: " + face);
    std::string data;
    try {
        data = ReadFileBytes(path);
    } catch (const Exception&) {
        throw Exception("Schriftdaten nicht lesbar: " + face);
    }
    if (data.empty()) throw Exception("Schriftdaten nicht lesbar (keine TrueType-Schrift?): " + face);
    CheckTrueTypeData(data, face);
    return data;
}

} // namespace velkaro
