// PNG through libpng: expanded to 8-bit RGBA, composited onto white row by row.
#include <png.h>

#include <cstring>
#include <vector>

#include "media/image_formats.h"
#include "platform/byte_order.h"

namespace velkaro::image_detail {

namespace {

struct TPngError {
    std::string Message;
};

void OnPngError(png_structp, png_const_charp message) { throw TPngError{message ? message : ""}; }
void OnPngWarning(png_structp, png_const_charp) {}

struct TPngSource {
    const std::string& Bytes;
    size_t Pos = 0;
};

void ReadFromMemory(png_structp png, png_bytep out, png_size_t count) {
    auto* src = static_cast<TPngSource*>(png_get_io_ptr(png));
    if (src->Bytes.size() - src->Pos < count) png_error(png, "Datei endet vorzeitig");
    std::memcpy(out, src->Bytes.data() + src->Pos, count);
    src->Pos += count;
}

class TPngReader {
public:
    TPngReader() {
        FPng = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, OnPngError, OnPngWarning);
        if (FPng) FInfo = png_create_info_struct(FPng);
    }
    ~TPngReader() { png_destroy_read_struct(&FPng, FInfo ? &FInfo : nullptr, nullptr); }
    TPngReader(const TPngReader&) = delete;
    TPngReader& operator=(const TPngReader&) = delete;
    png_structp FPng = nullptr;
    png_infop FInfo = nullptr;
};

// The size from the IHDR chunk, read before libpng: libpng's own limit check answers in
// English and knows no pixel count.
void CheckHeaderSize(const std::string& path, const std::string& bytes) {
    if (bytes.size() < 24 || bytes.compare(12, 4, "IHDR") != 0) return; // libpng reports it
    CheckImageSize(path, BigEndian32(bytes, 16), BigEndian32(bytes, 20));
}

void FlattenRow(const uint8_t* rgba, uint8_t* rgb, size_t width) {
    for (size_t x = 0; x < width; ++x) {
        uint32_t a = rgba[4 * x + 3];
        for (int k = 0; k < 3; ++k) rgb[3 * x + k] = OverWhite(rgba[4 * x + k], a);
    }
}

} // namespace

void DecodePng(const std::string& path, const std::string& bytes, TImageRowSink& sink) {
    TPngReader reader;
    if (!reader.FPng || !reader.FInfo) Fail(path, "libpng nicht verfügbar");
    png_structp png = reader.FPng;
    png_infop info = reader.FInfo;
    CheckHeaderSize(path, bytes);
    TPngSource source{bytes};
    try {
        png_set_read_fn(png, &source, ReadFromMemory);
        png_set_user_limits(png, 65535, 65535);
        png_read_info(png, info);
        png_uint_32 width = png_get_image_width(png, info);
        png_uint_32 height = png_get_image_height(png, info);
        int colorType = png_get_color_type(png, info);
        int bitDepth = png_get_bit_depth(png, info);
        // Everything becomes 8-bit RGBA; the alpha is then flattened onto white.
        if (bitDepth == 16) png_set_strip_16(png);
        if (colorType == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(png);
        if (colorType == PNG_COLOR_TYPE_GRAY && bitDepth < 8) png_set_expand_gray_1_2_4_to_8(png);
        if (png_get_valid(png, info, PNG_INFO_tRNS)) png_set_tRNS_to_alpha(png);
        if (colorType == PNG_COLOR_TYPE_GRAY || colorType == PNG_COLOR_TYPE_GRAY_ALPHA) png_set_gray_to_rgb(png);
        if (!(colorType & PNG_COLOR_MASK_ALPHA) && !png_get_valid(png, info, PNG_INFO_tRNS))
            png_set_add_alpha(png, 0xFF, PNG_FILLER_AFTER);
        int passes = png_set_interlace_handling(png);
        png_read_update_info(png, info);
        if (png_get_rowbytes(png, info) != static_cast<size_t>(width) * 4) Fail(path, "unerwartetes Pixelformat");

        std::vector<uint8_t> rgb(static_cast<size_t>(width) * 3);
        if (passes == 1) {
            std::vector<uint8_t> row(static_cast<size_t>(width) * 4);
            sink.Start(static_cast<int>(width), static_cast<int>(height));
            for (png_uint_32 y = 0; y < height; ++y) {
                png_read_row(png, row.data(), nullptr);
                FlattenRow(row.data(), rgb.data(), width);
                sink.Row(rgb.data());
            }
        } else {
            // Interlaced pictures arrive in passes: hold the whole picture.
            std::vector<uint8_t> all(static_cast<size_t>(width) * height * 4);
            std::vector<png_bytep> rows(height);
            for (png_uint_32 y = 0; y < height; ++y) rows[y] = all.data() + static_cast<size_t>(y) * width * 4;
            png_read_image(png, rows.data());
            sink.Start(static_cast<int>(width), static_cast<int>(height));
            for (png_uint_32 y = 0; y < height; ++y) {
                FlattenRow(rows[y], rgb.data(), width);
                sink.Row(rgb.data());
            }
        }
    } catch (const TPngError& e) {
        FailDecoding(path, "PNG", e.Message);
    }
}

} // namespace velkaro::image_detail
