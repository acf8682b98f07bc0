#include "platform/regex.h"

#include <gtest/gtest.h>

#include "platform/error.h"

namespace velkaro {
namespace {

std::string Bracket(const TRegex& re, std::string_view text) {
    return re.Replace(text, [](const TRegexMatch& m) { return "[" + std::string(m.Group(0)) + "]"; });
}

TEST(Regex, ReplaceKeepsUnmatchedStretchesAndTail) {
    TRegex re("b+");
    EXPECT_EQ(Bracket(re, "abbcbd"), "a[bb]c[b]d");
    EXPECT_EQ(Bracket(re, "xyz"), "xyz");
    EXPECT_EQ(Bracket(re, ""), "");
}

TEST(Regex, EmptyMatchesAdvanceLikePerl) {
    // After an empty match the next one may not be empty at the same place.
    TRegex re("a*");
    EXPECT_EQ(Bracket(re, "baac"), "[]b[aa][]c[]");
}

TEST(Regex, GroupsAndUnsetGroups) {
    TRegex re("(x)|(y)");
    auto m = re.Find("zy");
    ASSERT_TRUE(m);
    EXPECT_EQ(m->Position, 1u);
    EXPECT_FALSE(m->Matched(1));
    EXPECT_TRUE(m->Matched(2));
    EXPECT_EQ(m->Group(2), "y");
    EXPECT_EQ(m->Group(7), "");
}

TEST(Regex, OptionsIgnoreCaseAndDotAll) {
    EXPECT_FALSE(TRegex("a.b").IsMatch("A\nB"));
    EXPECT_TRUE(TRegex("a.b", roIgnoreCase | roDotAll).IsMatch("A\nB"));
}

TEST(Regex, InvalidUtf8NeverThrows) {
    std::string bad = "ab\xFF\xC3(cd";
    EXPECT_EQ(Bracket(TRegex("c."), bad), "ab\xFF\xC3([cd]");
    EXPECT_EQ(Bracket(TRegex("c.", roUtf), bad), "ab\xFF\xC3([cd]");
    // Byte-wise ".*" runs over invalid bytes.
    EXPECT_EQ(Bracket(TRegex("b.*d", roDotAll), bad), "a[b\xFF\xC3(cd]");
}

TEST(Regex, BadPatternRaisesGermanError) {
    EXPECT_THROW(TRegex("(unclosed"), Exception);
}

} // namespace
} // namespace velkaro
