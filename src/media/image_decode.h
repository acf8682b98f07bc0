#pragma once
// Picture decoding (PNG, GIF, TIFF, BMP, JPEG incl. CMYK) to 8-bit RGB flattened onto
// white, and re-encoding as baseline JPEG. Formats are told by their signature, not by
// the file name. Errors raise German messages that name the file.
#include <cstdint>
#include <string>
#include <vector>

namespace velkaro {

// Receives a decoded picture top to bottom, one RGB row (3 × width bytes) at a time.
class TImageRowSink {
public:
    virtual ~TImageRowSink() = default;
    virtual void Start(int width, int height) = 0;
    virtual void Row(const uint8_t* rgb) = 0;
};

// Formats that cannot be read row by row (GIF, TIFF, BMP, interlaced PNG) are held whole
// while decoding; pictures above this many pixels are refused for them.
inline constexpr int64_t kMaxBufferedImagePixels = 64LL * 1024 * 1024;

// Non-interlaced PNG and JPEG stream row by row: memory stays at a few rows.
void DecodeImageFile(const std::string& path, TImageRowSink& sink);

struct TRgbImage {
    int Width = 0;
    int Height = 0;
    std::vector<uint8_t> Pixels; // RGB, row by row
};
TRgbImage DecodeImageFileToRgb(const std::string& path);

// The picture as a baseline JPEG (three components) at the quality 0..100.
std::string ReencodeImageAsJpeg(const std::string& path, int quality);

} // namespace velkaro
