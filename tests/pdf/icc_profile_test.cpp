#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "pdf/icc_profile.h"
#include "platform/files.h"
#include "support/test_support.h"

namespace velkaro {
namespace {

using test::ErrorOf;
using test::TempFolder;

void PutBigEndian32(std::string& b, size_t pos, uint32_t v) {
    for (int k = 0; k < 4; ++k) b[pos + k] = static_cast<char>(v >> (24 - 8 * k) & 0xFF);
}

// The header of an RGB monitor profile of version 4.3 with one tag of 16 bytes at
// offset 144, 160 bytes in all.
std::string SoundProfile() {
    std::string p(160, '\0');
    PutBigEndian32(p, 0, 160);
    p[8] = 4;
    p[9] = 0x30;
    p.replace(12, 4, "mntr");
    p.replace(16, 4, "RGB ");
    p.replace(20, 4, "XYZ ");
    p.replace(36, 4, "acsp");
    PutBigEndian32(p, 128, 1);
    p.replace(132, 4, "wtpt");
    PutBigEndian32(p, 136, 144);
    PutBigEndian32(p, 140, 16);
    return p;
}

std::string With(std::string p, size_t pos, const std::string& bytes) { return p.replace(pos, bytes.size(), bytes); }

TEST(IccProfile, HeaderMustDescribeAWholeRgbOutputProfile) {
    const std::string sound = SoundProfile();
    std::string longer = sound;
    PutBigEndian32(longer, 0, 161);
    std::string manyTags = sound;
    PutBigEndian32(manyTags, 128, 3); // 132 + 3 × 12 bytes > 160
    std::string noTags = sound;
    PutBigEndian32(noTags, 128, 0);
    std::string tagPastEnd = sound;
    PutBigEndian32(tagPastEnd, 140, 17); // 144 + 17 > 160
    std::string tagFarAway = sound;
    PutBigEndian32(tagFarAway, 136, 0xFFFFFFF0u); // no wrap-around past 2^32
    struct Case {
        const char* name;
        std::string bytes;
        const char* reason; // "" when sound
    } cases[] = {
        {"sound", sound, ""},
        {"printer", With(sound, 12, "prtr"), ""},
        {"host name", "rechner-01\n", "nur 11 Byte, ein ICC-Profil hat mindestens 132"},
        {"text", std::string(200, 'a'), "Kennung 'acsp' fehlt, die Datei ist kein ICC-Profil"},
        {"size field", longer, "laut Kopf 161 Byte, die Datei hat 160 Byte"},
        {"cut off", sound.substr(0, 150), "laut Kopf 160 Byte, die Datei hat 150 Byte"},
        {"grey", With(sound, 16, "GRAY"), "Farbraum 'GRAY', erwartet wird ein RGB-Profil ('RGB ')"},
        {"cmyk", With(sound, 16, "CMYK"), "Farbraum 'CMYK', erwartet wird ein RGB-Profil ('RGB ')"},
        {"binary space", With(sound, 16, std::string("\x01\x02RG", 4)),
         "Farbraum '??RG', erwartet wird ein RGB-Profil ('RGB ')"},
        {"scanner", With(sound, 12, "scnr"),
         "Profilklasse 'scnr', erwartet wird ein Monitor- oder Druckerprofil ('mntr' oder 'prtr')"},
        {"device link", With(sound, 12, "link"),
         "Profilklasse 'link', erwartet wird ein Monitor- oder Druckerprofil ('mntr' oder 'prtr')"},
        {"tag table", manyTags, "die Tabelle der 3 Tags ist länger als die Datei"},
        {"no tags", noTags, "das Profil hat keine Tags"},
        {"tag past the end", tagPastEnd, "Tag 1 'wtpt' reicht über das Ende der Datei"},
        {"tag offset near 4 GiB", tagFarAway, "Tag 1 'wtpt' reicht über das Ende der Datei"},
        {"version 2.1", With(sound, 8, std::string("\x02\x10", 2)), ""},
        {"version 5", With(sound, 8, std::string("\x05\x00", 2)), "Version 5.0, erwartet wird ein Profil der Version 2 bis 4"},
        {"version 1", With(sound, 8, std::string("\x01\x00", 2)), "Version 1.0, erwartet wird ein Profil der Version 2 bis 4"},
    };
    for (const Case& c : cases) {
        const std::string error = ErrorOf([&] { CheckOutputIntentProfile("/pfad/profil.icc", c.bytes); });
        if (*c.reason)
            EXPECT_EQ(error, std::string("ICC-Profil ist ungültig: /pfad/profil.icc (") + c.reason + ")") << c.name;
        else
            EXPECT_EQ(error, "") << c.name;
    }
}

TEST(IccProfile, ProfileFilesAreReadAndChecked) {
    TempFolder tmp;
    WriteFileBytes(tmp.File("gut.icc"), SoundProfile());
    WriteFileBytes(tmp.File("hostname"), "rechner-01\n");
    EXPECT_EQ(ReadOutputIntentProfile(tmp.File("gut.icc")), SoundProfile());
    EXPECT_EQ(ErrorOf([&] { ReadOutputIntentProfile(tmp.File("fehlt.icc")); }),
              "ICC-Profil nicht gefunden: " + tmp.File("fehlt.icc"));
    EXPECT_THAT(ErrorOf([&] { ReadOutputIntentProfile(tmp.File("hostname")); }),
                ::testing::StartsWith("ICC-Profil ist ungültig: " + tmp.File("hostname") + " ("));
}

TEST(IccProfile, InstalledProfilesOfThePackage) {
    const std::string dir = "/usr/share/color/icc/";
    if (!FileExists(dir + "sRGB.icc")) VELKARO_SKIP_UNLESS_CI() << "ICC-Profile fehlen (Paket icc-profiles-free)";
    struct Case {
        const char* file;
        const char* reasonStart; // "" when usable
    } cases[] = {
        {"sRGB.icc", ""},
        {"compatibleWithAdobeRGB1998.icc", ""},
        {"Gray.icc", "Farbraum 'GRAY'"},
        {"ITULab.icc", "Farbraum 'Lab '"},
    };
    for (const Case& c : cases) {
        const std::string path = dir + c.file;
        if (!FileExists(path)) continue;
        const std::string error = ErrorOf([&] { ReadOutputIntentProfile(path); });
        if (*c.reasonStart)
            EXPECT_THAT(error, ::testing::StartsWith("ICC-Profil ist ungültig: " + path + " (" + c.reasonStart)) << c.file;
        else
            EXPECT_EQ(error, "") << c.file;
    }
}

} // namespace
} // namespace velkaro
