#pragma once
// Numbers stored in file headers.
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace velkaro {

// The unsigned 32-bit big-endian number at `pos`; the caller makes sure four bytes are there.
inline uint32_t BigEndian32(std::string_view bytes, size_t pos) {
    uint32_t v = 0;
    for (size_t k = 0; k < 4; ++k) v = v << 8 | static_cast<unsigned char>(bytes[pos + k]);
    return v;
}

} // namespace velkaro
