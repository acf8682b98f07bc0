#include "media/font_file.h"

#include <fontconfig/fontconfig.h>

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

} // namespace

std::string FindFontFile(const std::string& face, bool bold) {
    std::lock_guard<std::mutex> lock(FontconfigMutex());
    if (!FcInit()) return "";
    PatternPtr pattern(FcPatternCreate());
    if (!pattern) return "";
    std::string family = CutFaceName(face);
    FcPatternAddString(pattern.get(), FC_FAMILY, reinterpret_cast<const FcChar8*>(family.c_str()));
    FcPatternAddInteger(pattern.get(), FC_WEIGHT, FcWeightFromOpenType(bold ? 700 : 400));
    FcPatternAddInteger(pattern.get(), FC_SLANT, FC_SLANT_ROMAN);
    // Without the substitutions "Arial" does not reach its metric-compatible alias.
    FcConfigSubstitute(nullptr, pattern.get(), FcMatchPattern);
    FcDefaultSubstitute(pattern.get());
    FcResult result = FcResultNoMatch;
    PatternPtr match(FcFontMatch(nullptr, pattern.get(), &result));
    if (!match) return "";
    FcChar8* file = nullptr;
    if (FcPatternGetString(match.get(), FC_FILE, 0, &file) != FcResultMatch || !file) return "";
    return reinterpret_cast<const char*>(file);
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
