#include <gtest/gtest.h>

#include "platform/base64.h"
#include "platform/text.h"

using namespace velkaro;

TEST(Text, TrimRemovesControlCharactersAndBlanksOnly) {
    EXPECT_EQ(Trim(" \t\r\n abc \x01\x1f"), "abc");
    EXPECT_EQ(Trim("\xC2\xA0x\xC2\xA0"), "\xC2\xA0x\xC2\xA0");  // no-break space is kept
    EXPECT_EQ(Trim("   "), "");
    EXPECT_EQ(TrimLeft("  a "), "a ");
    EXPECT_EQ(TrimRight("  a "), "  a");
    EXPECT_EQ(TrimView("\x7f a\x20"), "\x7f a");  // DEL is no blank byte
    EXPECT_EQ(TrimLeftView("\x20\x21"), "\x21");
    EXPECT_EQ(TrimRightView(std::string_view("a\0", 2)), "a");
    for (char c : {' ', '\t', '\r', '\n', '\0', '\x1f'}) EXPECT_TRUE(IsBlankByte(c)) << int(c);
    for (char c : {'!', 'a', '\x7f', '\x80', '\xA0', '\xFF'}) EXPECT_FALSE(IsBlankByte(c)) << int(c);
}

TEST(Text, HexDigitsAreUpperCaseAndTakeOnlyTheirOwnBits) {
    EXPECT_EQ(HexDigit(0), '0');
    EXPECT_EQ(HexDigit(10), 'A');
    EXPECT_EQ(HexDigit(0x1F), 'F');  // the low four bits only
    std::string out = "x";
    AppendHexByte(out, 0x0A);
    AppendHexByte(out, 0xFF);
    AppendHex16(out, 0xFEFF);
    AppendHex16(out, 0x1D11E);  // bits above sixteen are not written
    AppendHex16(out, 0x00E4);
    EXPECT_EQ(out, "x0AFFFEFFD11E00E4");
}

TEST(Text, UpperCasingTouchesAsciiLettersOnly) {
    EXPECT_EQ(UpperAscii("stück-äb_z"), "STüCK-äB_Z");
    EXPECT_TRUE(SameText("Datenbank", "DATENBANK"));
    EXPECT_FALSE(SameText("ä", "Ä"));
    EXPECT_LT(CompareText("abc", "ABD"), 0);
}

TEST(Text, Utf8Utf16RoundTripIncludingAstralCharacters) {
    std::string s = "Grüße € 😀";
    std::u16string w = Utf8ToUtf16(s);
    EXPECT_EQ(w.size(), 10u);  // the emoji is a surrogate pair
    EXPECT_EQ(Utf16ToUtf8(w), s);
}

TEST(Text, InvalidUtf8BecomesReplacementCharacters) {
    struct Case { std::string in, out; };
    const Case cases[] = {
        {"a\xFF" "b", "a\xEF\xBF\xBD" "b"},
        {"\xC3", "\xEF\xBF\xBD"},                        // truncated sequence at the end
        {"\xC0\xAF", "\xEF\xBF\xBD\xEF\xBF\xBD"},        // overlong form
        {"\xED\xA0\x80", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},  // encoded surrogate
        {"ok", "ok"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(SanitizeUtf8(c.in), c.out) << c.in;
        EXPECT_EQ(IsValidUtf8(c.in), c.in == c.out);
    }
    EXPECT_EQ(Utf16ToUtf8(std::u16string(1, char16_t(0xD800))), "\xEF\xBF\xBD");
}

TEST(Text, Windows1252BothWays) {
    EXPECT_EQ(Utf8ToCp1252("€ä‚Œ"), "\x80\xE4\x82\x8C");
    EXPECT_EQ(Utf8ToCp1252("a→b"), "a?b");
    EXPECT_EQ(Cp1252ToUtf8("\x80\xE4\x9F"), "€äŸ");
    EXPECT_EQ(Cp1252ToUtf8("\x81"), "\xC2\x81");  // undefined byte maps to the C1 control
}

TEST(Text, SingleLineTurnsEveryLineBreakAndControlCharacterIntoOneBlank) {
    struct Case { std::string in, out; };
    const Case cases[] = {
        {"RE-1\n2024-03-05 14:07:09 RE-2 erzeugt", "RE-1 2024-03-05 14:07:09 RE-2 erzeugt"},
        {"a\r\nb", "a b"},                      // a CR LF pair is one break
        {"a\n\rb", "a  b"},                     // LF CR are two
        {"a\r\n\r\nb\rc", "a  b c"},
        {"\ttab\x01\x1b[31m\x7f", " tab  [31m "},
        {std::string("nul\0x", 5), "nul x"},
        {"a\xC2\x85" "b\xC2\x9F" "c", "a b c"},    // C1 controls, e.g. NEXT LINE
        {"a\u2028" "b\u2029" "c", "a b c"},       // line and paragraph separators
        {"Grüße\xC2\xA0€ \u2027", "Grüße\xC2\xA0€ \u2027"},  // printable text stays
        {"kaputt\xC2", "kaputt\xC2"},            // a cut sequence is left alone
        {"\r", " "},
        {"", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(SingleLine(c.in), c.out) << c.in;
        EXPECT_EQ(SingleLine(c.out), c.out) << "idempotent: " << c.out;
    }
}

TEST(Base64, EncodesAndDecodesWithPadding) {
    const std::pair<std::string, std::string> cases[] = {
        {"", ""}, {"f", "Zg=="}, {"fo", "Zm8="}, {"foo", "Zm9v"}, {"foobar", "Zm9vYmFy"},
        {std::string("\0\xFF", 2), "AP8="}};
    for (const auto& [plain, coded] : cases) {
        EXPECT_EQ(Base64Encode(plain), coded);
        EXPECT_EQ(Base64Decode(coded), plain);
    }
}

TEST(Base64, RejectsDamagedText) {
    for (std::string bad : {"Zg=", "Zm9v!", "Z===", "Zh==", "Zm9=Zm9v", "====", "Zm 9v"})
        EXPECT_FALSE(Base64Decode(bad).has_value()) << bad;
}

namespace velkaro {
namespace {

TEST(ReadFixedDigits, ReadsExactlyTheGivenWidth) {
    size_t pos = 2;
    int value = -1;
    EXPECT_TRUE(ReadFixedDigits("T=2025-03", pos, 4, value));
    EXPECT_EQ(value, 2025);
    EXPECT_EQ(pos, 6u);
    EXPECT_FALSE(ReadFixedDigits("T=2025-03", pos, 2, value));  // "-0"
    EXPECT_EQ(pos, 6u);
    EXPECT_EQ(value, 2025);
    pos = 7;
    EXPECT_FALSE(ReadFixedDigits("T=2025-03", pos, 3, value));  // only two left
    EXPECT_TRUE(ReadFixedDigits("T=2025-03", pos, 2, value));
    EXPECT_EQ(value, 3);
}

} // namespace
} // namespace velkaro
