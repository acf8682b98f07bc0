#include <gtest/gtest.h>

#include "platform/bidi.h"
#include "platform/text.h"

namespace velkaro {
namespace {

// The runs of a line, each written as its text in visual order (a right-to-left run
// reversed) with "<" for right to left, joined by "|".
std::string Visual(const std::string& line) {
    std::u32string text = Utf8ToUtf32(line);
    std::string out;
    for (const TBidiRun& run : VisualRuns(text)) {
        std::u32string part = text.substr(run.Start, run.Length);
        if (run.RightToLeft) part.assign(part.rbegin(), part.rend());
        if (!out.empty()) out += "|";
        out += (run.RightToLeft ? "<" : "") + Utf32ToUtf8(part);
    }
    return out;
}

TEST(VisualRuns, OrderLinesAsTheirReadersExpect) {
    struct Case {
        const char* line;
        const char* visual;
    } cases[] = {
        {"", ""},
        {"Muster GmbH, Köln", "Muster GmbH, Köln"},
        // A right-to-left line: the first word stands rightmost.
        {"שלום עולם", "<םלוע םולש"},
        // An Arabic name with a Latin legal form: the line is right to left, so "GmbH"
        // stands at its left end.
        {"شركة الخليج GmbH", "GmbH|< جيلخلا ةكرش"},
        // A Latin line with an Arabic word keeps its direction; the word stands last.
        {"Lieferung an شركة", "Lieferung an |<ةكرش"},
        // Digits keep their own order inside right-to-left text.
        {"فاتورة 2024", "2024|< ةروتاف"},
        // Brackets pair up and take the direction of their content; mirroring the glyphs
        // is the shaper's part.
        {"قطع غيار (مرتجع)", "<)عجترم( رايغ عطق"},
        // The trailing blank of a right-to-left line stays at the line's end (its left).
        {"שלום ", "< םולש"},
    };
    for (const Case& c : cases) EXPECT_EQ(Visual(c.line), c.visual) << c.line;
}

TEST(VisualRuns, CoverEveryCharacterOnce) {
    std::u32string text = Utf8ToUtf32("Firma שלום 12 (ab) مرحبا GmbH");
    std::vector<bool> seen(text.size(), false);
    for (const TBidiRun& run : VisualRuns(text))
        for (size_t i = run.Start; i < run.Start + run.Length; ++i) {
            ASSERT_LT(i, text.size());
            EXPECT_FALSE(seen[i]) << i;
            seen[i] = true;
        }
    for (size_t i = 0; i < seen.size(); ++i) EXPECT_TRUE(seen[i]) << i;
}

TEST(LineDirection, FollowsTheFirstStrongCharacter) {
    EXPECT_FALSE(IsRightToLeftLine(U""));
    EXPECT_FALSE(IsRightToLeftLine(U"12 345"));
    EXPECT_FALSE(IsRightToLeftLine(Utf8ToUtf32("GmbH شركة")));
    EXPECT_TRUE(IsRightToLeftLine(Utf8ToUtf32("12 שלום GmbH")));
    EXPECT_TRUE(HasRightToLeft(Utf8ToUtf32("GmbH שלום")));
    EXPECT_FALSE(HasRightToLeft(Utf8ToUtf32("Łódź Ελαιόλαδο Самовар 日本")));
}

} // namespace
} // namespace velkaro
