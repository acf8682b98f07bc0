#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

#include "pdf/pdf_image.h"
#include "pdf/pdf_object_writer.h"
#include "platform/error.h"
#include "platform/files.h"
#include "media/image_test_writers.h"
#include "support/test_support.h"

namespace velkaro {
namespace {

using test::ErrorOf;
using test::TempFolder;
using ::testing::HasSubstr;

TEST(JpegHeader, ScanFindsTheFrameHeader) {
    const std::string sof = std::string("\xFF\xC0\x00\x11\x08\x01\x2C\x02\x58\x03", 10) + std::string(12, '\0');
    const std::string app = std::string("\xFF\xE0\x00\x10", 4) + std::string(14, 'J');
    struct Case {
        const char* name;
        std::string data;
        int width, height, comps;
    } cases[] = {
        {"direct", "\xFF\xD8" + sof, 600, 300, 3},
        {"after APP", "\xFF\xD8" + app + sof, 600, 300, 3},
        {"fill bytes", "\xFF\xD8" + app + "\xFF\xFF" + sof, 600, 300, 3},
        {"progressive", std::string("\xFF\xD8\xFF\xC2\x00\x0B\x08\x00\x02\x00\x04\x01", 12) + std::string(8, '\0'), 4,
         2, 1},
        {"length past end", std::string("\xFF\xD8\xFF\xE1\xFF\xF0", 6) + std::string(20, 'x') + sof, 0, 0, 0},
        {"no SOI", std::string("\xFF\xD9", 2) + sof, 0, 0, 0},
        {"too short", "\xFF\xD8\xFF", 0, 0, 0},
        {"frame header cut", std::string("\xFF\xD8\xFF\xC0\x00\x11\x08", 7), 0, 0, 0},
    };
    for (const Case& c : cases) {
        TJpegHeader h = ParseJpegHeader(c.data);
        EXPECT_EQ(h.Components, c.comps) << c.name;
        EXPECT_EQ(h.Width, c.width) << c.name;
        EXPECT_EQ(h.Height, c.height) << c.name;
    }
}

std::string ObjectText(const TPdfImage& img) {
    TPdfObjectWriter w;
    const_cast<TPdfImage&>(img).Obj = 10;
    img.WriteObject(w);
    return w.Buffer();
}

TEST(PdfImage, JpegFilesWithOneOrThreeComponentsAreTakenAsTheyAre) {
    TempFolder tmp;
    std::string grey = test::JpegBytes(4, 2, JCS_GRAYSCALE, std::vector<uint8_t>(8, 50));
    std::string rgb = test::JpegBytes(4, 2, JCS_RGB, std::vector<uint8_t>(24, 50));
    WriteFileBytes(tmp.File("grey.jpg"), grey);
    WriteFileBytes(tmp.File("rgb.JPEG"), rgb);
    auto g = TPdfImage::CreateFromFile(tmp.File("grey.jpg"), "Im1");
    auto c = TPdfImage::CreateFromFile(tmp.File("rgb.JPEG"), "Im2");
    EXPECT_EQ(g->Data(), grey);
    EXPECT_EQ(c->Data(), rgb);
    EXPECT_EQ(ObjectText(*g), "10 0 obj\n<< /Type /XObject /Subtype /Image /Width 4 /Height 2 /ColorSpace /DeviceGray "
                              "/BitsPerComponent 8 /Filter /DCTDecode /Length " +
                                  std::to_string(grey.size()) + " >>\nstream\n" + grey + "\nendstream\nendobj\n");
    EXPECT_THAT(ObjectText(*c), ::testing::HasSubstr("/ColorSpace /DeviceRGB "));
}

TEST(PdfImage, OtherPicturesAreReencodedAsRgbJpeg) {
    TempFolder tmp;
    std::string cmyk = test::JpegBytes(4, 4, JCS_CMYK, std::vector<uint8_t>(64, 0));
    WriteFileBytes(tmp.File("cmyk.jpg"), cmyk);
    test::WritePng(tmp.File("alpha.png"), 3, 2, 4, std::vector<uint8_t>(24, 0));
    test::WritePng(tmp.File("really-png.jpg"), 3, 2, 1, std::vector<uint8_t>(6, 0));
    // JPEG data under another extension goes through the decoder as well.
    WriteFileBytes(tmp.File("jpeg.png"), test::JpegBytes(5, 1, JCS_GRAYSCALE, std::vector<uint8_t>(5, 0)));
    struct Case {
        const char* name;
        int width, height;
    } cases[] = {{"cmyk.jpg", 4, 4}, {"alpha.png", 3, 2}, {"really-png.jpg", 3, 2}, {"jpeg.png", 5, 1}};
    for (const Case& c : cases) {
        auto img = TPdfImage::CreateFromFile(tmp.File(c.name), "Im1");
        EXPECT_EQ(img->Components(), 3) << c.name;
        EXPECT_EQ(img->Width(), c.width) << c.name;
        EXPECT_EQ(img->Height(), c.height) << c.name;
        EXPECT_NE(img->Data(), ReadFileBytes(tmp.File(c.name))) << c.name;
    }
}

TEST(PdfImage, ErrorsNameTheFile) {
    TempFolder tmp;
    auto error = [](const std::string& path) -> std::string {
        try {
            TPdfImage::CreateFromFile(path, "Im1");
        } catch (const Exception& e) {
            return e.what();
        }
        return "";
    };
    EXPECT_EQ(error(tmp.File("fehlt.png")), "Bilddatei nicht gefunden: " + tmp.File("fehlt.png"));
    // Segment lengths run past the end: no frame header, then the decoder refuses it.
    WriteFileBytes(tmp.File("bad.jpg"), std::string("\xFF\xD8\xFF\xE1\xFF\xF0", 6) + std::string(40, 'x'));
    EXPECT_THAT(error(tmp.File("bad.jpg")), ::testing::HasSubstr("Bilddatei kann nicht gelesen werden: " +
                                                                 tmp.File("bad.jpg")));
    WriteFileBytes(tmp.File("text.gif"), "kein Bild");
    EXPECT_THAT(error(tmp.File("text.gif")), ::testing::HasSubstr(tmp.File("text.gif")));
}


// A JPEG is embedded byte for byte, so it must decode to its end first: a damaged one
// would make every PDF invalid (qpdf: "invalid jpeg data").
TEST(PdfImage, JpegTakenAsItIsMustDecodeToItsEnd) {
    TempFolder tmp;
    std::vector<uint8_t> pixels(48 * 48 * 3);
    for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<uint8_t>(i * 41 % 253);
    const std::string jpeg = test::JpegBytes(48, 48, JCS_RGB, pixels);
    std::string huge = jpeg;
    const size_t sof = huge.find("\xFF\xC0");
    huge[sof + 5] = huge[sof + 7] = '\x4E', huge[sof + 6] = huge[sof + 8] = '\x20'; // 20000 × 20000
    const size_t middle = jpeg.find("\xFF\xDA") + (jpeg.size() - jpeg.find("\xFF\xDA")) / 2; // inside the scan
    const std::string leftOver = jpeg.substr(0, jpeg.size() - 2) + std::string(40, 'x') + "\xFF\xD9";
    struct Case {
        const char* name;
        std::string bytes;
        std::string error; // start of the message after the path
    } cases[] = {
        {"ganz.jpg", jpeg, ""},
        {"rest-vor-dem-ende.jpeg", leftOver, ""},
        {"abgeschnitten.jpg", jpeg.substr(0, jpeg.size() / 2), " (JPEG-Daten fehlerhaft: Premature end of JPEG file)"},
        {"marke-mitten-drin.jpeg", jpeg.substr(0, middle) + "\xFF\xD0" + jpeg.substr(middle),
         " (JPEG-Daten fehlerhaft: Corrupt JPEG data: premature end of data segment)"},
        {"riesig.jpg", huge, " (20000 × 20000 Pixel, höchstens 50 Megapixel)"},
    };
    for (const Case& c : cases) {
        const std::string path = tmp.File(c.name);
        WriteFileBytes(path, c.bytes);
        std::string data;
        const std::string error = ErrorOf([&] { data = TPdfImage::CreateFromFile(path, "Im1")->Data(); });
        if (c.error.empty()) {
            EXPECT_EQ(error, "") << c.name;
            EXPECT_EQ(data, c.bytes) << c.name << ": taken as it is";
        } else {
            const std::string sentence = c.name == std::string("riesig.jpg") ? "Bild ist zu groß: "
                                                                             : "Bilddatei kann nicht gelesen werden: ";
            EXPECT_THAT(error, ::testing::StartsWith(sentence + path + c.error)) << c.name;
        }
    }
}

// Rewrites the file in place with other bytes of the same length and gives it back its
// modification time: to the process it looks unchanged.
void ReplaceUnnoticed(const std::string& path, const std::string& bytes) {
    const auto modified = std::filesystem::last_write_time(path);
    FILE* f = std::fopen(path.c_str(), "r+b");
    ASSERT_NE(f, nullptr);
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
    std::filesystem::last_write_time(path, modified);
}

TEST(PdfImage, EachPictureFileIsPreparedOncePerProcess) {
    TempFolder tmp;
    const std::string jpeg = test::JpegBytes(6, 4, JCS_GRAYSCALE, std::vector<uint8_t>(24, 80));
    test::WritePng(tmp.File("logo.png"), 3, 2, 3, std::vector<uint8_t>(18, 90));
    WriteFileBytes(tmp.File("logo.jpg"), jpeg);
    for (const char* name : {"logo.jpg", "logo.png"}) {
        const std::string path = tmp.File(name);
        auto first = TPdfImage::CreateFromFile(path, "Im1");
        // Unreadable as a picture now, but the process does not look at it again...
        ReplaceUnnoticed(path, std::string(ReadFileBytes(path).size(), 'x'));
        auto second = TPdfImage::CreateFromFile(path, "Im2");
        EXPECT_EQ(second->Data(), first->Data()) << name;
        EXPECT_EQ(second->ResName(), "Im2");
        // ...until the file changes.
        std::filesystem::last_write_time(path, std::filesystem::last_write_time(path) + std::chrono::seconds(5));
        EXPECT_THAT(ErrorOf([&] { TPdfImage::CreateFromFile(path, "Im3"); }), HasSubstr(path)) << name;
    }
}

} // namespace
} // namespace velkaro
