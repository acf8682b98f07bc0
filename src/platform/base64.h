#pragma once
// Base64 with the standard alphabet and "=" padding, no line breaks.
#include <optional>
#include <string>
#include <string_view>

namespace velkaro {

std::string Base64Encode(std::string_view bytes);
// Returns nullopt for any character outside the alphabet, wrong padding or length.
std::optional<std::string> Base64Decode(std::string_view text);

} // namespace velkaro
