#pragma once
// Picture decoding (PNG, GIF, TIFF, BMP, JPEG incl. CMYK) to 8-bit RGB flattened onto
// white, and re-encoding as baseline JPEG. Formats are told by their signature, not by
// the file name. Errors raise German messages that name the file.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace velkaro {

// Receives a decoded picture top to bottom, one RGB row (3 × width bytes) at a time.
class TImageRowSink {
public:
    virtual ~TImageRowSink() = default;
    virtual void Start(int width, int height) = 0;
    virtual void Row(const uint8_t* rgb) = 0;
};

// A picture file larger than this is refused before it is read; a picture with more
// pixels than this is refused from its header, before any pixel is decoded.
inline constexpr int64_t kMaxImageFileBytes = 100'000'000;
inline constexpr int64_t kMaxImagePixels = 50'000'000;

// The bytes of a picture file; raises "Bilddatei ist zu groß: " beyond kMaxImageFileBytes.
std::string ReadImageFile(const std::string& path);

// Non-interlaced PNG and JPEG stream row by row: memory stays at a few rows. GIF, TIFF,
// BMP and interlaced PNG are held whole while decoding.
void DecodeImageFile(const std::string& path, TImageRowSink& sink);

struct TRgbImage {
    int Width = 0;
    int Height = 0;
    std::vector<uint8_t> Pixels; // RGB, row by row
};
TRgbImage DecodeImageFileToRgb(const std::string& path);

struct TImageSize {
    int Width = 0;
    int Height = 0;
};
// Decodes the picture of `bytes` to its end and drops the pixels: a damaged or cut-off
// picture raises here. `path` only names the picture in messages.
TImageSize CheckImageDecodes(const std::string& path, const std::string& bytes);

// The media type of a picture that every mail reader shows, told by the signature of
// `bytes`: "image/png", "image/jpeg" or "image/gif"; "" for anything else (other
// picture formats too).
std::string WebPictureType(std::string_view bytes);

// The picture as a baseline JPEG (three components) at the quality 0..100.
std::string ReencodeImageAsJpeg(const std::string& path, int quality);
std::string ReencodeImageAsJpeg(const std::string& path, const std::string& bytes, int quality);

} // namespace velkaro
