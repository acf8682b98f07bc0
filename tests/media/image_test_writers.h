#pragma once
// Writers for small test pictures, so the image tests need no binary fixtures.
#include <gif_lib.h>
#include <png.h>
#include <tiffio.h>

#include <cstdio>
#include <jpeglib.h>

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace velkaro::test {

// Pixels: rows of `channels` bytes per pixel.
inline void WritePng(const std::string& path, int width, int height, int channels,
                     const std::vector<uint8_t>& pixels, bool interlaced = false, int level = 6) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) throw std::runtime_error("cannot write " + path);
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_init_io(png, f);
    png_set_compression_level(png, level);
    int type = channels == 1 ? PNG_COLOR_TYPE_GRAY
               : channels == 2 ? PNG_COLOR_TYPE_GRAY_ALPHA
               : channels == 3 ? PNG_COLOR_TYPE_RGB
                               : PNG_COLOR_TYPE_RGB_ALPHA;
    png_set_IHDR(png, info, width, height, 8, type, interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    int passes = png_set_interlace_handling(png);
    for (int p = 0; p < passes; ++p)
        for (int y = 0; y < height; ++y)
            png_write_row(png, pixels.data() + static_cast<size_t>(y) * width * channels);
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    std::fclose(f);
}

// A PNG whose rows all equal `row` (for big pictures without a big buffer).
inline void WriteUniformPng(const std::string& path, int width, int height, const std::vector<uint8_t>& grayRow) {
    FILE* f = std::fopen(path.c_str(), "wb");
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_init_io(png, f);
    png_set_compression_level(png, 1);
    png_set_IHDR(png, info, width, height, 8, PNG_COLOR_TYPE_GRAY, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int y = 0; y < height; ++y) png_write_row(png, grayRow.data());
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    std::fclose(f);
}

// colorSpace JCS_GRAYSCALE (1 byte), JCS_RGB (3) or JCS_CMYK (4); adobe = write the
// Adobe marker (libjpeg does by default for CMYK).
inline std::string JpegBytes(int width, int height, J_COLOR_SPACE colorSpace, const std::vector<uint8_t>& pixels,
                             bool adobe = true) {
    jpeg_compress_struct c{};
    jpeg_error_mgr err{};
    c.err = jpeg_std_error(&err);
    jpeg_create_compress(&c);
    unsigned char* buf = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&c, &buf, &size);
    c.image_width = width;
    c.image_height = height;
    c.input_components = colorSpace == JCS_GRAYSCALE ? 1 : colorSpace == JCS_CMYK ? 4 : 3;
    c.in_color_space = colorSpace;
    jpeg_set_defaults(&c);
    if (colorSpace == JCS_CMYK) jpeg_set_colorspace(&c, JCS_CMYK);
    c.write_Adobe_marker = adobe ? TRUE : FALSE;
    jpeg_set_quality(&c, 95, TRUE);
    jpeg_start_compress(&c, TRUE);
    while (c.next_scanline < c.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(pixels.data() + static_cast<size_t>(c.next_scanline) * width *
                                                                c.input_components);
        jpeg_write_scanlines(&c, &row, 1);
    }
    jpeg_finish_compress(&c);
    jpeg_destroy_compress(&c);
    std::string r(reinterpret_cast<char*>(buf), size);
    free(buf);
    return r;
}

inline void WriteBytes(const std::string& path, const std::string& bytes) {
    FILE* f = std::fopen(path.c_str(), "wb");
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
}

// Palette GIF; index `transparent` (or -1) is transparent.
inline void WriteGif(const std::string& path, int width, int height, const std::vector<GifColorType>& palette,
                     const std::vector<uint8_t>& indices, int transparent) {
    int err = 0;
    GifFileType* gif = EGifOpenFileName(path.c_str(), false, &err);
    ColorMapObject* map = GifMakeMapObject(static_cast<int>(palette.size()), palette.data());
    EGifPutScreenDesc(gif, width, height, 8, 0, map);
    if (transparent >= 0) {
        GraphicsControlBlock gcb{};
        gcb.DisposalMode = DISPOSAL_UNSPECIFIED;
        gcb.TransparentColor = transparent;
        GifByteType ext[4];
        size_t len = EGifGCBToExtension(&gcb, ext);
        EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, static_cast<int>(len), ext);
    }
    EGifPutImageDesc(gif, 0, 0, width, height, false, nullptr);
    for (int y = 0; y < height; ++y)
        EGifPutLine(gif, const_cast<GifPixelType*>(indices.data() + static_cast<size_t>(y) * width), width);
    EGifCloseFile(gif, &err);
    GifFreeMapObject(map);
}

inline void WriteTiffRgb(const std::string& path, int width, int height, const std::vector<uint8_t>& rgb) {
    TIFF* tif = TIFFOpen(path.c_str(), "w");
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, width);
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, height);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 3);
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, height);
    for (int y = 0; y < height; ++y)
        TIFFWriteScanline(tif, const_cast<uint8_t*>(rgb.data() + static_cast<size_t>(y) * width * 3), y, 0);
    TIFFClose(tif);
}

// 24-bit bottom-up BMP.
inline void WriteBmp(const std::string& path, int width, int height, const std::vector<uint8_t>& rgb) {
    int stride = (width * 3 + 3) & ~3;
    std::string b;
    auto u16 = [&](uint32_t v) { b.push_back(char(v & 0xFF)), b.push_back(char(v >> 8 & 0xFF)); };
    auto u32 = [&](uint32_t v) { u16(v & 0xFFFF), u16(v >> 16); };
    b += "BM";
    u32(54 + stride * height), u32(0), u32(54);
    u32(40), u32(width), u32(height), u16(1), u16(24), u32(0), u32(stride * height), u32(2835), u32(2835), u32(0),
        u32(0);
    for (int y = height - 1; y >= 0; --y) {
        for (int x = 0; x < width; ++x) {
            const uint8_t* p = &rgb[(static_cast<size_t>(y) * width + x) * 3];
            b.push_back(char(p[2])), b.push_back(char(p[1])), b.push_back(char(p[0]));
        }
        b.append(stride - width * 3, '\0');
    }
    WriteBytes(path, b);
}

} // namespace velkaro::test
