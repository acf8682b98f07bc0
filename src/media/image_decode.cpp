#include "media/image_decode.h"

#include <filesystem>

#include "platform/error.h"
#include "platform/files.h"
#include "media/image_formats.h"

namespace velkaro {

namespace image_detail {

void Fail(const std::string& path, const std::string& detail) {
    throw Exception("Bilddatei kann nicht gelesen werden: " + path + (detail.empty() ? "" : " (" + detail + ")"));
}

void FailDecoding(const std::string& path, const std::string& format, const std::string& libraryText) {
    Fail(path, format + "-Daten fehlerhaft" + (libraryText.empty() ? "" : ": " + libraryText));
}

void CheckImageSize(const std::string& path, int64_t width, int64_t height) {
    if (width <= 0 || height <= 0) Fail(path, "ungültige Bildgröße");
    if (width * height > kMaxImagePixels)
        throw Exception("Bild ist zu groß: " + path + " (" + std::to_string(width) + " × " + std::to_string(height) +
                        " Pixel, höchstens " + std::to_string(kMaxImagePixels / 1'000'000) + " Megapixel)");
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

namespace {
[[noreturn]] void FailFileTooLarge(const std::string& path, uint64_t size) {
    const uint64_t mb = 1'000'000;
    throw Exception("Bilddatei ist zu groß: " + path + " (" + std::to_string((size + mb - 1) / mb) + " MB, höchstens " +
                    std::to_string(kMaxImageFileBytes / mb) + " MB)");
}
} // namespace

std::string WebPictureType(std::string_view bytes) {
    if (bytes.starts_with("\x89PNG\r\n\x1A\n")) return "image/png";
    if (bytes.starts_with("\xFF\xD8\xFF")) return "image/jpeg";
    if (bytes.starts_with("GIF87a") || bytes.starts_with("GIF89a")) return "image/gif";
    return {};
}

std::string ReadImageFile(const std::string& path) {
    // Asked before reading: a huge file must not be read into memory to be refused.
    std::error_code ec;
    const uintmax_t size = std::filesystem::file_size(std::filesystem::path(path), ec);
    if (!ec && size > static_cast<uintmax_t>(kMaxImageFileBytes)) FailFileTooLarge(path, size);
    std::string bytes = ReadFileBytes(path);
    if (bytes.size() > static_cast<size_t>(kMaxImageFileBytes)) FailFileTooLarge(path, bytes.size());
    return bytes;
}

void DecodeImageFile(const std::string& path, TImageRowSink& sink) {
    image_detail::DecodeImageBytes(path, ReadImageFile(path), sink);
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

namespace {
class TSizeRecorder : public TImageRowSink {
public:
    void Start(int width, int height) override { Size = {width, height}; }
    void Row(const uint8_t*) override {}
    TImageSize Size;
};
} // namespace

TImageSize CheckImageDecodes(const std::string& path, const std::string& bytes) {
    TSizeRecorder recorder;
    image_detail::DecodeImageBytes(path, bytes, recorder);
    return recorder.Size;
}

} // namespace velkaro
