#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "platform/error.h"
#include "platform/files.h"
#include "support/test_support.h"
#include "media/font_file.h"

namespace velkaro {
namespace {

const std::string kLongMessageTail =
    " ist keine einfache TrueType-Datei (z.B. TTC/OTF). Bitte in der INI eine andere Schrift wählen (z.B. Arial).";

bool LiberationInstalled() { return FileExists("/usr/share/fonts/truetype/liberation2/LiberationSans-Regular.ttf"); }

TEST(FontFile, ArialResolvesToLiberationSansInBothWeights) {
    if (!LiberationInstalled()) VELKARO_SKIP_UNLESS_CI() << "fonts-liberation2 ist nicht installiert";
    EXPECT_THAT(FindFontFile("Arial", false), ::testing::EndsWith("/LiberationSans-Regular.ttf"));
    EXPECT_THAT(FindFontFile("Arial", true), ::testing::EndsWith("/LiberationSans-Bold.ttf"));
}

TEST(FontFile, DataIsTheWholeInstalledFile) {
    if (!LiberationInstalled()) VELKARO_SKIP_UNLESS_CI() << "fonts-liberation2 ist nicht installiert";
    std::string path = FindFontFile("Liberation Sans", true);
    EXPECT_EQ(LoadFontData("Liberation Sans", true), ReadFileBytes(path));
}

TEST(FontFile, CollectionsCffFontsAndShortDataAreRefused) {
    struct Case {
        std::string data;
    } cases[] = {{std::string("ttcf\0\x01\0\0\0\0\0\x02xxxxxxxx", 20)},
                 {std::string("OTTO\0\x0B\0\x80\0\x03\0\x30xxxxxxxx", 20)},
                 {std::string("\0\x01\0\0\0\x0A\0\x80\0\x03\0\x20", 12)},
                 {""}};
    for (const Case& c : cases) {
        try {
            CheckTrueTypeData(c.data, "Segoe UI");
            ADD_FAILURE() << "accepted " << c.data.size() << " bytes";
        } catch (const Exception& e) {
            EXPECT_EQ(e.what(), "Schrift Segoe UI" + kLongMessageTail);
        }
    }
    EXPECT_NO_THROW(CheckTrueTypeData(std::string("\0\x01\0\0\0\x0A\0\x80\0\x03\0\x20\0", 13), "X"));
}

// The fallback for a character the face lacks: the first font in fontconfig's order that
// has it and is a single TrueType file; "" when no installed font has it.
TEST(FontFile, FallbackFindsAnInstalledTrueTypeFileWithTheCharacter) {
    if (FindFontFile("DejaVu Sans", false).find("DejaVuSans") == std::string::npos)
        VELKARO_SKIP_UNLESS_CI() << "fonts-dejavu-core ist nicht installiert";
    // Liberation Sans has Cyrillic itself, so the fallback is the face's own file.
    EXPECT_EQ(FindFallbackFontFile("Arial", false, U'Ж'), FindFontFile("Arial", false));
    // No Liberation face has the check mark; DejaVu Sans has it.
    std::string check = FindFallbackFontFile("Arial", true, U'\u2713');
    EXPECT_THAT(check, ::testing::HasSubstr("DejaVu"));
    EXPECT_NO_THROW(CheckTrueTypeData(ReadFileBytes(check), "Fallback"));
    // Private use of plane 16: no font has it.
    EXPECT_EQ(FindFallbackFontFile("Arial", false, 0x10FFFD), "");
}

} // namespace
} // namespace velkaro
