// The indenting XML writer, element text escaping and the value forms.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "cii/xml_out.h"
#include "cii/xml_values.h"
#include "platform/error.h"

namespace velkaro {
namespace {

TEST(XmlOutTest, LeafEscapesAndIndentsTwoBlanksPerLevel) {
    TXmlOut x;
    x.Open("a");
    x.Open("b");
    x.Open("c");
    x.Leaf("ram:Name", "A & B <Ltd>");
    EXPECT_EQ(x.Text(), "<a>\n  <b>\n    <c>\n      <ram:Name>A &amp; B &lt;Ltd&gt;</ram:Name>\n");
}

TEST(XmlOutTest, NestingReturnsToDepthZeroAndIndentsClosingTagsLikeOpeningTags) {
    TXmlOut x;
    x.Open("rsm:Root", "xmlns:rsm=\"urn:x\"");
    x.Open("ram:Inner");
    EXPECT_EQ(x.Depth(), 2);
    x.Close("ram:Inner");
    x.Close("rsm:Root");
    EXPECT_EQ(x.Depth(), 0);
    EXPECT_EQ(x.Text(), "<rsm:Root xmlns:rsm=\"urn:x\">\n  <ram:Inner>\n  </ram:Inner>\n</rsm:Root>\n");
}

TEST(XmlOutTest, EmptyValuesNeverGiveSelfClosingTags) {
    TXmlOut x;
    x.Leaf("ram:Name", " \r\n\t ");
    x.LeafOpt("ram:Description", " \r\n\t ");
    x.LeafOpt("ram:Description", "\x01\x02");  // only dropped characters
    x.Leaf("ram:ID", "7", "schemeID=\"VA\"");
    x.LeafOpt("ram:Note", " x ", "lang=\"de\"");
    EXPECT_EQ(x.Text(), "<ram:Name></ram:Name>\n<ram:ID schemeID=\"VA\">7</ram:ID>\n<ram:Note lang=\"de\">x</ram:Note>\n");
}

TEST(XmlOutTest, RawLeafWritesTheValueUnchanged) {
    TXmlOut x;
    x.Leaf("v", "<b>&amp;</b>", {}, true);
    EXPECT_EQ(x.Text(), "<v><b>&amp;</b></v>\n");
}

TEST(XmlOutTest, DateElementPutsTheDateStringOnALineOfItsOwn) {
    TXmlOut x;
    x.Open("ram:ExchangedDocument");
    x.DateElement("ram:IssueDateTime", EncodeDate(2026, 1, 5));
    x.Close("ram:ExchangedDocument");
    EXPECT_EQ(x.Text(),
              "<ram:ExchangedDocument>\n"
              "  <ram:IssueDateTime>\n"
              "    <udt:DateTimeString format=\"102\">20260105</udt:DateTimeString>\n"
              "  </ram:IssueDateTime>\n"
              "</ram:ExchangedDocument>\n");
}

TEST(XmlOutTest, WriteAddressLeavesOutEmptyOptionalPartsAndUpperCasesTheCountry) {
    TAddress full{"n", "n2", "Hauptstr. 1", "Hof 2", "12345", "Köln", "NRW", "d", "de", "", ""};
    TXmlOut x;
    x.WriteAddress(full);
    EXPECT_EQ(x.Text(),
              "<ram:PostalTradeAddress>\n"
              "  <ram:PostcodeCode>12345</ram:PostcodeCode>\n"
              "  <ram:LineOne>Hauptstr. 1</ram:LineOne>\n"
              "  <ram:LineTwo>Hof 2</ram:LineTwo>\n"
              "  <ram:CityName>Köln</ram:CityName>\n"
              "  <ram:CountryID>DE</ram:CountryID>\n"
              "  <ram:CountrySubDivisionName>NRW</ram:CountrySubDivisionName>\n"
              "</ram:PostalTradeAddress>\n");
    TXmlOut empty;
    empty.WriteAddress(TAddress{});
    EXPECT_EQ(empty.Text(), "<ram:PostalTradeAddress>\n  <ram:CountryID></ram:CountryID>\n</ram:PostalTradeAddress>\n");
}

TEST(XmlEscapeTest, Characters) {
    struct Case {
        std::string in, out;
    } cases[] = {
        {"a\"b'c&d<e>f", "a&quot;b&apos;c&amp;d&lt;e&gt;f"},
        {"Zeile 1\r\nZeile 2\tEnde", "Zeile 1  Zeile 2 Ende"},
        {"  \n Mitte \t ", "Mitte"},
        {"a\x01\x08\x0B\x0C\x1F" "b", "ab"},                        // other controls dropped
        {std::string("a\0b", 3), "ab"},                            // NUL dropped
        {"Größe € 😀", "Größe € 😀"},                               // UTF-8 and astral plane unchanged
        {"a\xEF\xBF\xBE" "b\xEF\xBF\xBF" "c\xEF\xBF\xBD", "abc\xEF\xBF\xBD"},  // U+FFFE/FFFF are no XML chars
        {"a\xFF" "b", "a\xEF\xBF\xBD" "b"},                        // invalid byte -> U+FFFD
        {"a\xC3", "a\xEF\xBF\xBD"},                                // truncated sequence
        {"a\xED\xA0\x80" "b", "a\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD" "b"},  // encoded lone surrogate
        {"\xC0\xAF", "\xEF\xBF\xBD\xEF\xBF\xBD"},                  // overlong "/"
        {"\x7F\xC2\x85", "\x7F\xC2\x85"},                          // DEL and C1 are XML 1.0 characters
    };
    for (const Case& c : cases) EXPECT_EQ(XmlEscape(c.in), c.out) << c.in;
}

TEST(XmlValuesTest, Amount) {
    EXPECT_EQ(XmlAmount(Currency::FromDouble(1234.5)), "1234.50");
    EXPECT_EQ(XmlAmount(Currency::FromDouble(-0.01)), "-0.01");
    EXPECT_EQ(XmlAmount(Currency()), "0.00");
    EXPECT_EQ(XmlAmount(Currency::FromUnits(1000000)), "1000000.00");
    EXPECT_EQ(XmlAmount(Currency::FromRaw(50)), "0.01");      // 0.005 half away from zero
    EXPECT_EQ(XmlAmount(Currency::FromRaw(-50)), "-0.01");
    EXPECT_EQ(XmlAmount(Currency::FromRaw(-49)), "0.00");     // no "-0.00"
    EXPECT_EQ(XmlAmount(Currency::FromUnits(1000000000000)), "1000000000000.00");
    EXPECT_EQ(XmlAmount(Currency::FromUnits(-1000000000000)), "-1000000000000.00");
}

TEST(XmlValuesTest, Decimal4RoundsTiesToEven) {
    struct Case {
        double in;
        const char* out;
    } cases[] = {
        {2.5, "2.5000"},          {3, "3.0000"},           {0.123456, "0.1235"},
        {0.12345, "0.1234"},      {0.12355, "0.1236"},     {-0.12345, "-0.1234"},
        {1.00005, "1.0000"},      {1.00015, "1.0002"},     {0.000049999, "0.0000"},
        {-0.00001, "0.0000"},     {9.99995, "10.0000"},    {-9.99996, "-10.0000"},
        {1e12, "1000000000000.0000"}, {-1e12, "-1000000000000.0000"},
        {0.0000001, "0.0000"},    {12.5, "12.5000"},       {10.0 / 3.0, "3.3333"},
        {1e20, "100000000000000000000.0000"},
    };
    for (const Case& c : cases) EXPECT_EQ(XmlDecimal4(c.in), c.out) << c.in;
}

TEST(XmlValuesTest, PercentRoundsHalfAwayFromZero) {
    EXPECT_EQ(XmlPercent(19), "19.00");
    EXPECT_EQ(XmlPercent(0), "0.00");
    EXPECT_EQ(XmlPercent(7.125), "7.13");
    EXPECT_EQ(XmlPercent(-7.125), "-7.13");
    EXPECT_EQ(XmlPercent(0.0000001), "0.00");
    EXPECT_EQ(XmlPercent(16.004999), "16.00");
}

TEST(XmlValuesTest, NotFiniteNumbersAreRejected) {
    EXPECT_THROW(XmlDecimal4(std::numeric_limits<double>::quiet_NaN()), Exception);
    EXPECT_THROW(XmlPercent(std::numeric_limits<double>::infinity()), Exception);
}

TEST(XmlValuesTest, DateIsEightDigits) {
    EXPECT_EQ(XmlDate(EncodeDate(2026, 11, 24)), "<udt:DateTimeString format=\"102\">20261124</udt:DateTimeString>");
    EXPECT_EQ(XmlDate(EncodeDate(2027, 1, 3) + 0.75), "<udt:DateTimeString format=\"102\">20270103</udt:DateTimeString>");
    EXPECT_EQ(XmlDate(EncodeDate(999, 2, 1)), "<udt:DateTimeString format=\"102\">09990201</udt:DateTimeString>");
}

} // namespace
} // namespace velkaro
