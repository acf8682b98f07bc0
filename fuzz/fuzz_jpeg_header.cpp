// The JPEG segment walk that decides whether a picture is embedded as it is.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "pdf/pdf_image.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const velkaro::TJpegHeader h = velkaro::ParseJpegHeader(std::string_view(reinterpret_cast<const char*>(data), size));
    // Sizes are 16-bit fields and the component count one byte.
    if (h.Width < 0 || h.Width > 65535 || h.Height < 0 || h.Height > 65535 || h.Components < 0 || h.Components > 255)
        std::abort();
    return 0;
}
