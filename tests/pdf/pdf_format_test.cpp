#include <gtest/gtest.h>
#include <zlib.h>

#include <thread>

#include <random>

#include "pdf/pdf_format.h"
#include "platform/decimal_round.h"
#include "support/test_support.h"

namespace velkaro {
namespace {

struct NumberCase {
    double value;
    const char* expected;
};
constexpr NumberCase kNumberCases[] = {
    {10, "10"},         {20 * 72 / 25.4, "56.693"}, {0.5, "0.5"},           {128 / 255.0, "0.502"},
    {0, "0"},           {-0.0, "0"},                {-12.5, "-12.5"},       {1.0005, "1.001"},
    {0.0004, "0"},      {-0.0004, "0"},             {0.9996, "1"},          {999.9999, "1000"},
    {841.89, "841.89"}, {595.28, "595.28"},         {1234567.25, "1234567.25"}, {1e20, "100000000000000000000"},
    {0.001, "0.001"},   {-56.69291, "-56.693"},
};

TEST(PdfFormat, NumbersHaveAtMostThreeDecimals) {
    for (const NumberCase& c : kNumberCases) EXPECT_EQ(FormatPdfNumber(c.value), c.expected) << c.value;
}

// Most numbers take a quick binary road; it must give what the decimal rounding of the
// shortest form gives, for page-sized values and for those right beside a half thousandth.
TEST(PdfFormat, QuickRoadAgreesWithDecimalRounding) {
    auto decimal = [](double v) {
        TDecimalDigits d = RoundDecimalDigits(v, 3);
        std::string fraction = d.Fraction;
        while (!fraction.empty() && fraction.back() == '0') fraction.pop_back();
        if (d.Whole == "0" && fraction.empty()) return std::string("0");
        return (v < 0 ? "-" : "") + d.Whole + (fraction.empty() ? "" : "." + fraction);
    };
    std::mt19937_64 random(20261211);
    std::uniform_real_distribution<double> page(-2000.0, 2000.0);
    std::uniform_int_distribution<long long> thousandths(-3'000'000, 3'000'000);
    for (int k = 0; k < 200000; ++k) {
        const double v = page(random);
        ASSERT_EQ(FormatPdfNumber(v), decimal(v)) << v;
        // Exactly and almost exactly half a thousandth away from a printed value.
        const double tie = (static_cast<double>(thousandths(random)) + 0.5) / 1000.0;
        for (double w : {tie, std::nextafter(tie, 0.0), std::nextafter(tie, 1e300), tie + 4e-7, tie - 4e-7})
            ASSERT_EQ(FormatPdfNumber(w), decimal(w)) << w;
    }
}

// The desktop's toolkit puts the process into the user's locale: a decimal comma there
// must not reach the page description.
TEST(PdfFormat, NumbersKeepThePointInAGermanProcessLocale) {
    test::GermanLocale german;
    if (!german.Installed()) VELKARO_SKIP_UNLESS_CI() << "Gebietsschema de_DE.UTF-8 fehlt (scripts/install-deps.sh)";
    for (const NumberCase& c : kNumberCases) EXPECT_EQ(FormatPdfNumber(c.value), c.expected) << c.value;
}

TEST(PdfFormat, GlyphOperandIsHex) {
    EXPECT_EQ(PdfGlyphString({}), "<>");
    EXPECT_EQ(PdfGlyphString({0, 1, 0x24, 0xABCD, 0xFFFF}), "<000000010024ABCDFFFF>");
}

TEST(PdfFormat, MetadataStrings) {
    EXPECT_EQ(PdfHexString(""), "<FEFF>");
    EXPECT_EQ(PdfHexString("Aü€"), "<FEFF004100FC20AC>");
    EXPECT_EQ(PdfHexString("\xF0\x9F\x98\x80"), "<FEFFD83DDE00>");
    EXPECT_EQ(PdfLiteralString("Rechnung für Müller.xml"), "(Rechnung f_r M_ller.xml)");
    EXPECT_EQ(PdfLiteralString("a(b)\\"), "(a\\(b\\)\\\\)");
    EXPECT_EQ(XmpEscape("A & B <Test> \"q\""), "A &amp; B &lt;Test&gt; \"q\"");
}

// XML 1.0 allows no control characters but tab, LF and CR, and neither U+FFFE nor
// U+FFFF; the XMP packet must stay well-formed and say what the information dictionary says.
TEST(PdfFormat, MetadataTextKeepsWhatXmlAllows) {
    struct Case {
        const char* name;
        std::string text;
        std::string metadata;
        const char* hex;
    } cases[] = {
        {"plain", "Müller & Söhne <GmbH>", "Müller & Söhne <GmbH>",
         "<FEFF004D00FC006C006C00650072002000260020005300F60068006E00650020003C0047006D00620048003E>"},
        {"vertical tab", "A\vB", "AB", "<FEFF00410042>"},
        {"other controls", std::string("A\x01\x1F\x00" "B\x7F", 6), "AB\x7F", "<FEFF00410042007F>"},
        {"line ends", "A\tB\r\nC", "A B  C", "<FEFF004100200042002000200043>"},
        {"non-characters", "A\xEF\xBF\xBE\xEF\xBF\xBF" "B\xEF\xBF\xBD", "AB\xEF\xBF\xBD", "<FEFF00410042FFFD>"},
        {"invalid UTF-8", "A\xC3(", "A\xEF\xBF\xBD(", "<FEFF0041FFFD0028>"},
        {"only controls", "\v\f", "", "<FEFF>"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(PdfMetadataText(c.text), c.metadata) << c.name;
        EXPECT_EQ(PdfHexString(c.text), c.hex) << c.name;
        EXPECT_EQ(XmpEscape(c.text), XmpEscape(c.metadata)) << c.name;
    }
    EXPECT_EQ(XmpEscape("<\v&\v>"), "&lt;&amp;&gt;");
}

TEST(PdfFormat, DatesCarryTheUtcOffset) {
    TDateTime t = EncodeDateTime({2024, 1, 15, 10, 30, 0, 0});
    struct Case {
        int offset;
        const char* pdf;
        const char* xmp;
    } cases[] = {
        {60, "D:20240115103000+01'00'", "2024-01-15T10:30:00+01:00"},
        {120, "D:20240115103000+02'00'", "2024-01-15T10:30:00+02:00"},
        {-210, "D:20240115103000-03'30'", "2024-01-15T10:30:00-03:30"},
        {0, "D:20240115103000+00'00'", "2024-01-15T10:30:00+00:00"},
    };
    for (const Case& c : cases) {
        TPdfDates d = MakePdfDates(t, c.offset);
        EXPECT_EQ(d.Pdf, c.pdf);
        EXPECT_EQ(d.Xmp, c.xmp);
    }
}

// What a PDF reader inflates: zlib's own inflater gives the data back, for empty, short,
// repetitive and incompressible data.
TEST(PdfFormat, DeflateIsZlibFormat) {
    std::string noise;
    uint32_t x = 2463534242u;
    for (int i = 0; i < 70000; ++i) {
        x ^= x << 13, x ^= x >> 17, x ^= x << 5;
        noise += static_cast<char>(x & 0xFF);
    }
    for (const std::string& data : {std::string(), std::string("q"), std::string(10000, 'x'), noise}) {
        const std::string z = DeflateBytes(data);
        ASSERT_GT(z.size(), 6u);
        EXPECT_EQ(static_cast<unsigned char>(z[0]), 0x78);
        EXPECT_EQ(((static_cast<unsigned char>(z[0]) << 8) | static_cast<unsigned char>(z[1])) % 31, 0) << "header check";
        std::string back(data.size() + 1, '\0');
        uLongf size = back.size();
        ASSERT_EQ(uncompress(reinterpret_cast<Bytef*>(back.data()), &size, reinterpret_cast<const Bytef*>(z.data()),
                             z.size()),
                  Z_OK);
        back.resize(size);
        EXPECT_EQ(back, data);
    }
    EXPECT_LT(DeflateBytes(std::string(10000, 'x')).size(), 100u);
}

// A constant is deflated once: the same content gives the same shared result, from any
// thread; other content its own; a full cache lets the oldest go.
TEST(PdfFormat, ConstantsAreDeflatedOncePerProcess) {
    const std::string profile(6900, 'p');
    const std::shared_ptr<const std::string> first = DeflateConstant(profile);
    EXPECT_EQ(*first, DeflateBytes(profile));
    std::vector<std::shared_ptr<const std::string>> seen(4);
    std::vector<std::thread> threads;
    for (auto& s : seen) threads.emplace_back([&s, &profile] { s = DeflateConstant(std::string(profile)); });
    for (auto& t : threads) t.join();
    for (const auto& s : seen) EXPECT_EQ(s.get(), first.get());
    const auto other = DeflateConstant("eine andere Zeichentabelle");
    EXPECT_NE(other.get(), first.get());
    EXPECT_EQ(*other, DeflateBytes("eine andere Zeichentabelle"));
    for (int i = 0; i < 200; ++i) DeflateConstant("Tabelle " + std::to_string(i));
    const auto again = DeflateConstant(profile);
    EXPECT_NE(again.get(), first.get()) << "pushed out by 200 others, deflated anew";
    EXPECT_EQ(*again, *first);
    EXPECT_EQ(DeflateConstant(profile).get(), again.get());
}

} // namespace
} // namespace velkaro
