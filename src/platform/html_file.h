#pragma once
// Reading an HTML file (mail templates, signatures) whatever its encoding.
#include <string>

namespace velkaro {

// Reads an HTML file in the encoding its byte-order mark or declared charset names
// (UTF-8, UTF-16, else Windows-1252) and returns it as UTF-8. Raises when it cannot be read.
std::string LoadHtmlFile(const std::string& fileName);

} // namespace velkaro
