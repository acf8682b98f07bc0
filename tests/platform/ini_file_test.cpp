#include "platform/ini_file.h"

#include <gtest/gtest.h>

#include <random>

#include "platform/error.h"
#include "platform/files.h"
#include "platform/text.h"
#include "support/test_support.h"

namespace velkaro {
namespace {

using Keys = std::vector<std::pair<std::string, std::string>>;

TEST(IniFileRead, EmptyTextAndOnlyCommentsGiveNoSections) {
    EXPECT_TRUE(TIniFile::FromText("").Sections().empty());
    EXPECT_TRUE(TIniFile::FromText("\xEF\xBB\xBF").Sections().empty());
    EXPECT_TRUE(TIniFile::FromText("; one\r\n  ;two\r\n\r\n   \r\n").Sections().empty());
}

TEST(IniFileRead, ParsesSectionsKeysAndValuesByTheLineRules) {
    TIniFile ini = TIniFile::FromText(
        "\xEF\xBB\xBF"
        "before=ignored\r\n"
        "[ Erste ]\r\n"
        "  Name  =  Wert mit = Zeichen  \r\n"
        "; Kommentar\r\n"
        "OhneGleich\r\n"
        "=nur Wert\r\n"
        "Leer=\r\n"
        "[Zweite]\n"
        "a=1\r"
        "b=2\n");
    ASSERT_EQ(ini.Sections().size(), 2u);
    EXPECT_EQ(ini.Sections()[0].Name, "Erste");
    EXPECT_EQ(ini.Sections()[0].Keys, (Keys{{"Name", "Wert mit = Zeichen"}, {"OhneGleich", ""}, {"", "nur Wert"},
                                            {"Leer", ""}}));
    EXPECT_EQ(ini.Sections()[1].Keys, (Keys{{"a", "1"}, {"b", "2"}}));
    EXPECT_TRUE(ini.ValueExists("erste", "OHNEGLEICH"));
    EXPECT_FALSE(ini.ValueExists("erste", "before"));
}

TEST(IniFileRead, SecondOccurrenceOfASectionIsIgnored) {
    TIniFile ini = TIniFile::FromText("[A]\nx=1\n[B]\ny=2\n[a]\nx=9\nz=3\n[B]\nw=4\n");
    ASSERT_EQ(ini.Sections().size(), 2u);
    EXPECT_EQ(ini.ReadString("A", "x", "?"), "1");
    EXPECT_FALSE(ini.ValueExists("A", "z"));
    EXPECT_FALSE(ini.ValueExists("B", "w"));
}

TEST(IniFileRead, RepeatedSectionsAmongManyAreIgnoredInAnySpelling) {
    std::string text;
    for (int i = 0; i < 3000; ++i) text += "[Text." + std::to_string(i) + "]\nk=" + std::to_string(i) + "\n";
    text += "[TEXT.7]\nk=spaet\nz=1\n[text.2999]\nk=spaet\n[Text.3000]\nk=neu\n";
    TIniFile ini = TIniFile::FromText(text);
    ASSERT_EQ(ini.Sections().size(), 3001u);
    EXPECT_EQ(ini.ReadString("text.7", "k", ""), "7");
    EXPECT_FALSE(ini.ValueExists("Text.7", "z"));
    EXPECT_EQ(ini.ReadString("Text.2999", "k", ""), "2999");
    EXPECT_EQ(ini.Sections().back().Name, "Text.3000");
    EXPECT_EQ(ini.ReadString("Text.3000", "k", ""), "neu");
}

TEST(IniFileRead, SectionLineNeedsBothBrackets) {
    TIniFile ini = TIniFile::FromText("[A]\n[B\nC]\n[]\nk=v\n");
    ASSERT_EQ(ini.Sections().size(), 2u);
    EXPECT_EQ(ini.Sections()[0].Keys, (Keys{{"[B", ""}, {"C]", ""}}));
    EXPECT_EQ(ini.Sections()[1].Name, "");
    EXPECT_EQ(ini.ReadString("", "k", ""), "v");
}

TEST(IniFileRead, NamesCompareWithoutLetterCaseAndFirstDuplicateKeyWins) {
    TIniFile ini = TIniFile::FromText("[Datenbank]\nServer=eins\nSERVER=zwei\n");
    EXPECT_EQ(ini.ReadString("DATENBANK", "server", ""), "eins");
    // Both lines stay available in file order for sections read line by line.
    EXPECT_EQ(ini.FindSection("datenbank")->Keys.size(), 2u);
}

TEST(IniFileRead, InvalidUtf8BecomesReplacementCharacters) {
    TIniFile ini = TIniFile::FromText("[S]\nk=a\xFF\xC3(b\n");
    std::string value = ini.ReadString("S", "k", "");
    EXPECT_TRUE(IsValidUtf8(value));
    EXPECT_EQ(value, "a\xEF\xBF\xBD\xEF\xBF\xBD(b");
}

TEST(IniFileRead, BinaryGarbageDoesNotCrash) {
    std::mt19937 random(4711);
    for (int round = 0; round < 50; ++round) {
        std::string bytes(4096, '\0');
        for (char& c : bytes) c = static_cast<char>(random() & 0xFF);
        if (round % 5 == 0) bytes.insert(0, "[Datenbank]\n");
        TIniFile ini = TIniFile::FromText(bytes);
        for (const auto& s : ini.Sections())
            for (const auto& [k, v] : s.Keys) EXPECT_TRUE(IsValidUtf8(k) && IsValidUtf8(v));
        ini.ReadInteger("Datenbank", "MaxZeilen", 1000);
        TIniFile again = TIniFile::FromText(ini.ToText());
        EXPECT_EQ(again.Sections().size(), ini.Sections().size());
    }
}

TEST(IniFileRead, HugeLinesAreKeptWhole) {
    std::string big(5 * 1024 * 1024, 'x');
    TIniFile ini = TIniFile::FromText("[S]\nk=" + big + "\n[" + big + "]\nz=1\n");
    EXPECT_EQ(ini.ReadString("S", "k", "").size(), big.size());
    EXPECT_EQ(ini.ReadString(big, "z", ""), "1");
}

TEST(IniFileRead, MissingOrUnreadableFileIsEmpty) {
    test::TempFolder dir;
    EXPECT_TRUE(TIniFile::FromFile(dir.File("fehlt.ini")).Sections().empty());
    EXPECT_TRUE(TIniFile::FromFile(dir.Path()).Sections().empty());  // a folder
}

struct NumberCase {
    const char* Text;
    std::optional<int32_t> Integer;  // nullopt: no number, the default applies
};

TEST(IniFileRead, IntegerAndBooleanRules) {
    const NumberCase cases[] = {
        {"0", 0},           {"42", 42},         {"-7", -7},           {"+5", 5},
        {"0x10", 16},       {"0X1f", 31},       {"$10", 16},          {"$ff", 255},
        {"-$10", -16},      {"007", 7},         {"2147483647", 2147483647},
        {"-2147483648", std::numeric_limits<int32_t>::min()},
        {"2147483648", {}}, {"0x80000000", {}}, {"99999999999999999999", {}},
        {"true", {}},       {"ja", {}},         {"", {}},             {"0x", {}},
        {"$", {}},          {"1.5", {}},        {"12abc", {}},        {"- 1", {}},
        {"0x-1", {}},       {"1 2", {}},
    };
    for (const auto& c : cases) {
        TIniFile ini = TIniFile::FromText(std::string("[S]\nk=") + c.Text + "\n");
        SCOPED_TRACE(c.Text);
        EXPECT_EQ(ini.ReadInteger("S", "k", -99), c.Integer.value_or(-99));
        EXPECT_EQ(ini.ReadBool("S", "k", true), c.Integer ? *c.Integer != 0 : true);
        EXPECT_EQ(ini.ReadBool("S", "k", false), c.Integer ? *c.Integer != 0 : false);
    }
    TIniFile empty;
    EXPECT_EQ(empty.ReadInteger("S", "k", 1000), 1000);
    EXPECT_TRUE(empty.ReadBool("S", "k", true));
}

// The number syntax itself is tested with ParseDecimalPoint (number_parse_test.cpp).
TEST(IniFileRead, DecimalPointNumbers) {
    const std::pair<const char*, std::optional<double>> cases[] = {
        {"42.5", 42.5}, {"-3", -3.0}, {".5", 0.5},   {"5.", 5.0},    {"+1.25", 1.25}, {"0", 0.0},
        {"42,5", {}},   {"1e3", {}},  {"nan", {}},   {"inf", {}},    {"", {}},        {".", {}},
        {"1.2.3", {}},  {"1 000", {}}, {"--1", {}},  {"0x10", {}},   {"1.5mm", {}},
    };
    for (const auto& [text, expected] : cases) {
        SCOPED_TRACE(text);
        TIniFile ini = TIniFile::FromText(std::string("[PDF]\nLogoBreiteMm=") + text + "\n");
        EXPECT_DOUBLE_EQ(ini.ReadFloat("PDF", "LogoBreiteMm", 50), expected.value_or(50));
    }
    TIniFile huge = TIniFile::FromText("[PDF]\nLogoBreiteMm=" + std::string(400, '9') + "\n");
    EXPECT_DOUBLE_EQ(huge.ReadFloat("PDF", "LogoBreiteMm", 50), 50);  // beyond double range
}

TEST(IniFileWrite, KeepsOrderReplacesInPlaceAndWritesBomCrLf) {
    TIniFile ini = TIniFile::FromText("; Kommentar\n[B]\nx=1\n\n[A]\ny=2\n");
    ini.WriteString("a", "Y", "neu");
    ini.WriteString("C", "z", "3");
    ini.WriteBool("B", "flag", true);
    ini.WriteBool("B", "off", false);
    ini.WriteInteger("B", "n", -12);
    EXPECT_EQ(ini.ToText(),
              "\xEF\xBB\xBF[B]\r\nx=1\r\nflag=1\r\noff=0\r\nn=-12\r\n\r\n"
              "[A]\r\ny=neu\r\n\r\n"
              "[C]\r\nz=3\r\n\r\n");
}

TEST(IniFileWrite, DeleteKeyRemovesEveryOccurrence) {
    TIniFile ini = TIniFile::FromText("[Graph]\nClientSecret=a\nX=1\nclientsecret=b\n");
    ini.DeleteKey("GRAPH", "ClientSecret");
    EXPECT_EQ(ini.FindSection("Graph")->Keys, (Keys{{"X", "1"}}));
    ini.DeleteKey("Fehlt", "X");  // no section: nothing happens
    ini.EraseSection("graph");
    EXPECT_TRUE(ini.Sections().empty());
}

TEST(IniFileWrite, LineBreaksInValuesCannotStartNewLines) {
    TIniFile ini;
    ini.WriteString("S", "k", "eins\r\n[Boese]\nzwei");
    TIniFile back = TIniFile::FromText(ini.ToText());
    ASSERT_EQ(back.Sections().size(), 1u);
    EXPECT_EQ(back.ReadString("S", "k", ""), "eins  [Boese] zwei");
}

TEST(IniFileWrite, SaveAndReadBackThroughAFile) {
    test::TempFolder dir;
    TIniFile ini;
    ini.WriteString("Datenbank", "Server", "srv\\inst");
    ini.WriteString("Verkaeufer", "Geschaeftsfuehrer", "Jürgen Müller");
    ini.SaveToFile(dir.File("a.ini"));
    EXPECT_EQ(ReadFileBytes(dir.File("a.ini")), ini.ToText());
    TIniFile back = TIniFile::FromFile(dir.File("a.ini"));
    EXPECT_EQ(back.ReadString("datenbank", "server", ""), "srv\\inst");
    EXPECT_EQ(back.ReadString("Verkaeufer", "Geschaeftsfuehrer", ""), "Jürgen Müller");
}

TEST(IniFileWrite, UnwritableTargetRaisesGermanError) {
    test::TempFolder dir;
    TIniFile ini;
    ini.WriteString("S", "k", "v");
    try {
        ini.SaveToFile(dir.File("fehlt/a.ini"));
        FAIL() << "no error";
    } catch (const Exception& e) {
        EXPECT_NE(std::string(e.what()).find("kann nicht geschrieben werden"), std::string::npos) << e.what();
    }
    EXPECT_THROW(ini.SaveToFile(dir.Path()), Exception);  // the target is a folder
}

} // namespace
} // namespace velkaro
