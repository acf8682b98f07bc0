#include "pdf/icc_profile.h"

#include <cstdint>

#include "platform/byte_order.h"
#include "platform/error.h"
#include "platform/files.h"

namespace velkaro {

namespace {

// The fixed header (128 bytes) and the tag count that follows it.
constexpr size_t kHeaderSize = 128;
constexpr size_t kTagEntrySize = 12;

// A four-byte signature as readable text: other bytes show as "?".
std::string Signature(std::string_view b, size_t pos) {
    std::string s(b.substr(pos, 4));
    for (char& c : s)
        if (c < 0x20 || c > 0x7E) c = '?';
    return "'" + s + "'";
}

[[noreturn]] void Invalid(const std::string& path, const std::string& reason) {
    throw Exception("ICC-Profil ist ungültig: " + path + " (" + reason + ")");
}

} // namespace

void CheckOutputIntentProfile(const std::string& path, std::string_view bytes) {
    if (bytes.size() < kHeaderSize + 4)
        Invalid(path, "nur " + std::to_string(bytes.size()) + " Byte, ein ICC-Profil hat mindestens " +
                          std::to_string(kHeaderSize + 4));
    if (bytes.substr(36, 4) != "acsp") Invalid(path, "Kennung 'acsp' fehlt, die Datei ist kein ICC-Profil");
    const uint32_t declared = BigEndian32(bytes, 0);
    if (declared != bytes.size())
        Invalid(path, "laut Kopf " + std::to_string(declared) + " Byte, die Datei hat " +
                          std::to_string(bytes.size()) + " Byte");
    if (bytes.substr(16, 4) != "RGB ")
        Invalid(path, "Farbraum " + Signature(bytes, 16) + ", erwartet wird ein RGB-Profil ('RGB ')");
    const std::string_view deviceClass = bytes.substr(12, 4);
    if (deviceClass != "mntr" && deviceClass != "prtr")
        Invalid(path, "Profilklasse " + Signature(bytes, 12) +
                          ", erwartet wird ein Monitor- oder Druckerprofil ('mntr' oder 'prtr')");
    // PDF/A takes the profile versions 2 to 4; a later one (iccMAX, 5) no reader of the
    // archive format need understand.
    const unsigned major = static_cast<unsigned char>(bytes[8]);
    if (major < 2 || major > 4)
        Invalid(path, "Version " + std::to_string(major) + "." + std::to_string(static_cast<unsigned char>(bytes[9]) >> 4) +
                          ", erwartet wird ein Profil der Version 2 bis 4");
    const uint64_t tags = BigEndian32(bytes, kHeaderSize);
    if (tags == 0) Invalid(path, "das Profil hat keine Tags");
    if (kHeaderSize + 4 + tags * kTagEntrySize > bytes.size())
        Invalid(path, "die Tabelle der " + std::to_string(tags) + " Tags ist länger als die Datei");
    for (uint64_t k = 0; k < tags; ++k) {
        const size_t entry = kHeaderSize + 4 + static_cast<size_t>(k) * kTagEntrySize;
        const uint64_t offset = BigEndian32(bytes, entry + 4);
        const uint64_t size = BigEndian32(bytes, entry + 8);
        if (offset + size > bytes.size())
            Invalid(path, "Tag " + std::to_string(k + 1) + " " + Signature(bytes, entry) + " reicht über das Ende der Datei");
    }
}

std::string ReadOutputIntentProfile(const std::string& path) {
    if (!FileExists(path)) throw Exception("ICC-Profil nicht gefunden: " + path);
    std::string bytes = ReadFileBytes(path);
    CheckOutputIntentProfile(path, bytes);
    return bytes;
}

} // namespace velkaro
