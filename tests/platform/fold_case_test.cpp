#include "platform/fold_case.h"

#include <gtest/gtest.h>

namespace velkaro {
namespace {

TEST(FoldCase, UnicodeLettersCompareWithoutCase) {
    EXPECT_TRUE(SameTextUnicode("Ü", "ü"));
    EXPECT_TRUE(SameTextUnicode("ÄRGER", "ärger"));
    EXPECT_TRUE(SameTextUnicode("Σίσυφος", "ΣΊΣΥΦΟΣ"));
    EXPECT_TRUE(SameTextUnicode("U\xCC\x88", "ü"));  // decomposed U + combining diaeresis
    EXPECT_FALSE(SameTextUnicode("u", "ü"));
    EXPECT_FALSE(SameTextUnicode("STK", "STK "));
}

// Full case folding maps "ß" to "ss": "STRASSE" and "straße" name the same entry.
TEST(FoldCase, SharpSFoldsToDoubleS) {
    EXPECT_TRUE(SameTextUnicode("STRASSE", "straße"));
    EXPECT_TRUE(SameTextUnicode("Straße", "STRAẞE"));  // capital sharp s
}

TEST(FoldCase, InvalidUtf8FoldsAsciiOnlyAndNeverFails) {
    EXPECT_EQ(FoldCase("AB\xFF"), "ab\xFF");
    EXPECT_TRUE(SameTextUnicode("Kg\xC3", "KG\xC3"));
    EXPECT_FALSE(SameTextUnicode("Kg\xC3", "KG\xC4"));
    EXPECT_EQ(FoldCase(""), "");
}

} // namespace
} // namespace velkaro
