#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "platform/error.h"
#include "platform/files.h"
#include "media/image_decode.h"
#include "media/image_test_writers.h"
#include "support/test_support.h"

namespace velkaro {
namespace {

using test::ErrorOf;
using test::TempFolder;
using ::testing::HasSubstr;
using ::testing::StartsWith;

// Pixel (x, y) of a decoded picture.
std::vector<int> At(const TRgbImage& img, int x, int y) {
    const uint8_t* p = &img.Pixels[(static_cast<size_t>(y) * img.Width + x) * 3];
    return {p[0], p[1], p[2]};
}

bool Near(const std::vector<int>& a, const std::vector<int>& b, int tolerance) {
    for (size_t i = 0; i < a.size(); ++i)
        if (std::abs(a[i] - b[i]) > tolerance) return false;
    return true;
}

TEST(ImageDecode, PngAlphaIsFlattenedOntoWhite) {
    TempFolder tmp;
    // Opaque red, fully transparent blue, half-transparent black.
    std::vector<uint8_t> rgba = {255, 0, 0, 255, 0, 0, 255, 0, 0, 0, 0, 128};
    for (bool interlaced : {false, true}) {
        std::string path = tmp.File(interlaced ? "i.png" : "a.png");
        test::WritePng(path, 3, 1, 4, rgba, interlaced);
        TRgbImage img = DecodeImageFileToRgb(path);
        ASSERT_EQ(img.Width, 3);
        ASSERT_EQ(img.Height, 1);
        EXPECT_EQ(At(img, 0, 0), (std::vector<int>{255, 0, 0}));
        EXPECT_EQ(At(img, 1, 0), (std::vector<int>{255, 255, 255}));
        EXPECT_EQ(At(img, 2, 0), (std::vector<int>{127, 127, 127}));
    }
}

TEST(ImageDecode, GreyPngAndOnePixelPicture) {
    TempFolder tmp;
    test::WritePng(tmp.File("g.png"), 1, 1, 1, {42});
    TRgbImage img = DecodeImageFileToRgb(tmp.File("g.png"));
    EXPECT_EQ(img.Width, 1);
    EXPECT_EQ(At(img, 0, 0), (std::vector<int>{42, 42, 42}));
}

TEST(ImageDecode, JpegGreyRgbAndBothCmykConventions) {
    TempFolder tmp;
    struct Case {
        const char* name;
        J_COLOR_SPACE space;
        std::vector<uint8_t> pixel;
        bool adobe;
        std::vector<int> expected;
    } cases[] = {
        {"grey", JCS_GRAYSCALE, {100}, true, {100, 100, 100}},
        {"rgb", JCS_RGB, {200, 30, 40}, true, {200, 30, 40}},
        // Adobe stores CMYK inverted: red is C=0 M=255 Y=255 K=0 written as 255 0 0 255.
        {"cmyk-adobe", JCS_CMYK, {255, 0, 0, 255}, true, {255, 0, 0}},
        {"cmyk-plain", JCS_CMYK, {0, 255, 255, 0}, false, {255, 0, 0}},
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> pixels;
        for (int i = 0; i < 64; ++i) pixels.insert(pixels.end(), c.pixel.begin(), c.pixel.end());
        std::string path = tmp.File(std::string(c.name) + ".jpg");
        test::WriteBytes(path, test::JpegBytes(8, 8, c.space, pixels, c.adobe));
        TRgbImage img = DecodeImageFileToRgb(path);
        ASSERT_EQ(img.Width, 8) << c.name;
        EXPECT_TRUE(Near(At(img, 3, 3), c.expected, 4)) << c.name;
    }
}

TEST(ImageDecode, GifWithTransparencyTiffAndBmp) {
    TempFolder tmp;
    test::WriteGif(tmp.File("t.gif"), 2, 1, {{10, 20, 30}, {0, 0, 0}}, {0, 1}, 1);
    TRgbImage gif = DecodeImageFileToRgb(tmp.File("t.gif"));
    EXPECT_EQ(At(gif, 0, 0), (std::vector<int>{10, 20, 30}));
    EXPECT_EQ(At(gif, 1, 0), (std::vector<int>{255, 255, 255}));

    std::vector<uint8_t> rgb = {1, 2, 3, 4, 5, 6, 7, 8, 9, 250, 251, 252};
    test::WriteTiffRgb(tmp.File("p.tif"), 2, 2, rgb);
    test::WriteBmp(tmp.File("p.bmp"), 2, 2, rgb);
    for (const char* name : {"p.tif", "p.bmp"}) {
        TRgbImage img = DecodeImageFileToRgb(tmp.File(name));
        ASSERT_EQ(img.Width, 2) << name;
        ASSERT_EQ(img.Height, 2) << name;
        EXPECT_EQ(img.Pixels, rgb) << name;
    }
}

TEST(ImageDecode, DamagedOrUnknownFilesRaiseGermanErrorsNamingTheFile) {
    TempFolder tmp;
    test::WritePng(tmp.File("ok.png"), 4, 4, 3, std::vector<uint8_t>(48, 7));
    std::string png = ReadFileBytes(tmp.File("ok.png"));
    test::WriteBytes(tmp.File("cut.png"), png.substr(0, png.size() / 2));
    test::WriteBytes(tmp.File("text.png"), "kein Bild");
    test::WriteBytes(tmp.File("cut.gif"), "GIF89a\x02");
    test::WriteBytes(tmp.File("cut.bmp"), "BM\x10");
    test::WriteBytes(tmp.File("cut.tif"), std::string("II*\0\x08\0\0\0", 8));
    EXPECT_THAT(ErrorOf([&] { DecodeImageFileToRgb(tmp.File("cut.png")); }),
                HasSubstr("Bilddatei kann nicht gelesen werden: " + tmp.File("cut.png")));
    EXPECT_THAT(ErrorOf([&] { DecodeImageFileToRgb(tmp.File("text.png")); }),
                HasSubstr("Bildformat nicht erkannt"));
    for (const char* name : {"cut.gif", "cut.bmp", "cut.tif"})
        EXPECT_THAT(ErrorOf([&] { DecodeImageFileToRgb(tmp.File(name)); }),
                    HasSubstr("Bilddatei kann nicht gelesen werden: " + tmp.File(name)))
            << name;
}

TEST(ImageDecode, GifEndingAfterItsFrameHeaderIsRefusedWithAMessage) {
    // giflib fails on the missing picture data without an error text of its own.
    TempFolder tmp;
    const std::string screen("GIF87a\x02\0\x02\0\x80\0\0" "\0\0\0\xFF\xFF\xFF", 19);
    const std::string frameHeader(",\0\0\0\0\x01\0\x01\0\0", 10);
    test::WriteBytes(tmp.File("kurz.gif"), screen + frameHeader);
    EXPECT_THAT(ErrorOf([&] { DecodeImageFileToRgb(tmp.File("kurz.gif")); }),
                HasSubstr("Bilddatei kann nicht gelesen werden: " + tmp.File("kurz.gif") + " (GIF"));
}

// Decoders that used to fill a cut-off picture with whatever was in memory (GIF), black
// (BMP) or leave rows unread (TIFF) without a word.
TEST(ImageDecode, PictureCutInsideItsPixelDataIsRefused) {
    TempFolder tmp;
    std::vector<uint8_t> indices(32 * 32), rgb(32 * 32 * 3);
    for (size_t i = 0; i < indices.size(); ++i) indices[i] = static_cast<uint8_t>(i * 7 % 4);
    for (size_t i = 0; i < rgb.size(); ++i) rgb[i] = static_cast<uint8_t>(i * 13);
    test::WriteGif(tmp.File("ganz.gif"), 32, 32, {{0, 0, 0}, {255, 0, 0}, {0, 255, 0}, {0, 0, 255}}, indices, -1);
    std::string gif = ReadFileBytes(tmp.File("ganz.gif"));
    test::WriteBytes(tmp.File("kurz.gif"), gif.substr(0, gif.size() - 20));
    test::WriteBmp(tmp.File("ganz.bmp"), 32, 32, rgb);
    std::string bmp = ReadFileBytes(tmp.File("ganz.bmp"));
    test::WriteBytes(tmp.File("kurz.bmp"), bmp.substr(0, bmp.size() - 100));

    // A PackBits TIFF in strips of one row whose last strip stops after one byte.
    TIFF* tif = TIFFOpen(tmp.File("kurz.tif").c_str(), "w");
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, 4);
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, 2);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 3);
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, 1);
    TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_PACKBITS);
    std::vector<uint8_t> literal12(13, 9);
    literal12[0] = 11; // the next 12 bytes as they are
    TIFFWriteRawStrip(tif, 0, literal12.data(), 13);
    TIFFWriteRawStrip(tif, 1, literal12.data(), 2);
    TIFFClose(tif);

    // The whole files are fine.
    EXPECT_EQ(DecodeImageFileToRgb(tmp.File("ganz.gif")).Height, 32);
    EXPECT_EQ(DecodeImageFileToRgb(tmp.File("ganz.bmp")).Height, 32);
    for (const char* name : {"kurz.gif", "kurz.bmp", "kurz.tif"})
        EXPECT_THAT(ErrorOf([&] { DecodeImageFileToRgb(tmp.File(name)); }),
                    HasSubstr("Bilddatei kann nicht gelesen werden: " + tmp.File(name)))
            << name;
}

TEST(ImageDecode, JpegCutAtEveryLengthNeverCrashes) {
    TempFolder tmp;
    std::vector<uint8_t> pixels(16 * 16 * 3, 90);
    std::string jpeg = test::JpegBytes(16, 16, JCS_RGB, pixels);
    for (size_t len = 3; len < jpeg.size(); len += 7) {
        test::WriteBytes(tmp.File("c.jpg"), jpeg.substr(0, len));
        try {
            TRgbImage img = DecodeImageFileToRgb(tmp.File("c.jpg"));
            EXPECT_EQ(img.Pixels.size(), static_cast<size_t>(img.Width) * img.Height * 3);
        } catch (const Exception& e) {
            EXPECT_THAT(e.what(), HasSubstr(tmp.File("c.jpg")));
        }
    }
}

// libjpeg only warns about damaged data and fills the rest in grey; such a picture
// must not pass as sound (it would be embedded as it is).
TEST(ImageDecode, DamagedJpegDataIsRefusedNotFilledIn) {
    TempFolder tmp;
    std::vector<uint8_t> pixels(64 * 64 * 3);
    for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<uint8_t>(i * 37 % 251);
    const std::string jpeg = test::JpegBytes(64, 64, JCS_RGB, pixels);
    const std::string body = jpeg.substr(0, jpeg.size() - 2); // without EOI
    const size_t middle = jpeg.find("\xFF\xDA") + (jpeg.size() - jpeg.find("\xFF\xDA")) / 2; // inside the scan
    struct Case {
        const char* name;
        std::string bytes;
        const char* libraryText;
    } cases[] = {
        {"abgeschnitten.jpg", jpeg.substr(0, jpeg.size() * 2 / 3), "Premature end of JPEG file"},
        {"ohne-ende.jpg", body, "Premature end of JPEG file"},
        {"marke-mitten-drin.jpg", jpeg.substr(0, middle) + "\xFF\xD0" + jpeg.substr(middle),
         "Corrupt JPEG data: premature end of data segment"},
        {"genullt.jpg", jpeg.substr(0, middle) + std::string(8, '\0') + jpeg.substr(middle + 8),
         "Corrupt JPEG data: bad Huffman code"},
    };
    // Whole, and whole with bytes left over before the end marker (skipped by every reader).
    for (const std::string& sound : {jpeg, body + std::string(40, '\x55') + "\xFF\xD9"})
        EXPECT_EQ(CheckImageDecodes(tmp.File("ganz.jpg"), sound).Width, 64);
    for (const Case& c : cases) {
        const std::string path = tmp.File(c.name);
        test::WriteBytes(path, c.bytes);
        const std::string expected = "Bilddatei kann nicht gelesen werden: " + path + " (JPEG-Daten fehlerhaft: ";
        EXPECT_THAT(ErrorOf([&] { CheckImageDecodes(path, c.bytes); }), HasSubstr(expected)) << c.name;
        EXPECT_THAT(ErrorOf([&] { DecodeImageFileToRgb(path); }), HasSubstr(c.libraryText)) << c.name;
    }
}

// The libraries' English texts stay, in parentheses behind a German statement of what failed.
TEST(ImageDecode, LibraryMessagesAreWrappedInGerman) {
    TempFolder tmp;
    test::WritePng(tmp.File("ok.png"), 4, 4, 3, std::vector<uint8_t>(48, 7));
    std::string badCrc = ReadFileBytes(tmp.File("ok.png"));
    badCrc[29] = static_cast<char>(badCrc[29] ^ 0xFF); // inside the IHDR checksum
    struct Case {
        const char* name;
        std::string bytes;
        const char* format;
    } cases[] = {
        {"a.jpg", std::string("\xFF\xD8\xFF\xC0\x00\x02", 6), "JPEG"},
        {"a.png", badCrc, "PNG"},
        {"a.gif", "GIF89a\x02", "GIF"},
        {"a.tif", std::string("II*\0\x08\0\0\0", 8), "TIFF"},
        {"a.bmp", "BM\x10", "BMP"},
    };
    for (const Case& c : cases) {
        const std::string path = tmp.File(c.name);
        test::WriteBytes(path, c.bytes);
        const std::string error = ErrorOf([&] { DecodeImageFileToRgb(path); });
        const std::string start = "Bilddatei kann nicht gelesen werden: " + path + " (" + c.format + "-Daten fehlerhaft: ";
        EXPECT_THAT(error, StartsWith(start)) << c.name;
        EXPECT_GT(error.size(), start.size() + 1) << "the library's text is kept: " << error;
        EXPECT_TRUE(error.ends_with(")")) << error;
    }
}

TEST(ImageDecode, HugeBufferedPictureIsRefusedBeforeDecoding) {
    TempFolder tmp;
    // A GIF header announcing 10000 × 10000 pixels: refused from the header alone.
    std::string gif = "GIF89a";
    gif += std::string("\x10\x27\x10\x27\x00\x00\x00", 7);
    gif += ";";
    test::WriteBytes(tmp.File("huge.gif"), gif);
    EXPECT_THAT(ErrorOf([&] { DecodeImageFileToRgb(tmp.File("huge.gif")); }),
                HasSubstr("Bild ist zu groß: " + tmp.File("huge.gif") + " (10000 × 10000 Pixel"));
}

TEST(ImageReencode, HugePngStreamsRowByRowIntoJpeg) {
    TempFolder tmp;
    // Just below the pixel limit (49 megapixels).
    std::vector<uint8_t> row(7000, 255);
    for (int x = 0; x < 7000; x += 100) row[x] = 0;
    test::WriteUniformPng(tmp.File("big.png"), 7000, 7000, row);
    std::string jpeg = ReencodeImageAsJpeg(tmp.File("big.png"), 90);
    ASSERT_GT(jpeg.size(), 4u);
    EXPECT_EQ(jpeg.substr(0, 2), "\xFF\xD8");
    test::WriteBytes(tmp.File("big.jpg"), jpeg);
    // Read back only the header: the encoder wrote 10000 × 10000, three components.
    jpeg_decompress_struct d{};
    jpeg_error_mgr err{};
    d.err = jpeg_std_error(&err);
    jpeg_create_decompress(&d);
    jpeg_mem_src(&d, reinterpret_cast<const unsigned char*>(jpeg.data()), jpeg.size());
    jpeg_read_header(&d, TRUE);
    EXPECT_EQ(d.image_width, 7000u);
    EXPECT_EQ(d.image_height, 7000u);
    EXPECT_EQ(d.num_components, 3);
    EXPECT_FALSE(d.progressive_mode);
    jpeg_destroy_decompress(&d);
}

TEST(ImageReencode, ResultIsRgbJpegOfTheFlattenedPicture) {
    TempFolder tmp;
    test::WritePng(tmp.File("a.png"), 8, 8, 2, std::vector<uint8_t>(128, 0)); // grey, fully transparent
    test::WriteBytes(tmp.File("back.jpg"), ReencodeImageAsJpeg(tmp.File("a.png"), 90));
    TRgbImage img = DecodeImageFileToRgb(tmp.File("back.jpg"));
    EXPECT_TRUE(Near(At(img, 4, 4), {255, 255, 255}, 2));
}

} // namespace
} // namespace velkaro
