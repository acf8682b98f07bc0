#include "media/image_decode.h"

#include "platform/error.h"
#include "platform/files.h"
#include "media/image_formats.h"

namespace velkaro {

namespace image_detail {

void Fail(const std::string& path, const std::string& detail) {
    throw Exception("Bilddatei kann nicht gelesen werden: " + path + (detail.empty() ? "" : " (" + detail + ")"));
}

void CheckBufferedSize(const std::string& path, int64_t width, int64_t height) {
    if (width <= 0 || height <= 0) Fail(path, "ungültige Bildgröße");
    if (width * height > kMaxBufferedImagePixels)
        throw Exception("Bild ist zu groß: " + path + " (" + std::to_string(width) + " × " + std::to_string(height) +
                        " Pixel, in diesem Format höchstens " + std::to_string(kMaxBufferedImagePixels / 1000000) +
                        " Megapixel)");
}

void DecodeImageBytes(const std::string& path, const std::string& bytes, TImageRowSink& sink) {
    auto startsWith = [&](std::string_view magic) { return bytes.compare(0, magic.size(), magic) == 0; };
    if (startsWith("\x89PNG\r\n\x1A\n")) DecodePng(path, bytes, sink);
    else if (startsWith("\xFF\xD8\xFF")) DecodeJpeg(path, bytes, sink);
    else if (startsWith("GIF87a") || startsWith("GIF89a")) DecodeGif(path, bytes, sink);
    else if (startsWith(std::string_view("II*\0", 4)) || startsWith(std::string_view("MM\0*", 4)) ||
             startsWith(std::string_view("II+\0", 4)) || startsWith(std::string_view("MM\0+", 4)))
        DecodeTiff(path, bytes, sink);
    else if (startsWith("BM")) DecodeBmp(path, bytes, sink);
    else throw Exception("Bildformat nicht erkannt (erwartet PNG, JPEG, GIF, TIFF oder BMP): " + path);
}

} // namespace image_detail

void DecodeImageFile(const std::string& path, TImageRowSink& sink) {
    image_detail::DecodeImageBytes(path, ReadFileBytes(path), sink);
}

namespace {
class TRgbCollector : public TImageRowSink {
public:
    explicit TRgbCollector(TRgbImage& img) : FImg(img) {}
    void Start(int width, int height) override {
        FImg.Width = width;
        FImg.Height = height;
        FImg.Pixels.clear();
        FImg.Pixels.reserve(static_cast<size_t>(width) * height * 3);
    }
    void Row(const uint8_t* rgb) override { FImg.Pixels.insert(FImg.Pixels.end(), rgb, rgb + 3 * FImg.Width); }

private:
    TRgbImage& FImg;
};
} // namespace

TRgbImage DecodeImageFileToRgb(const std::string& path) {
    TRgbImage img;
    TRgbCollector collector(img);
    DecodeImageFile(path, collector);
    return img;
}

} // namespace velkaro
