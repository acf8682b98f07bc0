#pragma once
// Internal: the per-format decoders behind DecodeImageFile.
#include <cstdint>
#include <string>

#include "media/image_decode.h"

namespace velkaro::image_detail {

// DecodeImageFile on bytes already read; path only names the picture in messages.
void DecodeImageBytes(const std::string& path, const std::string& bytes, TImageRowSink& sink);

void DecodePng(const std::string& path, const std::string& bytes, TImageRowSink& sink);
void DecodeJpeg(const std::string& path, const std::string& bytes, TImageRowSink& sink);
void DecodeGif(const std::string& path, const std::string& bytes, TImageRowSink& sink);
void DecodeTiff(const std::string& path, const std::string& bytes, TImageRowSink& sink);
void DecodeBmp(const std::string& path, const std::string& bytes, TImageRowSink& sink);

// "Bilddatei kann nicht gelesen werden: <path> (<detail>)".
[[noreturn]] void Fail(const std::string& path, const std::string& detail);
// The same for a decoding library's own (English) text: "(<format>-Daten fehlerhaft: <text>)".
[[noreturn]] void FailDecoding(const std::string& path, const std::string& format, const std::string& libraryText);
// Refuses a picture without pixels or beyond kMaxImagePixels; called with the size
// from the header, before any pixel is decoded.
void CheckImageSize(const std::string& path, int64_t width, int64_t height);

// A colour value with straight alpha over white.
inline uint8_t OverWhite(uint32_t c, uint32_t alpha) {
    return static_cast<uint8_t>((c * alpha + 255u * (255u - alpha) + 127u) / 255u);
}

} // namespace velkaro::image_detail
