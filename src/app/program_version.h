#pragma once
// The program's name and version as the build set them.
#include <string>

namespace velkaro {

// "0.1.0".
std::string ProgramVersion();

} // namespace velkaro
