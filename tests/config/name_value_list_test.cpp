#include "config/name_value_list.h"

#include <gtest/gtest.h>

#include "platform/text.h"

namespace velkaro {
namespace {

TEST(NameValueList, KeepsOrderReplacesAndRemoves) {
    TNameValueList list;
    list.SetValue("STK", "H87");
    list.SetValue("Kg", "KGM");
    list.SetValue("Übergröße", "X1");
    list.SetValue("stk", "C62");      // replaces in place, keeps the first spelling
    list.SetValue("ÜBERGRÖSSE", "");  // empty value removes
    ASSERT_EQ(list.Count(), 2u);
    EXPECT_EQ(list[0], (std::pair<std::string, std::string>{"STK", "C62"}));
    EXPECT_EQ(list[1].first, "Kg");
    EXPECT_EQ(list.Value("KG"), "KGM");
    EXPECT_EQ(list.Value("fehlt"), "");
    EXPECT_EQ(list.IndexOfName("kg"), 1);
    EXPECT_EQ(list.IndexOfName("Übergröße"), -1);

    list.Remove("stk");
    EXPECT_EQ(list.IndexOfName("Kg"), 0);
    list.Remove("fehlt");
    EXPECT_EQ(list.Count(), 1u);
    list.Clear();
    EXPECT_EQ(list.Count(), 0u);
    list.SetValue("kg", "KGM");
    EXPECT_EQ(list.IndexOfName("KG"), 0);  // lookup still in step after Clear
}

TEST(NameValueList, EmptyNameIsAnOrdinaryName) {
    TNameValueList list;
    list.SetValue("", "C62");
    EXPECT_TRUE(list.Contains(""));
    EXPECT_EQ(list.Value(""), "C62");
}

using Pairs = std::vector<std::pair<std::string, std::string>>;

struct SequenceCase {
    const char* Name;
    Pairs Start;   // entries before
    Pairs Applied;  // name=value lines in file order
    Pairs Expected;
};

// Lines of a code-map section applied in one go give exactly what applying them one
// by one gives: first spelling kept, later values win, empty values remove, a name
// set again after its removal goes to the end.
TEST(NameValueList, ApplyingLinesInOneGoEqualsOneByOne) {
    const SequenceCase cases[] = {
        {"append in order", {}, {{"b", "1"}, {"a", "2"}, {"c", "3"}}, {{"b", "1"}, {"a", "2"}, {"c", "3"}}},
        {"duplicate in other case replaces in place",
         {{"STK", "H87"}},
         {{"kg", "KGM"}, {"stk", "C62"}, {"KG", "X"}},
         {{"STK", "C62"}, {"kg", "X"}}},
        {"unicode case", {}, {{"Übergröße", "1"}, {"ÜBERGRÖSSE", "2"}}, {{"Übergröße", "2"}}},
        {"empty value removes existing", {{"a", "1"}, {"b", "2"}, {"c", "3"}}, {{"B", ""}}, {{"a", "1"}, {"c", "3"}}},
        {"empty value of unknown name", {{"a", "1"}}, {{"x", ""}}, {{"a", "1"}}},
        {"removed then set again goes to the end",
         {{"a", "1"}, {"b", "2"}},
         {{"a", ""}, {"c", "3"}, {"A", "4"}},
         {{"b", "2"}, {"c", "3"}, {"A", "4"}}},
        {"added, removed and added in one go", {}, {{"x", "1"}, {"y", "2"}, {"X", ""}, {"x", "3"}, {"y", ""}},
         {{"x", "3"}}},
        {"remove everything", {{"a", "1"}}, {{"b", "2"}, {"A", ""}, {"b", ""}}, {}},
        {"empty name", {}, {{"", "1"}, {"", "2"}}, {{"", "2"}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        TNameValueList oneByOne;
        TNameValueList inOneGo;
        for (const auto& [name, value] : c.Start) {
            oneByOne.SetValue(name, value);
            inOneGo.SetValue(name, value);
        }
        for (const auto& [name, value] : c.Applied) oneByOne.SetValue(name, value);
        inOneGo.SetValues(c.Applied);
        EXPECT_EQ(oneByOne.Items(), c.Expected);
        EXPECT_EQ(inOneGo.Items(), c.Expected);
        // Lookups stay in step with the positions.
        for (size_t i = 0; i < c.Expected.size(); ++i) {
            EXPECT_EQ(inOneGo.IndexOfName(UpperAscii(c.Expected[i].first)), static_cast<int>(i));
            EXPECT_EQ(oneByOne.IndexOfName(c.Expected[i].first), static_cast<int>(i));
        }
        // And stay so for later changes.
        inOneGo.SetValue("neu", "1");
        EXPECT_EQ(inOneGo.IndexOfName("NEU"), static_cast<int>(c.Expected.size()));
    }
}

// A large section (many thousand Leitweg-IDs) with repeated names in other spellings.
TEST(NameValueList, LargeListsKeepOrderAndFindEveryName) {
    Pairs lines;
    for (int i = 0; i < 20000; ++i) lines.emplace_back("Kunde" + std::to_string(i), "ID" + std::to_string(i));
    for (int i = 0; i < 20000; i += 3) lines.emplace_back("KUNDE" + std::to_string(i), "neu" + std::to_string(i));
    for (int i = 1; i < 20000; i += 3) lines.emplace_back("kunde" + std::to_string(i), "");
    TNameValueList list;
    list.SetValues(lines);
    size_t position = 0;
    for (int i = 0; i < 20000; ++i) {
        const std::string name = "kUnDe" + std::to_string(i);
        if (i % 3 == 1) {
            EXPECT_FALSE(list.Contains(name)) << name;
            continue;
        }
        ASSERT_EQ(list.IndexOfName(name), static_cast<int>(position)) << name;
        EXPECT_EQ(list[position].first, "Kunde" + std::to_string(i));
        EXPECT_EQ(list.Value(name), (i % 3 == 0 ? "neu" : "ID") + std::to_string(i));
        ++position;
    }
    EXPECT_EQ(list.Count(), position);
    list.Remove("KUNDE0");
    EXPECT_EQ(list.IndexOfName("Kunde2"), 0);
    EXPECT_EQ(list.IndexOfName("Kunde19998"), static_cast<int>(position) - 2);
}

} // namespace
} // namespace velkaro
