// Picture files of every supported format through the decoders, from memory.
// Damaged data must end in velkaro::Exception; a finished decode delivers exactly
// the announced rows.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/error.h"
#include "media/image_decode.h"
#include "media/image_formats.h"

namespace {

// Big pictures are legitimate but slow to stream; the fuzzer looks for faults, not for
// the time a 65,535 × 65,535 picture takes.
constexpr int64_t kMaxFuzzPixels = 4LL * 1024 * 1024;

struct TTooBigForFuzzing {};

class TCheckingSink : public velkaro::TImageRowSink {
public:
    void Start(int width, int height) override {
        if (FStarted || width <= 0 || height <= 0) std::abort();
        if (static_cast<int64_t>(width) * height > kMaxFuzzPixels) throw TTooBigForFuzzing{};
        FStarted = true;
        FWidth = width;
        FHeight = height;
    }
    void Row(const uint8_t* rgb) override {
        if (!FStarted || FRows >= FHeight) std::abort();
        // Touch the whole row so that a short buffer shows up under AddressSanitizer.
        uint8_t first = 0;
        for (size_t i = 0; i < static_cast<size_t>(FWidth) * 3; ++i) first ^= rgb[i];
        FChecksum += first;
        ++FRows;
    }
    void Finished() const {
        if (!FStarted || FRows != FHeight) std::abort();
    }

private:
    bool FStarted = false;
    int FWidth = 0;
    int FHeight = 0;
    int FRows = 0;
    unsigned FChecksum = 0;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    TCheckingSink sink;
    try {
        velkaro::image_detail::DecodeImageBytes("fuzz.bild", bytes, sink);
        sink.Finished();
    } catch (const velkaro::Exception& e) {
        if (std::strstr(e.what(), "fuzz.bild") == nullptr) std::abort(); // messages name the file
    } catch (const TTooBigForFuzzing&) {
    }
    return 0;
}
