#include "config/name_value_list.h"

#include <gtest/gtest.h>

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

} // namespace
} // namespace velkaro
