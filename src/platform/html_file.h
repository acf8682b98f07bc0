#pragma once
// Reading an HTML file (mail templates, signatures) whatever its encoding.
#include <cstddef>
#include <string>

namespace velkaro {

// A mail template or signature larger than this is no template (4 MiB).
inline constexpr size_t kMaxHtmlFileBytes = 4u * 1024 * 1024;

// Reads an HTML file in the encoding its byte-order mark or declared charset names
// (UTF-8, UTF-16, else Windows-1252) and returns it as UTF-8. Raises when it cannot be
// read, is larger than kMaxHtmlFileBytes or is no text (NUL or other control bytes
// once decoded), so that a binary file is never mailed as a body.
std::string LoadHtmlFile(const std::string& fileName);

} // namespace velkaro
