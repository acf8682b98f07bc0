// BMP through stb_image (only its BMP reader is compiled in).
#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_BMP
#define STBI_NO_STDIO
#define STBI_FAILURE_USERMSG
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"
#pragma GCC diagnostic ignored "-Wunused-function"
#pragma GCC diagnostic ignored "-Wsign-compare"
#endif
#include <stb/stb_image.h>
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

#include <memory>
#include <vector>

#include "media/image_formats.h"

namespace velkaro::image_detail {

namespace {

uint32_t Le(const std::string& b, size_t pos, int count) {
    uint32_t v = 0;
    for (int k = count - 1; k >= 0; --k) v = v << 8 | static_cast<unsigned char>(b[pos + k]);
    return v;
}

// stb_image fills a cut-off BMP with black without complaint, and a few bytes that claim
// thousands of rows would cost a full-size decode. The readable (uncompressed) kinds have
// a known amount of pixel data behind the pixel offset.
void CheckPixelDataPresent(const std::string& path, const std::string& bytes, int width, int height) {
    if (bytes.size() < 30) Fail(path, "BMP: Datei endet vorzeitig");
    const bool core = Le(bytes, 14, 4) == 12; // the old OS/2 header with 16-bit sizes
    const uint64_t offset = Le(bytes, 10, 4);
    const uint64_t bitsPerPixel = Le(bytes, core ? 24 : 28, 2);
    const uint64_t stride = (static_cast<uint64_t>(width) * bitsPerPixel + 31) / 32 * 4;
    if (offset + stride * static_cast<uint64_t>(height) > bytes.size()) Fail(path, "BMP: Datei endet vorzeitig");
}

} // namespace

void DecodeBmp(const std::string& path, const std::string& bytes, TImageRowSink& sink) {
    const auto* data = reinterpret_cast<const stbi_uc*>(bytes.data());
    int len = bytes.size() > static_cast<size_t>(INT32_MAX) ? INT32_MAX : static_cast<int>(bytes.size());
    int width = 0, height = 0, comps = 0;
    if (!stbi_info_from_memory(data, len, &width, &height, &comps))
        FailDecoding(path, "BMP", stbi_failure_reason());
    CheckImageSize(path, width, height);
    CheckPixelDataPresent(path, bytes, width, height);
    std::unique_ptr<stbi_uc, void (*)(void*)> pixels(stbi_load_from_memory(data, len, &width, &height, &comps, 4),
                                                     stbi_image_free);
    if (!pixels) FailDecoding(path, "BMP", stbi_failure_reason());
    std::vector<uint8_t> rgb(static_cast<size_t>(width) * 3);
    sink.Start(width, height);
    for (int y = 0; y < height; ++y) {
        const stbi_uc* row = pixels.get() + static_cast<size_t>(y) * width * 4;
        for (int x = 0; x < width; ++x)
            for (int k = 0; k < 3; ++k) rgb[3 * x + k] = OverWhite(row[4 * x + k], row[4 * x + 3]);
        sink.Row(rgb.data());
    }
}

} // namespace velkaro::image_detail
