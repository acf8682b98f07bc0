// Pictures that would cost without bound are refused before they are decoded or read.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

#include "media/image_decode.h"
#include "media/image_test_writers.h"
#include "platform/files.h"
#include "support/test_support.h"

namespace velkaro {
namespace {

using test::ErrorOf;
using test::TempFolder;
using ::testing::HasSubstr;
using ::testing::Not;

void PutBigEndian16(std::string& b, size_t pos, uint32_t v) {
    b[pos] = static_cast<char>(v >> 8 & 0xFF);
    b[pos + 1] = static_cast<char>(v & 0xFF);
}
void PutLittleEndian32(std::string& b, size_t pos, uint32_t v) {
    for (int k = 0; k < 4; ++k) b[pos + k] = static_cast<char>(v >> (8 * k) & 0xFF);
}

// Only the headers of these pictures claim their size: the pixel data of a picture this
// big is not there, so a decoder that went on would fail differently.
std::string JpegClaiming(int width, int height) {
    std::string jpeg = test::JpegBytes(8, 8, JCS_RGB, std::vector<uint8_t>(8 * 8 * 3, 100));
    size_t sof = jpeg.find("\xFF\xC0");
    PutBigEndian16(jpeg, sof + 5, height);
    PutBigEndian16(jpeg, sof + 7, width);
    return jpeg;
}

std::string PngHeaderClaiming(const TempFolder& tmp, int width, int height) {
    const std::string file = tmp.File("kopf.png");
    test::WriteUniformPng(file, width, 1, std::vector<uint8_t>(width, 0));
    std::string png = ReadFileBytes(file).substr(0, 33); // signature and IHDR chunk
    for (int k = 0; k < 4; ++k) png[20 + k] = static_cast<char>(height >> (24 - 8 * k) & 0xFF);
    return png;
}

std::string GifClaiming(int width, int height) {
    std::string gif = "GIF89a";
    gif += static_cast<char>(width & 0xFF), gif += static_cast<char>(width >> 8);
    gif += static_cast<char>(height & 0xFF), gif += static_cast<char>(height >> 8);
    gif += std::string("\x00\x00\x00;", 4);
    return gif;
}

std::string BmpClaiming(const TempFolder& tmp, int width, int height) {
    test::WriteBmp(tmp.File("klein.bmp"), 2, 2, std::vector<uint8_t>(12, 0));
    std::string bmp = ReadFileBytes(tmp.File("klein.bmp"));
    PutLittleEndian32(bmp, 18, width);
    PutLittleEndian32(bmp, 22, height);
    return bmp;
}

std::string TiffClaiming(const TempFolder& tmp, int width, int height) {
    const std::string file = tmp.File("kopf.tif");
    TIFF* tif = TIFFOpen(file.c_str(), "w");
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, width);
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, height);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 1);
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISBLACK);
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, height);
    uint8_t strip[16] = {};
    TIFFWriteRawStrip(tif, 0, strip, sizeof strip);
    TIFFClose(tif);
    return ReadFileBytes(file);
}

TEST(ImageLimits, PicturesOverFiftyMegapixelsAreRefusedFromTheirHeader) {
    TempFolder tmp;
    struct Case {
        const char* name;
        std::string bytes;
        const char* size; // "" when the size is within the limit
    } cases[] = {
        {"logo.jpg", JpegClaiming(20000, 20000), "20000 × 20000"},
        {"logo.png", PngHeaderClaiming(tmp, 10001, 5000), "10001 × 5000"},
        {"grenze.png", PngHeaderClaiming(tmp, 10000, 5000), ""},
        {"schmal.png", PngHeaderClaiming(tmp, 50001, 1000), "50001 × 1000"},
        {"logo.gif", GifClaiming(8000, 7000), "8000 × 7000"},
        {"logo.bmp", BmpClaiming(tmp, 8000, 7000), "8000 × 7000"},
        {"logo.tif", TiffClaiming(tmp, 8000, 7000), "8000 × 7000"},
    };
    for (const Case& c : cases) {
        const std::string path = tmp.File(c.name);
        test::WriteBytes(path, c.bytes);
        const std::string error = ErrorOf([&] { ReencodeImageAsJpeg(path, 90); });
        if (*c.size)
            EXPECT_EQ(error, "Bild ist zu groß: " + path + " (" + c.size + " Pixel, höchstens 50 Megapixel)") << c.name;
        else
            EXPECT_THAT(error, Not(HasSubstr("zu groß"))) << c.name;
        EXPECT_THAT(error, HasSubstr(path)) << c.name;
    }
}

TEST(ImageLimits, FilesOverOneHundredMegabytesAreRefusedUnread) {
    TempFolder tmp;
    // A sound JPEG followed by a hole: the file is big on paper only.
    const std::string path = tmp.File("riesig.jpg");
    test::WriteBytes(path, test::JpegBytes(8, 8, JCS_GRAYSCALE, std::vector<uint8_t>(64, 0)));
    struct Case {
        uintmax_t size;
        const char* shown;
    } cases[] = {{100'000'001, "101 MB"}, {150'000'000, "150 MB"}};
    for (const Case& c : cases) {
        std::filesystem::resize_file(path, c.size);
        const std::string expected = "Bilddatei ist zu groß: " + path + " (" + c.shown + ", höchstens 100 MB)";
        EXPECT_EQ(ErrorOf([&] { ReadImageFile(path); }), expected);
        EXPECT_EQ(ErrorOf([&] { DecodeImageFileToRgb(path); }), expected);
        EXPECT_EQ(ErrorOf([&] { ReencodeImageAsJpeg(path, 90); }), expected);
    }
}

} // namespace
} // namespace velkaro
