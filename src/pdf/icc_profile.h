#pragma once
// The ICC profile of the PDF/A output intent. The intent declares three components, so
// only an RGB profile of a monitor or printer fits; any other file would make every
// invoice an invalid PDF/A without a word.
#include <string>
#include <string_view>

namespace velkaro {

// Raises "ICC-Profil ist ungültig: <path> (<reason>)" when the header of `bytes` does
// not describe a whole RGB output profile: version 2 to 4, at least one tag, the tag
// table and every tag inside the file.
void CheckOutputIntentProfile(const std::string& path, std::string_view bytes);

// The checked bytes of the profile file; raises "ICC-Profil nicht gefunden: <path>"
// when there is no such file, or the error of CheckOutputIntentProfile.
std::string ReadOutputIntentProfile(const std::string& path);

} // namespace velkaro
