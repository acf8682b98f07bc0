#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "config/mappings.h"
#include "config/settings.h"
#include "support/test_support.h"

using namespace velkaro;

namespace {

// Settings read from a file with the given text (no file at all when empty).
class MappingsTest : public ::testing::Test {
protected:
    TSettings& Load(const std::string& iniText = "") {
        const std::string file = FDir.File("velkaro.ini");
        if (!iniText.empty()) std::ofstream(file, std::ios::binary) << iniText;
        FSettings = std::make_unique<TSettings>(file);
        return *FSettings;
    }

    test::TempFolder FDir;
    std::unique_ptr<TSettings> FSettings;
};

} // namespace

TEST(BuiltInTables, UnitsInOrderWithTheirTargets) {
    TNameValueList units;
    units.SetValue("ALT", "X");
    FillBuiltInUnits(units);
    ASSERT_EQ(units.Count(), 45u);
    EXPECT_FALSE(units.Contains("ALT"));
    const std::vector<std::pair<std::string, std::string>> samples = {
        {"EINHEIT", "C62"}, {"ENHEIT", "C62"},   {"UNIT", "C62"},      {"STÜCK", "H87"},
        {"PC", "H87"},      {"T", "TNE"},        {"LFDM", "MTR"},      {"QUADRATMET", "MTK"},
        {"STD", "HUR"},     {"PAUSCHAL", "LS"},  {"KART", "XCQ"},      {"KARTON", "XCT"},
        {"EIMER GR.", "XBJ"}, {"EIMER KL.", "XBJ"}, {"E8KG", "XBJ"},   {"SCHACHTEL", "XBX"},
    };
    for (const auto& [nav, target] : samples) EXPECT_EQ(units.Value(nav), target) << nav;
    EXPECT_EQ(units[0].first, "EINHEIT");
    EXPECT_EQ(units[44].first, "SCHACHTEL");
    EXPECT_FALSE(units.Contains("QUADRATMETER"));
    // Every target is an upper-case Rec. 20 code.
    for (const auto& [nav, target] : units.Items()) {
        EXPECT_GE(target.size(), 2u) << nav;
        for (char c : target) EXPECT_TRUE((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) << nav;
    }
}

TEST(BuiltInTables, CountriesInOrderWithTheirTargets) {
    TNameValueList countries;
    FillBuiltInCountries(countries);
    ASSERT_EQ(countries.Count(), 48u + 241u);  // the old NAV codes first, then the common codes
    EXPECT_EQ(countries[0], (std::pair<std::string, std::string>("A", "AT")));
    EXPECT_EQ(countries[47], (std::pair<std::string, std::string>("IR", "IE")));
    const std::vector<std::pair<std::string, std::string>> samples = {
        {"P", "PL"},  {"PORT", "PT"}, {"H", "HK"},  {"IR", "IE"},  {"EL", "GR"},  {"TÜ", "TR"},
        {"tü", "TR"}, {"SF", "FI"},   {"MO", "MA"}, {"MOL", "MD"}, {"GCA", "GT"}, {"UZB", "UZ"},
    };
    for (const auto& [nav, target] : samples) EXPECT_EQ(countries.Value(nav), target) << nav;
    EXPECT_FALSE(countries.Contains("DE"));
    // Common codes that map to exactly one country, and never an ISO alpha-2 code as a key.
    const std::vector<std::pair<std::string, std::string>> common = {
        {"D", "DE"}, {"UK", "GB"}, {"FL", "LI"}, {"SLO", "SI"}, {"DEU", "DE"}, {"CHE", "CH"}, {"GBR", "GB"},
        {"AUT", "AT"}, {"AUS", "AU"}, {"NPL", "NP"}, {"NEP", "NP"}, {"IRL", "IE"},
    };
    for (const auto& [nav, target] : common) EXPECT_EQ(countries.Value(nav), target) << nav;
    std::vector<std::string> twoLetters;
    for (size_t k = 48; k < countries.Count(); ++k)
        if (countries[k].first.size() == 2) twoLetters.push_back(countries[k].first);
    EXPECT_EQ(twoLetters, (std::vector<std::string>{"UK", "FL", "RL"}));  // none is assigned in ISO 3166
}

TEST_F(MappingsTest, MapUnit) {
    TSettings& s = Load();
    struct Case { const char* code; const char* iso; const char* expected; };
    const Case cases[] = {
        {"stk", "", "H87"},      {"STK", "XPP", "XPP"},     {"", "", "C62"},
        {"KISTE", "", "C62"},    {" kg ", "  ", "KGM"},     {"STK", " xpp ", "xpp"},  // iso trimmed, case kept
        {"stück", "", "H87"},    {"Eimer gr.", "", "XBJ"},  {"\t", "", "C62"},
        {"STÜCK\xFF", "", "C62"},                            // invalid UTF-8: no entry, no crash
    };
    for (const auto& c : cases) EXPECT_EQ(s.MapUnit(c.code, c.iso), c.expected) << "'" << c.code << "' '" << c.iso << "'";
}

TEST_F(MappingsTest, SettingsSectionsOverrideAndExtendTheTables) {
    TSettings& s = Load(
        "[Einheiten]\r\n STK = C62\r\nKISTE=XCR\r\nKG=\r\nstück=XST\r\n"
        "[Laender]\r\nA=AU\r\nD=DE\r\nH=\r\n"
        "[Leitweg]\r\nK10000=991-33333test-33\r\n = 04011000-45\r\nK20000=  \r\nk30000= 04011000-45 \r\n");
    EXPECT_EQ(s.MapUnit("STK", ""), "C62");
    EXPECT_EQ(s.MapUnit("kiste", ""), "XCR");
    EXPECT_EQ(s.MapUnit("KG", ""), "C62");  // the empty value removed the built-in entry
    EXPECT_EQ(s.MapUnit("STÜCK", ""), "XST");
    EXPECT_EQ(s.FUnits.Count(), 45u);       // STK and STÜCK replaced in place, KG removed, KISTE added
    EXPECT_EQ(s.MapCountry("a"), "AU");
    EXPECT_EQ(s.MapCountry("d"), "DE");
    EXPECT_EQ(s.MapCountry("H"), "H");
    EXPECT_EQ(s.LeitwegFor("K10000"), "991-33333TEST-33");
    EXPECT_EQ(s.LeitwegFor(" K10000 "), "991-33333TEST-33");
    EXPECT_EQ(s.LeitwegFor("K20000"), "");
    EXPECT_EQ(s.LeitwegFor("K30000"), "04011000-45");  // names compare without case
    EXPECT_EQ(s.LeitwegFor(""), "");
    EXPECT_EQ(s.LeitwegFor("   "), "");
    EXPECT_EQ(s.LeitwegFor("K99999"), "");
}

TEST_F(MappingsTest, MapCountry) {
    TSettings& s = Load();
    struct Case { const char* code; const char* expected; };
    const Case cases[] = {
        {" d ", "DE"}, {"uk", "GB"}, {"che", "CH"}, {"a", "AT"}, {"DE", "DE"}, {"ch", "CH"}, {"p", "PL"}, {"Port", "PT"},
        {"ir", "IE"}, {"tü", "TR"}, {"TÜ", "TR"}, {"", "DE"}, {"  ", "DE"},
    };
    for (const auto& c : cases) EXPECT_EQ(s.MapCountry(c.code), c.expected) << "'" << c.code << "'";
    s.DefaultCountry = "at";  // returned unchanged
    EXPECT_EQ(s.MapCountry(""), "at");
}

TEST_F(MappingsTest, MapCurrencyOnlyByTheSettingsSection) {
    TSettings& s = Load("[Waehrungen]\r\nSFR = chf\r\nDM=\r\n");
    struct Case { const char* code; const char* expected; };
    const Case cases[] = {{"SFR", "CHF"}, {" sfr ", "CHF"}, {"EUR", "EUR"}, {"usd", "usd"}, {"DM", "DM"}, {"", ""}};
    for (const auto& c : cases) EXPECT_EQ(s.MapCurrency(c.code), c.expected) << "'" << c.code << "'";
    EXPECT_FALSE(Load().SendDespiteFindings);
    EXPECT_TRUE(Load("[Pruefung]\r\nTrotzBefundVersenden=1\r\n").SendDespiteFindings);
}

TEST_F(MappingsTest, XRechnungUse) {
    struct Case {
        const char* ini;
        TXRechnungUse expected;
    };
    const Case cases[] = {
        {"", xuLeitweg},
        {"[XRechnung]\r\nVerwenden=\r\n", xuLeitweg},
        {"[XRechnung]\r\nVerwenden=Leitweg\r\n", xuLeitweg},
        {"[XRechnung]\r\nVerwenden= immer \r\n", xuAlways},
        {"[XRechnung]\r\nVerwenden=Nie\r\n", xuNever},
    };
    for (const auto& c : cases) EXPECT_EQ(Load(c.ini).XRechnungUse, c.expected) << c.ini;
    EXPECT_THAT(test::ErrorOf([&] { Load("[XRechnung]\r\nVerwenden=Ja\r\n"); }),
                ::testing::HasSubstr("Unbekannter Wert „Ja“ für [XRechnung] Verwenden="));
}

TEST(CommaText, SplitsAtCommasAndBlanksAndKeepsQuotedItems) {
    struct Case { const char* text; std::vector<std::string> items; };
    const std::vector<Case> cases = {
        {"", {}},
        {"EINZUG", {"EINZUG"}},
        {"EINZUG, SEPA-LS", {"EINZUG", "SEPA-LS"}},
        {"SEPA LS", {"SEPA", "LS"}},
        {"\"SEPA LS\",EINZUG", {"SEPA LS", "EINZUG"}},
        {"\"A,B\" C", {"A,B", "C"}},
        {"a,,b", {"a", "", "b"}},
        {"a,", {"a", ""}},
        {"  a  ,  b  ", {"a", "b"}},
        {"\"x \"\"y\"\"\"", {"x \"y\""}},
        {"\"unterminated", {"unterminated"}},
        {"\"q\"tail,z", {"qtail", "z"}},
    };
    for (const auto& c : cases) EXPECT_EQ(SplitCommaText(c.text), c.items) << c.text;
}

TEST_F(MappingsTest, IsDirectDebit) {
    TSettings& s = Load();
    EXPECT_EQ(s.DirectDebitMethods, "EINZUG");
    EXPECT_TRUE(s.IsDirectDebit("einzug"));
    EXPECT_TRUE(s.IsDirectDebit(" EINZUG "));
    EXPECT_FALSE(s.IsDirectDebit(""));
    EXPECT_FALSE(s.IsDirectDebit("BAR"));
    EXPECT_FALSE(s.IsDirectDebit("EINZU"));

    struct Case { const char* setting; const char* code; bool expected; };
    const Case cases[] = {
        {"EINZUG, SEPA-LS", "sepa-ls", true}, {"EINZUG, SEPA-LS", "EINZUG", true},
        {"SEPA LS", "SEPA", true},            {"SEPA LS", "LS", true},
        {"SEPA LS", "SEPA LS", false},        {"\"SEPA LS\"", "sepa ls", true},
        {"", "EINZUG", false},                {"a,,b", "", false},
        {"LASTSCHRIFT", "lastschrift", true}, {"ABBUCHÜNG", "abbuchüng", true},
    };
    for (const auto& c : cases) {
        s.DirectDebitMethods = c.setting;
        EXPECT_EQ(s.IsDirectDebit(c.code), c.expected) << c.setting << " / " << c.code;
    }
}
