#include <gtest/gtest.h>

#include "mail/json_writer.h"

namespace velkaro {
namespace {

struct QuoteCase {
    const char* name;
    std::string input;
    std::string expected;
};

TEST(JsonQuote, EscapesEverythingOutsidePrintableAscii) {
    const QuoteCase cases[] = {
        {"plain", "Rechnung 4711", R"("Rechnung 4711")"},
        {"quote and backslash", "a\"b\\c", R"("a\"b\\c")"},
        {"slash stays", "a/b", R"("a/b")"},
        {"line break as \\u", "a\r\nb\tc", R"("a\u000D\u000Ab\u0009c")"},
        {"nul byte", std::string("a\0b", 3), R"("a\u0000b")"},
        {"unit separator", "\x1F", R"("\u001F")"},
        {"space and tilde and DEL stay", " ~\x7F", "\" ~\x7F\""},
        {"umlauts", "Grüße Ä", R"("Gr\u00FC\u00DFe \u00C4")"},
        {"U+0080", "\xC2\x80", R"("\u0080")"},
        {"euro sign", "10 €", R"("10 \u20AC")"},
        {"en dash", "–", R"("\u2013")"},
        {"emoji beyond the BMP", "\xF0\x9F\x98\x80", R"("\uD83D\uDE00")"},
        {"last code point", "\xF4\x8F\xBF\xBF", R"("\uDBFF\uDFFF")"},
        {"invalid UTF-8 replaced", "a\xFF" "b", R"("a\uFFFDb")"},
        {"empty", "", R"("")"},
    };
    for (const auto& c : cases) EXPECT_EQ(JsonQuote(c.input), c.expected) << c.name;
}

TEST(TJson, KeepsMemberOrderAndWritesAllKinds) {
    TJson doc = TJson::Object();
    doc.Add("z", "last letter first")
        .Add("a", TJson::Array().Push(1).Push(int64_t{10000000000}).Push(-5))
        .Add("flag", true)
        .Add("off", false)
        .Add("nothing", nullptr)
        .Add("empty", TJson::Object())
        .Add("ümlaut-key", TJson::Array());
    EXPECT_EQ(doc.Dump(),
              R"({"z":"last letter first","a":[1,10000000000,-5],"flag":true,"off":false,"nothing":null,)"
              R"("empty":{},"\u00FCmlaut-key":[]})");
}

TEST(TJson, AddOnNonObjectIsAnError) {
    TJson list = TJson::Array();
    EXPECT_ANY_THROW(list.Add("x", 1));
    TJson obj = TJson::Object();
    EXPECT_ANY_THROW(obj.Push(1));
}

} // namespace
} // namespace velkaro
