#include "config/settings_check.h"

#include <gtest/gtest.h>

#include <set>

#include "config/settings_keys.h"
#include "platform/files.h"
#include "platform/ini_file.h"
#include "platform/number_parse.h"
#include "platform/text.h"
#include "support/test_support.h"

namespace velkaro {
namespace {

// A folder beside the settings file with one picture and one sub-folder, for the paths.
class SettingsCheck : public ::testing::Test {
protected:
    SettingsCheck() {
        WriteFileBytes(Dir.File("logo.png"), "png");
        ForceDirectories(Dir.File("bilder"));
    }
    std::vector<std::string> Check(const std::string& text) const {
        std::vector<std::string> texts;
        for (const TSettingsFinding& f : CheckSettings(TIniFile::FromText(text), Dir.Path())) texts.push_back(f.Text);
        return texts;
    }
    test::TempFolder Dir;
};

struct TCase {
    const char* Name;
    std::string Ini;
    std::vector<std::string> Findings;  // "<dir>" stands for the settings folder
};

TEST_F(SettingsCheck, FindsUnknownNamesRepeatsAndValuesTheReaderWouldNotTakeAsMeant) {
    const std::vector<TCase> cases = {
        {"umlaut in a section", "[Verkäufer]\nIBAN=DE1\n",
         {"Zeile 1: unbekannter Abschnitt [Verkäufer] – gemeint ist [Verkaeufer]?"}},
        {"umlaut in a key", "; Ausgabe\n[Ausgabe]\nXmlZusätzlich=1\n",
         {"Zeile 3: unbekannter Schlüssel XmlZusätzlich in [Ausgabe] – gemeint ist XmlZusaetzlich?"}},
        {"typing error in a key", "[Datenbank]\nSevrer=sql01\n",
         {"Zeile 2: unbekannter Schlüssel Sevrer in [Datenbank] – gemeint ist Server?"}},
        {"key under the wrong section", "[Ausgabe]\nLogo=logo.png\n",
         {"Zeile 2: unbekannter Schlüssel Logo in [Ausgabe] – gehört er nach [PDF]?"}},
        {"nothing near", "[Foo]\nx=1\n[PDF]\nHintergrund=papier.pdf\n",
         {"Zeile 1: unbekannter Abschnitt [Foo] wird nicht gelesen.",
          "Zeile 4: unbekannter Schlüssel Hintergrund in [PDF] wird nicht gelesen."}},
        {"yes instead of 1", "[Ausgabe]\nXmlZusaetzlich=ja\n",
         {"Zeile 2: [Ausgabe] XmlZusaetzlich=ja – erwartet 0 oder 1; so gilt die Vorgabe 0."}},
        {"a number other than 0 and 1", "[Graph]\nInGesendeteSpeichern=2\n",
         {"Zeile 2: [Graph] InGesendeteSpeichern=2 – erwartet 0 oder 1 (gelesen als 1)."}},
        {"inline comment", "[Ausgabe]\nXmlZusaetzlich=1 ; Kommentar\n",
         {"Zeile 2: [Ausgabe] XmlZusaetzlich=1 ; Kommentar – ein Kommentar gehört auf eine eigene Zeile, die mit "
          "„;“ beginnt – hier gehört er zum Wert; so gilt die Vorgabe 0."}},
        {"inline comment after a choice", "[XRechnung]\nVerwenden=Immer\t; alle\n",
         {"Zeile 2: [XRechnung] Verwenden=Immer\t; alle – ein Kommentar gehört auf eine eigene Zeile, die mit „;“ "
          "beginnt – hier gehört er zum Wert."}},
        {"boolean of the database connection", "[Datenbank]\nServerZertifikatVertrauen=true\n",
         {"Zeile 2: [Datenbank] ServerZertifikatVertrauen=true – erwartet 0 oder 1."}},
        {"integer", "[Datenbank]\nMaxZeilen=viele\n[EMail]\nCMNMHerkunftsart=0x1\n",
         {"Zeile 2: [Datenbank] MaxZeilen=viele – erwartet eine ganze Zahl; so gilt die Vorgabe 1000."}},
        {"decimal comma", "[PDF]\nLogoBreiteMm=42,5\n",
         {"Zeile 2: [PDF] LogoBreiteMm=42,5 – erwartet eine Zahl mit Punkt als Dezimalzeichen (etwa 42.5); so gilt "
          "die Vorgabe 50."}},
        {"choices", "[Datenbank]\nVerschluesselung=immer\nAnmeldung=sql\n[XRechnung]\nVerwenden=manchmal\n",
         {"Zeile 2: [Datenbank] Verschluesselung=immer – erlaubt: aus, ja, streng.",
          "Zeile 5: [XRechnung] Verwenden=manchmal – erlaubt: Leitweg, Immer, Nie."}},
        {"files beside the settings", "[PDF]\nLogo=fehlt.png\nICCProfil=logo.png\n[Graph]\nCaZertifikate=bilder\n",
         {"Zeile 2: [PDF] Logo=fehlt.png – die Datei <dir>fehlt.png gibt es nicht.",
          "Zeile 5: [Graph] CaZertifikate=bilder – <dir>bilder ist ein Ordner, keine Datei."}},
        {"output folder", "[Ausgabe]\nOrdner=logo.png\n",
         {"Zeile 2: [Ausgabe] Ordner=logo.png – <dir>logo.png ist kein Ordner."}},
        {"repeated section", "[Verkaeufer]\nIBAN=A\n\n[Verkaeufer]\nTelefon=1\n",
         {"Zeile 4: Abschnitt [Verkaeufer] steht zum zweiten Mal – seine Zeilen werden nicht gelesen (es gilt der "
          "aus Zeile 1)."}},
        {"in the order of the lines", "[Verkaeufer]\nIBAN=A\n[Verkaeufer]\n[Foo]\n",
         {"Zeile 3: Abschnitt [Verkaeufer] steht zum zweiten Mal – seine Zeilen werden nicht gelesen (es gilt der "
          "aus Zeile 1).",
          "Zeile 4: unbekannter Abschnitt [Foo] wird nicht gelesen."}},
        {"repeated key", "[Verkaeufer]\nIBAN=A\niban=B\n",
         {"Zeile 3: IBAN steht in [Verkaeufer] zum zweiten Mal – es gilt der Wert aus Zeile 2."}},
        {"all well",
         "\xEF\xBB\xBF; Kommentar\r\n[datenbank]\r\nserver=sql01\r\nMaxZeilen=$10\r\n[Ausgabe]\r\nOrdner=neu/unter\r\n"
         "XmlZusaetzlich=\r\n[PDF]\r\nLogo=logo.png\r\nLogoBreiteMm=42.5\r\nICCProfil=" +
             Dir.File("logo.png") +
             "\r\n[Graph]\r\nBcc=a@example.com ; b@example.com\r\n[Einheiten]\r\nPAK=XPK\r\nPAK=XBX\r\n"
             "[Waehrungen]\r\nSFR=CHF\r\n[Leitweg]\r\nD1=991-1\r\n[Darstellung]\r\nSkin=hell\r\n",
         {}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        std::vector<std::string> expected;
        for (const std::string& f : c.Findings) expected.push_back(ReplaceAll(f, "<dir>", Dir.Path()));
        EXPECT_EQ(Check(c.Ini), expected);
    }
}

TEST_F(SettingsCheck, OnlyUnknownSectionsAndKeysCountAsUnknownNames) {
    const std::vector<TSettingsFinding> findings = CheckSettings(
        TIniFile::FromText("[Verkäufer]\n[PDF]\nLogoBreite=1\nLogoBreiteMm=x\n[PDF]\n"), Dir.Path());
    ASSERT_EQ(findings.size(), 4u);
    EXPECT_EQ(findings[0].Kind, TSettingsFinding::fkUnknownSection);
    EXPECT_EQ(findings[1].Kind, TSettingsFinding::fkUnknownKey);
    EXPECT_EQ(findings[2].Kind, TSettingsFinding::fkValue);
    EXPECT_EQ(findings[3].Kind, TSettingsFinding::fkRepeated);
    EXPECT_TRUE(findings[0].IsUnknownName());
    EXPECT_TRUE(findings[1].IsUnknownName());
    EXPECT_FALSE(findings[2].IsUnknownName());
    EXPECT_FALSE(findings[3].IsUnknownName());
}

TEST(NearestName, FoldsCaseAndUmlautsAndStaysSilentWhenNothingIsNear) {
    const std::vector<std::string> names = {"Datenbank", "Darstellung", "Verkaeufer", "Laender", "Skin",
                                            "Steuer", "Graph", "Leitweg"};
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"Verkäufer", "Verkaeufer"}, {"VERKÄUFER", "Verkaeufer"}, {"Länder", "Laender"},
        {"Datenbnak", "Datenbank"},  {"Datebank", "Datenbank"},   {"Skn", "Skin"},
        {"Steuern", "Steuer"},       {"Grap", "Graph"},           {"Leitwege", "Leitweg"},
        {"Foo", ""},                 {"Sk", ""},                  {"Datum", ""},
        {"Verkauf", ""},             {"", ""},
    };
    for (const auto& [typed, meant] : cases) EXPECT_EQ(NearestName(typed, names), meant) << typed;
    // On equal distance the earlier name wins.
    const std::vector<std::string> twins = {"Haus", "Maus"};
    EXPECT_EQ(NearestName("Laus", twins), "Haus");
}

// The table is what the reader, the check and the template rely on: each key in a
// section of its own kind, each default a value its key takes.
TEST(SettingsKeys, TableIsConsistent) {
    std::set<std::string> seen;
    for (const TSettingKey& k : KnownSettingKeys()) {
        SCOPED_TRACE(std::string(k.Section) + " " + k.Key);
        const TSettingSection* section = FindSettingSection(k.Section);
        ASSERT_NE(section, nullptr);
        EXPECT_FALSE(section->FreeKeys);
        EXPECT_TRUE(seen.insert(LowerAscii(std::string(k.Section) + "/" + k.Key)).second) << "twice";
        EXPECT_EQ(FindSettingKey(UpperAscii(k.Section), LowerAscii(k.Key)), &k);
        EXPECT_NE(std::string(k.Help), "");
        const std::string def = k.Default;
        switch (k.Kind) {
            case TValueKind::vkBool: EXPECT_TRUE(def.empty() || def == "0" || def == "1"); break;
            case TValueKind::vkInteger: EXPECT_TRUE(TIniFile::FromText("[s]\nk=" + def).ReadInteger("s", "k", -7) != -7); break;
            case TValueKind::vkDecimal: EXPECT_TRUE(ParseDecimalPoint(def).has_value()); break;
            case TValueKind::vkChoice: {
                EXPECT_NE(std::string(k.Choices), "");
                const std::vector<std::string> choices = Split(k.Choices, '|');
                EXPECT_TRUE(def.empty() || std::find(choices.begin(), choices.end(), def) != choices.end());
                break;
            }
            default: EXPECT_EQ(std::string(k.Choices), ""); break;
        }
    }
    for (const char* free : {"Einheiten", "Laender", "Waehrungen", "Leitweg"}) {
        ASSERT_NE(FindSettingSection(free), nullptr) << free;
        EXPECT_TRUE(FindSettingSection(free)->FreeKeys) << free;
    }
    EXPECT_EQ(FindSettingSection("Verkäufer"), nullptr);
    EXPECT_EQ(FindSettingKey("PDF", "Server"), nullptr);
}

} // namespace
} // namespace velkaro
