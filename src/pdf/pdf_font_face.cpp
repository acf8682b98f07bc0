#include "pdf/pdf_font_face.h"

#include <map>
#include <tuple>

#include "media/font_file.h"
#include "pdf/pdf_font_subset.h"
#include "pdf/pdf_format.h"
#include "pdf/pdf_text_shape.h"
#include "platform/error.h"
#include "platform/files.h"
#include "platform/text.h"

namespace velkaro {

TFontFace::TFontFace(std::string data, const std::string& face)
    : FData(std::move(data)), FMetrics(ParseFontTables(FData, face)) {}

TFontFace::~TFontFace() = default;

const TTextShaper& TFontFace::Shaper() const {
    std::call_once(FShaperOnce, [this] { FShaper = std::make_unique<TTextShaper>(FData); });
    return *FShaper;
}

const std::string& TFontFace::Deflated() const {
    std::call_once(FDeflateOnce, [this] { FDeflated = DeflateBytes(FData); });
    return FDeflated;
}

namespace {
// Subsets kept per face: enough for the letters of a few dozen customers.
constexpr size_t kKeptSubsets = 32;
} // namespace

std::shared_ptr<const TFontProgram> TFontFace::DeflatedSubset(const TGlyphUse& used, const std::string& name) const {
    std::lock_guard<std::mutex> lock(FSubsetMutex);
    auto it = FSubsets.find(used);
    if (it != FSubsets.end()) return it->second;
    if (!FSubsetter) FSubsetter = std::make_unique<TFontSubsetter>(FData, name);
    std::string program = FSubsetter->Subset(used);
    auto made = std::make_shared<const TFontProgram>(TFontProgram{program.size(), DeflateBytes(program)});
    if (FSubsetOrder.size() >= kKeptSubsets) {
        FSubsets.erase(FSubsetOrder.front());
        FSubsetOrder.pop_front();
    }
    FSubsets.emplace(used, made);
    FSubsetOrder.push_back(used);
    return made;
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

// A fallback file read and parsed once, whichever characters led to it; nullptr for a
// file that cannot be used (it is then not asked again).
std::shared_ptr<const TFontFace> FallbackFile(const std::string& path) {
    static std::mutex mutex;
    static std::map<std::string, std::shared_ptr<const TFontFace>> files;
    std::lock_guard<std::mutex> lock(mutex);
    auto it = files.find(path);
    if (it != files.end()) return it->second;
    std::shared_ptr<const TFontFace> face;
    try {
        std::string data = ReadFileBytes(path);
        CheckTrueTypeData(data, path);
        face = std::make_shared<const TFontFace>(std::move(data), path);
    } catch (const Exception&) {
    }
    return files.emplace(path, face).first->second;
}

} // namespace

std::shared_ptr<const TFontFace> CachedFallbackFace(const std::string& face, bool bold, char32_t cp) {
    static std::mutex mutex;
    static std::map<std::tuple<std::string, bool, char32_t>, std::shared_ptr<const TFontFace>> cache;
    auto key = std::make_tuple(LowerAscii(face), bold, cp);
    {
        std::lock_guard<std::mutex> lock(mutex);
        auto it = cache.find(key);
        if (it != cache.end()) return it->second;
    }
    std::string path = FindFallbackFontFile(face, bold, cp);
    std::shared_ptr<const TFontFace> found = path.empty() ? nullptr : FallbackFile(path);
    // fontconfig's character set and the file's cmap may disagree; the cmap decides.
    if (found && found->Metrics().Glyph(cp) == 0) found = nullptr;
    std::lock_guard<std::mutex> lock(mutex);
    return cache.emplace(key, found).first->second;
}

} // namespace velkaro
