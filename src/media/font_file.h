#pragma once
// Installed TrueType fonts: finds the file that the system chooses for a face and weight
// and delivers its complete bytes, the way GDI's GetFontData does on Windows.
#include <string>
#include <string_view>

namespace velkaro {

// Path of the installed font file that fontconfig picks for the face (first 31
// characters) in regular (400) or bold (700) weight, upright. Faces that are not
// installed resolve to the system's substitute, as on Windows. "" when nothing matches.
std::string FindFontFile(const std::string& face, bool bold);

// Path of the first installed font, in the order fontconfig's fallback tries them for
// the face and weight, that has the character and is a single TrueType file (no
// collection, no CFF outlines). "" when none has it.
std::string FindFallbackFontFile(const std::string& face, bool bold, char32_t cp);

// The whole font file; refuses everything but a single TrueType font (sfnt 1.0).
// Messages: "Schrift nicht verfügbar: ", "Schriftdaten nicht lesbar (keine
// TrueType-Schrift?): ", "Schriftdaten nicht lesbar: " and the long TTC/OTF message.
std::string LoadFontData(const std::string& face, bool bold);

// The sfnt check of LoadFontData on bytes already read.
void CheckTrueTypeData(std::string_view data, const std::string& face);

} // namespace velkaro
