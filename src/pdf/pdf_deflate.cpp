// Compression of the PDF streams (declared in pdf_format.h).
#include <libdeflate.h>

#include <list>
#include <mutex>
#include <unordered_map>

#include "pdf/pdf_format.h"
#include "platform/error.h"

namespace velkaro {

namespace {

constexpr int kLevel = 8;

struct TCompressorFree {
    void operator()(libdeflate_compressor* c) const { libdeflate_free_compressor(c); }
};

// A compressor holds large tables; one per thread and level is made once and reused.
libdeflate_compressor& ThreadCompressor(int level) {
    if (level < 1 || level > 12) throw Exception("Kompressionsstufe " + std::to_string(level) + " gibt es nicht (1 bis 12)");
    thread_local std::unique_ptr<libdeflate_compressor, TCompressorFree> compressors[13];
    auto& compressor = compressors[level];
    if (!compressor) compressor.reset(libdeflate_alloc_compressor(level));
    if (!compressor) throw Exception("Komprimierung der PDF-Daten fehlgeschlagen (kein Speicher für libdeflate)");
    return *compressor;
}

// The deflated constants of the process, by content. Font-subset character maps differ
// with the glyphs a document shows, so the cache is bounded.
class TConstantCache {
public:
    static constexpr size_t kMaxEntries = 64;

    std::shared_ptr<const std::string> Get(std::string_view data) {
        std::string key(data);
        {
            std::lock_guard lock(FMutex);
            if (auto it = FEntries.find(key); it != FEntries.end()) {
                FOrder.splice(FOrder.begin(), FOrder, it->second.Place);
                return it->second.Deflated;
            }
        }
        // Compressed outside the lock; two threads asking at once both compress, and the
        // first result stays.
        auto deflated = std::make_shared<const std::string>(DeflateBytes(data));
        std::lock_guard lock(FMutex);
        auto [it, added] = FEntries.try_emplace(std::move(key));
        if (!added) return it->second.Deflated;
        FOrder.push_front(&it->first);
        it->second = TEntry{deflated, FOrder.begin()};
        if (FEntries.size() > kMaxEntries) {
            FEntries.erase(*FOrder.back());
            FOrder.pop_back();
        }
        return deflated;
    }

private:
    struct TEntry {
        std::shared_ptr<const std::string> Deflated;
        std::list<const std::string*>::iterator Place;
    };
    std::mutex FMutex;
    std::unordered_map<std::string, TEntry> FEntries;
    std::list<const std::string*> FOrder;  // keys of FEntries, most recently used first
};

} // namespace

std::string DeflateBytes(std::string_view data, int level) {
    libdeflate_compressor& compressor = ThreadCompressor(level);
    std::string out(libdeflate_zlib_compress_bound(&compressor, data.size()), '\0');
    const size_t size = libdeflate_zlib_compress(&compressor, data.data(), data.size(), out.data(), out.size());
    if (size == 0) throw Exception("Komprimierung der PDF-Daten fehlgeschlagen (libdeflate)");
    out.resize(size);
    return out;
}

std::shared_ptr<const std::string> DeflateConstant(std::string_view data) {
    static TConstantCache cache;
    return cache.Get(data);
}

} // namespace velkaro
