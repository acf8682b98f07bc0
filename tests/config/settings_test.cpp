#include "config/settings.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <random>
#include <sys/fsuid.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

#include "layoutmodel/layout_model.h"
#include "platform/base64.h"
#include "platform/error.h"
#include "platform/files.h"
#include "platform/ini_file.h"
#include "platform/secret_store.h"
#include "platform/text.h"
#include "support/test_support.h"

namespace velkaro {
namespace {

constexpr std::string_view kBom = "\xEF\xBB\xBF";

// Settings file in a temporary folder; the protected secret's key lives in a
// temporary user configuration folder, never in the real home.
class Settings : public ::testing::Test {
protected:
    test::TempFolder FDir;
    test::TempFolder FHome;
    test::ScopedEnv FXdg{"XDG_CONFIG_HOME", FHome.Path().c_str()};

    std::string IniPath() const { return FDir.File("velkaro.ini"); }
    void WriteIni(std::string_view bytes) const { WriteFileBytes(IniPath(), bytes); }
    std::string IniText() const { return ReadFileBytes(IniPath()); }
};

std::string GraphValue(const std::string& iniText, const std::string& key) {
    return TIniFile::FromText(iniText).ReadString("Graph", key, "");
}

std::string Str(bool b) { return b ? "true" : "false"; }
std::string Str(int32_t i) { return std::to_string(i); }
std::string Str(double d) { return std::to_string(d); }

TEST_F(Settings, MissingFileGivesDefaultsAndWritesExactlyTheFirstRunKeys) {
    TSettings s(IniPath());
    EXPECT_EQ(s.FFileName, IniPath());
    EXPECT_EQ(s.Server, "localhost");
    EXPECT_EQ(s.Database, "Cronus");
    EXPECT_EQ(s.User, "sa");
    EXPECT_EQ(s.Password, "");
    EXPECT_EQ(s.OutDir, FDir.Path() + "Ausgabe");
    EXPECT_EQ(s.MailImageDir, FDir.Path() + "Signatur");
    EXPECT_EQ(s.ConnectionString(),
              "Provider=SQLOLEDB.1;Data Source=localhost;Initial Catalog=Cronus;User ID=sa;Password=;"
              "Persist Security Info=True");
    // The active lines are exactly the first-run keys; everything else is a comment.
    const std::string text = IniText();
    ASSERT_EQ(text.substr(0, 3), kBom);
    ASSERT_EQ(text.substr(text.size() - 2), "\r\n");
    std::vector<std::string> active;
    size_t comments = 0;
    for (const std::string& line : Split(text.substr(3, text.size() - 4), '\n')) {
        ASSERT_TRUE(line.ends_with('\r')) << line;
        const std::string l = line.substr(0, line.size() - 1);
        if (l.starts_with(";"))
            ++comments;
        else if (!l.empty())
            active.push_back(l);
    }
    // No path of this machine: the output folder follows the state folder's rule.
    EXPECT_EQ(active, (std::vector<std::string>{"[Datenbank]", "Server=localhost", "Datenbank=Cronus", "Benutzer=sa",
                                                "Passwort=", "Provider=SQLOLEDB.1", "Mandant=", "[PDF]", "Schrift=Arial",
                                                "Logo=", "[Verkaeufer]", "IBAN=", "BIC=", "Bank=", "GlaeubigerID=",
                                                "Geschaeftsfuehrer=", "Handelsregister="}));
    EXPECT_GT(comments, active.size());
    EXPECT_EQ(s.FirstRunNote, "Einstellungsdatei " + IniPath() + " neu angelegt – bitte Abschnitt [Datenbank] eintragen");
    EXPECT_TRUE(s.Findings.empty());
    // It will hold the database password and the mail account: the owner's alone.
    struct stat st {};
    ASSERT_EQ(stat(IniPath().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0600u);
    // The first-run file reads back to the same values and is not written again.
    std::string written = IniText();
    TSettings again(IniPath());
    EXPECT_EQ(again.OutDir, s.OutDir);
    EXPECT_EQ(IniText(), written);
    EXPECT_EQ(again.FirstRunNote, "");
    EXPECT_TRUE(again.Findings.empty());
}

// A check reads the file as it is: no first-run file, no protected copy of a plain secret.
TEST_F(Settings, ReadOnlySettingsNeverWriteTheFile) {
    TSettings missing(IniPath(), TSettingsAccess::saReadOnly);
    EXPECT_FALSE(FileExists(IniPath()));
    EXPECT_EQ(missing.FirstRunNote, "");
    EXPECT_EQ(missing.Server, "localhost");

    const std::string text = "[Graph]\r\nClientSecret=geheim\r\n";
    WriteIni(text);
    TSettings plain(IniPath(), TSettingsAccess::saReadOnly);
    EXPECT_EQ(plain.GraphSecret, "geheim");
    EXPECT_EQ(IniText(), text);
}

// Every finding of the check is kept for the run's log: unknown sections and keys with
// the name that was meant, and values the reader does not take as meant.
TEST_F(Settings, UnknownNamesBecomeHintsAndAReloadRenewsThem) {
    WriteIni("[Verkäufer]\r\nIBAN=DE1\r\n[Ausgabe]\r\nXmlZusätzlich=1\r\nXmlZusaetzlich=ja\r\n");
    TSettings s(IniPath());
    EXPECT_EQ(s.Findings, (std::vector<std::string>{
                               "Zeile 1: unbekannter Abschnitt [Verkäufer] – gemeint ist [Verkaeufer]?",
                               "Zeile 4: unbekannter Schlüssel XmlZusätzlich in [Ausgabe] – gemeint ist XmlZusaetzlich?",
                               "Zeile 5: [Ausgabe] XmlZusaetzlich=ja – erwartet 0 oder 1; so gilt die Vorgabe 0."}));
    EXPECT_EQ(s.IBAN, "");
    WriteIni("[Verkaeufer]\r\nIBAN=DE1\r\n");
    s.Load();
    EXPECT_TRUE(s.Findings.empty());
    EXPECT_EQ(s.IBAN, "DE1");
}

TEST_F(Settings, DerivedFileNamesFollowTheSettingsFile) {
    TSettings s(IniPath());
    EXPECT_EQ(s.LayoutFile, FDir.File("velkaro.layout.ini"));
    EXPECT_EQ(s.MailLogFile, FDir.File("velkaro.versand.csv"));
    EXPECT_EQ(s.MailBodyHtmlFile, FDir.File("velkaro.mailtext.htm"));
    EXPECT_EQ(s.MailSignatureFile, FDir.File("velkaro.signatur.htm"));
}

struct KeyCase {
    const char* Section;
    const char* Key;
    const char* FileValue;
    std::function<std::string(const TSettings&)> Field;
    std::string Default;
    std::string Read;
};

TEST_F(Settings, EveryKeyReadsItsDefaultWhenMissingAndItsValueWhenPresent) {
    const std::string mailDefault =
        "Sehr geehrte Damen und Herren,\r\n\r\nanbei erhalten Sie unsere {Belegart} {Nr} vom {Datum} über {Betrag} "
        "{Waehrung}.\r\nZahlungsziel: {Faellig}\r\n\r\nDie {Belegart} enthält die strukturierten Daten nach "
        "ZUGFeRD 2 / Factur-X (EN 16931).\r\n\r\nMit freundlichen Grüßen\r\n{Firma}\r\n{Strasse}, {PLZ} {Ort}\r\n"
        "Tel. {Telefon}";
    const KeyCase cases[] = {
        {"Datenbank", "Server", "srv\\sql2019", [](auto& s) { return s.Server; }, "localhost", "srv\\sql2019"},
        {"Datenbank", "Datenbank", "NAV2018", [](auto& s) { return s.Database; }, "Cronus", "NAV2018"},
        {"Datenbank", "Benutzer", "", [](auto& s) { return s.User; }, "sa", ""},
        {"Datenbank", "Passwort", "g=heim ", [](auto& s) { return s.Password; }, "", "g=heim"},
        {"Datenbank", "Provider", "MSOLEDBSQL", [](auto& s) { return s.Provider; }, "SQLOLEDB.1", "MSOLEDBSQL"},
        {"Datenbank", "Mandant", "CRONUS AG", [](auto& s) { return s.Company; }, "", "CRONUS AG"},
        {"Datenbank", "MaxZeilen", "250", [](auto& s) { return Str(s.MaxRows); }, "1000", "250"},
        {"Darstellung", "Skin", "Hell", [](auto& s) { return s.Skin; }, "Dunkel", "Hell"},
        {"Ausgabe", "Ordner", "/srv/rechnungen", [](auto& s) { return s.OutDir; }, "<dir>Ausgabe", "/srv/rechnungen"},
        {"Ausgabe", "Dateiname", "RE-%s", [](auto& s) { return s.FileNamePattern; }, "Rechnung_%s", "RE-%s"},
        {"Ausgabe", "DateinameGutschrift", "GS-%s", [](auto& s) { return s.CreditMemoFileNamePattern; },
         "Rechnungskorrektur_%s", "GS-%s"},
        {"Ausgabe", "XmlZusaetzlich", "1", [](auto& s) { return Str(s.SaveXml); }, "false", "true"},
        {"Ausgabe", "PdfOeffnen", "1", [](auto& s) { return Str(s.OpenPdf); }, "false", "true"},
        {"PDF", "Schrift", "DejaVu Sans", [](auto& s) { return s.FontName; }, "Arial", "DejaVu Sans"},
        {"PDF", "ICCProfil", "/x/a.icc", [](auto& s) { return s.IccFile; }, "/usr/share/color/icc/sRGB.icc",
         "/x/a.icc"},
        {"PDF", "Logo", "/x/logo.png", [](auto& s) { return s.LogoFile; }, "", "/x/logo.png"},
        {"PDF", "LogoBreiteMm", "42.5", [](auto& s) { return Str(s.LogoWidthMm); }, Str(50.0), Str(42.5)},
        {"PDF", "SchriftenVollstaendig", "1", [](auto& s) { return Str(s.WholeFonts); }, "false", "true"},
        {"PDF", "MaxPositionen", "250", [](auto& s) { return Str(s.MaxInvoiceLines); }, "10000", "250"},
        {"Verkaeufer", "IBAN", "DE02120300000000202051", [](auto& s) { return s.IBAN; }, "",
         "DE02120300000000202051"},
        {"Verkaeufer", "BIC", "BYLADEM1001", [](auto& s) { return s.BIC; }, "", "BYLADEM1001"},
        {"Verkaeufer", "Bank", "DKB", [](auto& s) { return s.BankName; }, "", "DKB"},
        {"Verkaeufer", "Kontoinhaber", "Muster GmbH", [](auto& s) { return s.AccountHolder; }, "", "Muster GmbH"},
        {"Verkaeufer", "GlaeubigerID", "DE98ZZZ09999999999", [](auto& s) { return s.CreditorID; }, "",
         "DE98ZZZ09999999999"},
        {"Verkaeufer", "Ansprechpartner", "Frau Öztürk", [](auto& s) { return s.ContactName; }, "", "Frau Öztürk"},
        {"Verkaeufer", "Telefon", "+49 30 1234", [](auto& s) { return s.Phone; }, "", "+49 30 1234"},
        {"Verkaeufer", "EMail", "rechnung@example.com", [](auto& s) { return s.Email; }, "", "rechnung@example.com"},
        {"Verkaeufer", "Web", "www.example.com", [](auto& s) { return s.Web; }, "", "www.example.com"},
        {"Verkaeufer", "Geschaeftsfuehrer", "Max Muster", [](auto& s) { return s.Management; }, "", "Max Muster"},
        {"Verkaeufer", "Handelsregister", "HRB 1", [](auto& s) { return s.CommercialRegister; }, "", "HRB 1"},
        {"Verkaeufer", "LastschriftZahlungsformen", "LS,SEPA", [](auto& s) { return s.DirectDebitMethods; },
         "EINZUG", "LS,SEPA"},
        {"Graph", "MandantenID", "t-1", [](auto& s) { return s.GraphTenant; }, "", "t-1"},
        {"Graph", "ClientID", "c-1", [](auto& s) { return s.GraphClientId; }, "", "c-1"},
        {"Graph", "Absender", "a@x.de", [](auto& s) { return s.MailSender; }, "", "a@x.de"},
        {"Graph", "Bcc", "b@x.de;c@x.de", [](auto& s) { return s.MailBcc; }, "", "b@x.de;c@x.de"},
        {"Graph", "Antwortadresse", "r@x.de", [](auto& s) { return s.MailReplyTo; }, "", "r@x.de"},
        {"Graph", "Testempfaenger", "t@x.de", [](auto& s) { return s.MailTestRecipient; }, "", "t@x.de"},
        {"Graph", "InGesendeteSpeichern", "0", [](auto& s) { return Str(s.MailSaveToSent); }, "true", "false"},
        {"Graph", "XmlZusaetzlichAnhaengen", "1", [](auto& s) { return Str(s.MailAttachXml); }, "false", "true"},
        {"Graph", "Betreff", "RE {Nr}", [](auto& s) { return s.MailSubject; }, "{Belegart} {Nr} vom {Datum}",
         "RE {Nr}"},
        {"Graph", "Text", "A\\nB", [](auto& s) { return s.MailBody; }, mailDefault, "A\r\nB"},
        {"Graph", "Format", "Text", [](auto& s) { return Str(s.MailHtml); }, "true", "false"},
        {"Graph", "AnmeldeServer", "http://127.0.0.1:9", [](auto& s) { return s.GraphLoginServer; },
         "https://login.microsoftonline.com", "http://127.0.0.1:9"},
        {"Graph", "GraphServer", "http://127.0.0.1:8", [](auto& s) { return s.GraphServer; },
         "https://graph.microsoft.com", "http://127.0.0.1:8"},
        {"EMail", "CMNMBelegart", "VK-RG", [](auto& s) { return s.CmnmDocType; }, "VK-RECHNUNG", "VK-RG"},
        {"EMail", "CMNMHerkunftsart", "3", [](auto& s) { return Str(s.CmnmSourceType); }, "1", "3"},
        {"Steuer", "StandardLand", "AT", [](auto& s) { return s.DefaultCountry; }, "DE", "AT"},
        {"Steuer", "BefreiungsgrundE", "Befreit", [](auto& s) { return s.ExemptReasonE; }, "Steuerfreie Leistung",
         "Befreit"},
    };
    // An existing file without the key: the default (and no first-run write).
    WriteIni("[Sonstiges]\nx=1\n");
    TSettings defaults(IniPath());
    for (const auto& c : cases) {
        std::string expected = ReplaceAll(c.Default, "<dir>", FDir.Path());
        EXPECT_EQ(c.Field(defaults), expected) << c.Key << " default";
    }
    EXPECT_EQ(IniText(), "[Sonstiges]\nx=1\n");

    for (const auto& c : cases) {
        WriteIni(std::string("; Kommentar\r\n[") + c.Section + "]\r\n" + c.Key + " = " + c.FileValue + "\r\n");
        TSettings s(IniPath());
        EXPECT_EQ(c.Field(s), c.Read) << c.Section << "/" << c.Key;
    }
}

TEST_F(Settings, SectionAndKeyNamesIgnoreLetterCase) {
    WriteIni("[DATENBANK]\nserver=sql1\n[ausgabe]\nXMLZUSAETZLICH=1\n");
    TSettings s(IniPath());
    EXPECT_EQ(s.Server, "sql1");
    EXPECT_TRUE(s.SaveXml);
}

struct NumberCase {
    const char* Line;  // in its section
    const char* Section;
    std::function<std::string(const TSettings&)> Field;
    std::string Expected;
};

TEST_F(Settings, BooleanIntegerAndDecimalRules) {
    const NumberCase cases[] = {
        {"XmlZusaetzlich=true", "Ausgabe", [](auto& s) { return Str(s.SaveXml); }, "false"},
        {"XmlZusaetzlich=ja", "Ausgabe", [](auto& s) { return Str(s.SaveXml); }, "false"},
        {"XmlZusaetzlich=2", "Ausgabe", [](auto& s) { return Str(s.SaveXml); }, "true"},
        {"XmlZusaetzlich=-1", "Ausgabe", [](auto& s) { return Str(s.SaveXml); }, "true"},
        {"XmlZusaetzlich=0x0", "Ausgabe", [](auto& s) { return Str(s.SaveXml); }, "false"},
        {"XmlZusaetzlich", "Ausgabe", [](auto& s) { return Str(s.SaveXml); }, "false"},
        {"InGesendeteSpeichern=true", "Graph", [](auto& s) { return Str(s.MailSaveToSent); }, "true"},
        {"InGesendeteSpeichern=$0", "Graph", [](auto& s) { return Str(s.MailSaveToSent); }, "false"},
        {"MaxZeilen=0x10", "Datenbank", [](auto& s) { return Str(s.MaxRows); }, "16"},
        {"MaxZeilen=$10", "Datenbank", [](auto& s) { return Str(s.MaxRows); }, "16"},
        {"MaxZeilen=viele", "Datenbank", [](auto& s) { return Str(s.MaxRows); }, "1000"},
        {"MaxZeilen=1.5", "Datenbank", [](auto& s) { return Str(s.MaxRows); }, "1000"},
        {"MaxZeilen=99999999999", "Datenbank", [](auto& s) { return Str(s.MaxRows); }, "1000"},
        {"CMNMHerkunftsart=", "EMail", [](auto& s) { return Str(s.CmnmSourceType); }, "1"},
        {"LogoBreiteMm=42,5", "PDF", [](auto& s) { return Str(s.LogoWidthMm); }, Str(50.0)},
        {"LogoBreiteMm=42.5", "PDF", [](auto& s) { return Str(s.LogoWidthMm); }, Str(42.5)},
        {"LogoBreiteMm=1e2", "PDF", [](auto& s) { return Str(s.LogoWidthMm); }, Str(50.0)},
        {"LogoBreiteMm=", "PDF", [](auto& s) { return Str(s.LogoWidthMm); }, Str(50.0)},
        {"Format=html", "Graph", [](auto& s) { return Str(s.MailHtml); }, "true"},
        {"Format=HTML  ", "Graph", [](auto& s) { return Str(s.MailHtml); }, "true"},
        {"Format=Text", "Graph", [](auto& s) { return Str(s.MailHtml); }, "false"},
        {"Format=XHTML", "Graph", [](auto& s) { return Str(s.MailHtml); }, "false"},
        {"Format=", "Graph", [](auto& s) { return Str(s.MailHtml); }, "false"},
        {"Andere=1", "Graph", [](auto& s) { return Str(s.MailHtml); }, "true"},
    };
    for (const auto& c : cases) {
        WriteIni(std::string("[") + c.Section + "]\n" + c.Line + "\n");
        TSettings s(IniPath());
        EXPECT_EQ(c.Field(s), c.Expected) << c.Line;
    }
}

TEST_F(Settings, MailTextLineBreaksBothWays) {
    WriteIni("[Graph]\nText=Zeile 1\\n\\nZeile 3\\n\n");
    TSettings s(IniPath());
    EXPECT_EQ(s.MailBody, "Zeile 1\r\n\r\nZeile 3\r\n");

    s.MailBody = "Eins\r\n\r\nZwei\nDrei\rVier";
    s.SaveMailSettings();
    EXPECT_NE(IniText().find("\nText=Eins\\n\\nZwei\\nDrei\\nVier\n"), std::string::npos) << IniText();
    TSettings back(IniPath());
    EXPECT_EQ(back.MailBody, "Eins\r\n\r\nZwei\r\nDrei\r\nVier");
}

// What the user wrote stays: comments, "#" notes, blank lines, unknown keys and
// sections, order, a repeated section, line ends and the missing byte-order mark; only
// the saved keys change or are added where the reader looks for them.
TEST_F(Settings, SavingUserValuesChangesOnlyTheirLines) {
    WriteIni(
        "; Hand bearbeitet\r\n"
        "[Ausgabe]\r\n"
        "; alter Ordner\r\n"
        "Ordner=/alt\r\n"
        "Dateiname=RE_%s\r\n"
        "\r\n"
        "[Eigenes]\r\n"
        "Wert = mit = Zeichen\r\n"
        "# Notiz\r\n"
        "[Datenbank]\r\n"
        "Server=sql1\r\n"
        "[Ausgabe]\r\n"
        "Ordner=/zweiter Abschnitt\r\n");
    TSettings s(IniPath());
    s.Company = "CRONUS AG";
    s.OutDir = "/neu";
    s.SaveXml = true;
    s.OpenPdf = false;
    s.Skin = "Hell";
    s.SaveUserValues();
    EXPECT_EQ(IniText(),
              "; Hand bearbeitet\r\n"
              "[Ausgabe]\r\n"
              "; alter Ordner\r\n"
              "Ordner=/neu\r\n"
              "Dateiname=RE_%s\r\n"
              "XmlZusaetzlich=1\r\n"
              "PdfOeffnen=0\r\n"
              "\r\n"
              "[Eigenes]\r\n"
              "Wert = mit = Zeichen\r\n"
              "# Notiz\r\n"
              "[Datenbank]\r\n"
              "Server=sql1\r\n"
              "Mandant=CRONUS AG\r\n"
              "[Ausgabe]\r\n"
              "Ordner=/zweiter Abschnitt\r\n"
              "\r\n"
              "[Darstellung]\r\n"
              "Skin=Hell\r\n"
              "NurNichtVersendete=0\r\n"
              "NurMitBefund=0\r\n");
    TSettings back(IniPath());
    EXPECT_EQ(back.OutDir, "/neu");
    EXPECT_EQ(back.Company, "CRONUS AG");
    EXPECT_TRUE(back.SaveXml);
    EXPECT_EQ(back.Skin, "Hell");
}

// The rewrite that moves a plain secret into the protected key runs on every load: it
// must leave the rest of a hand-written file exactly as it was.
TEST_F(Settings, SecretMigrationKeepsEverythingElseOfTheFile) {
    const std::string before =
        std::string(kBom) +
        "; Velkaro – von Hand gepflegt\r\n"
        "[Graph]\r\n"
        "# Konto der Buchhaltung\r\n"
        "ClientID=c\r\n"
        "ClientSecret=klartext\r\n"
        "Absender=rechnung@muster.de\r\n"
        "\r\n"
        "[Verkaeufer]\r\n"
        "IBAN=DE02120300000000202051\r\n"
        "[Verkaeufer]\r\n"
        "Telefon=0228 123\r\n"
        "[Unbekannt]\r\n"
        "Schluessel=Wert\r\n";
    WriteIni(before);
    TSettings s(IniPath());
    EXPECT_EQ(s.GraphSecret, "klartext");
    const std::string after = IniText();
    const std::string stored = GraphValue(after, "ClientSecretGeschuetzt");
    ASSERT_FALSE(stored.empty());
    EXPECT_EQ(after, ReplaceAll(before, "ClientSecret=klartext\r\nAbsender=rechnung@muster.de\r\n",
                                "Absender=rechnung@muster.de\r\nClientSecretGeschuetzt=" + stored + "\r\n"));
    EXPECT_EQ(TSettings(IniPath()).GraphSecret, "klartext");
}

TEST_F(Settings, SecretRoundTripsProtectedThroughSaveMailSettings) {
    WriteIni("[Graph]\nClientSecret=\n");
    TSettings s(IniPath());
    s.GraphTenant = "tenant";
    s.GraphClientId = "client";
    s.GraphSecret = "Sup3r~Geheim=/+";
    s.MailHtml = false;
    s.MailBodyHtml = "<p>Hallo ä</p>";
    s.MailSignatureHtml = "<p>Gruß</p>";
    s.SaveMailSettings();

    std::string text = IniText();
    EXPECT_EQ(text.find("Sup3r~Geheim"), std::string::npos);
    EXPECT_EQ(text.find("ClientSecret="), std::string::npos);
    // The file's own LF line ends and its missing byte-order mark stay.
    EXPECT_EQ(text, "[Graph]\nMandantenID=tenant\nClientID=client\nClientSecretGeschuetzt=" +
                        GraphValue(text, "ClientSecretGeschuetzt") +
                        "\nAbsender=\nBcc=\nAntwortadresse=\nTestempfaenger=\nInGesendeteSpeichern=1\n"
                        "XmlZusaetzlichAnhaengen=0\nBetreff={Belegart} {Nr} vom {Datum}\nText=" +
                        ReplaceAll(s.MailBody, "\r\n", "\\n") + "\nFormat=Text\n");
    EXPECT_TRUE(Base64Decode(GraphValue(text, "ClientSecretGeschuetzt")).has_value());
    EXPECT_EQ(ReadFileBytes(s.MailBodyHtmlFile), std::string(kBom) + "<p>Hallo ä</p>");

    TSettings back(IniPath());
    EXPECT_EQ(back.GraphSecret, "Sup3r~Geheim=/+");
    EXPECT_EQ(back.GraphTenant, "tenant");
    EXPECT_FALSE(back.MailHtml);
    EXPECT_EQ(back.MailBodyHtml, "<p>Hallo ä</p>");
    EXPECT_EQ(back.MailSignatureHtml, "<p>Gruß</p>");

    // Another user (another key) reads an empty secret, silently.
    test::TempFolder otherHome;
    test::ScopedEnv other("XDG_CONFIG_HOME", otherHome.Path().c_str());
    TSettings foreign(IniPath());
    EXPECT_EQ(foreign.GraphSecret, "");
    EXPECT_EQ(foreign.GraphTenant, "tenant");
}

TEST_F(Settings, PlainSecretIsMigratedToTheProtectedKey) {
    WriteIni("[Graph]\nClientID=c\nClientSecret=klartext\nAbsender=a@x.de\n");
    TSettings s(IniPath());
    EXPECT_EQ(s.GraphSecret, "klartext");
    std::string text = IniText();
    EXPECT_EQ(text.find("klartext"), std::string::npos);
    EXPECT_EQ(text.find("ClientSecret="), std::string::npos);
    EXPECT_NE(text.find("ClientSecretGeschuetzt="), std::string::npos);
    EXPECT_EQ(TSettings(IniPath()).GraphSecret, "klartext");
}

TEST_F(Settings, PlainSecretStaysWhenItCannotBeProtected) {
    WriteIni("[Graph]\nClientSecret=klartext\n");
    WriteFileBytes(FHome.File("velkaro"), "kein Ordner");  // the key cannot be created
    TSettings s(IniPath());
    EXPECT_EQ(s.GraphSecret, "klartext");
    EXPECT_EQ(IniText(), "[Graph]\nClientSecret=klartext\n");
    EXPECT_EQ(s.GraphSecretWarning.rfind("Das Client-Secret steht ungeschützt in der Einstellungsdatei \"" +
                                             IniPath() + "\" ([Graph] ClientSecret), weil es nicht geschützt werden "
                                             "konnte: Der Schlüssel",
                                         0),
              0u)
        << s.GraphSecretWarning;
    EXPECT_NE(s.GraphSecretWarning.find("Abhilfe: VELKARO_SCHLUESSEL"), std::string::npos) << s.GraphSecretWarning;

    // Once a key can be made, the next load protects it and the warning is gone.
    test::TempFolder keys;
    test::ScopedEnv key("VELKARO_SCHLUESSEL", keys.File("velkaro.key").c_str());
    TSettings again(IniPath());
    EXPECT_EQ(again.GraphSecretWarning, "");
    EXPECT_EQ(IniText().find("klartext"), std::string::npos);
}

// The nightly job's account cannot read what the administrator protected: the settings
// say exactly that and how to set it up, for each reason.
TEST_F(Settings, SecretOfAnotherAccountIsExplained) {
    test::TempFolder keys;
    const std::string admin = keys.File("admin.key"), job = keys.File("job.key");
    {
        test::ScopedEnv env("VELKARO_SCHLUESSEL", admin.c_str());
        WriteIni("; Kommentar\n[Graph]\nClientSecret=geheim\n");
        EXPECT_EQ(TSettings(IniPath()).GraphSecret, "geheim");
        EXPECT_EQ(TSettings(IniPath()).GraphSecretProblem, "");
    }
    const std::string user = CurrentUserName();
    const std::string head = "Das gespeicherte Client-Secret ([Graph] ClientSecretGeschuetzt) kann vom Benutzer \"" + user +
                             "\" nicht entschlüsselt werden. ";
    // Root reads only root's key: storing the secret again as root would not help a
    // service account, so root is told to work as that account (runuser, as sudo is
    // often missing on a server).
    const std::string remedy =
        geteuid() == 0
            ? " Abhilfe: gehört das Secret einem Dienstkonto (etwa velkaro), als dieses prüfen und speichern: "
              "\"runuser -u velkaro -- velkaro /pruefen\" und \"runuser -u velkaro -- velkaro /geheimnis\"; oder "
              "VELKARO_SCHLUESSEL auf die Schlüsseldatei setzen, mit der es geschützt wurde."
            : " Abhilfe: als Benutzer \"" + user + "\" \"velkaro /geheimnis\" ausführen (als root für dieses Konto: "
              "\"runuser -u " + user + " -- velkaro /geheimnis\") und das Secret neu eingeben, oder VELKARO_SCHLUESSEL "
              "auf die Schlüsseldatei setzen, mit der es geschützt wurde.";
    EXPECT_EQ(remedy.find("sudo"), std::string::npos);
    test::ScopedEnv env("VELKARO_SCHLUESSEL", job.c_str());
    TSettings noKey(IniPath());
    EXPECT_EQ(noKey.GraphSecret, "");
    EXPECT_EQ(noKey.GraphSecretProblem, head +
                                            "Es wurde von einem anderen Benutzer oder mit einer anderen Schlüsseldatei "
                                            "geschützt; dieser Benutzer hat keinen Schlüssel (\"" + job + "\" fehlt)." +
                                            remedy);
    ProtectData("eigener Schlüssel");
    EXPECT_EQ(TSettings(IniPath()).GraphSecretProblem,
              head + "Es wurde von einem anderen Benutzer oder mit einer anderen Schlüsseldatei geschützt; der Schlüssel "
                     "dieses Benutzers (\"" + job + "\") ist ein anderer." + remedy);
    // A key file open to others (copied with 0644): the remedy is its mode; entering the
    // secret anew would be refused for the same reason.
    {
        const std::string stored = ReadFileBytes(IniPath());
        WriteIni("[Graph]\nClientSecretGeschuetzt=" + TSettings::ProtectSecret("s") + "\n");
        ASSERT_EQ(chmod(job.c_str(), 0644), 0);
        const std::string problem = TSettings(IniPath()).GraphSecretProblem;
        EXPECT_TRUE(problem.ends_with("(Rechte 0644). Nur der eigene Benutzer darf Zugriff haben. Abhilfe: chmod 600 \"" +
                                      job + "\").")) << problem;
        EXPECT_EQ(problem.find("neu eingeben"), std::string::npos) << problem;
        ASSERT_EQ(chmod(job.c_str(), 0600), 0);
        EXPECT_EQ(TSettings(IniPath()).GraphSecretProblem, "");
        WriteIni(stored);
    }
    WriteIni("[Graph]\nClientSecretGeschuetzt=kein-base64!\n");
    EXPECT_EQ(TSettings(IniPath()).GraphSecretProblem, head + "Der gespeicherte Wert ist beschädigt." + remedy);
    WriteIni("[Graph]\nClientSecretGeschuetzt=\n");
    EXPECT_EQ(TSettings(IniPath()).GraphSecretProblem, "");
}

// "/geheimnis" stores into the file as it is; what is stored reads back for the same
// key only.
TEST_F(Settings, StoredSecretReadsBackAndKeepsTheFile) {
    const std::string before = "; Dienstkonto\r\n[Graph]\r\nClientID=c\r\nClientSecret=alt\r\n; Ende\r\n";
    WriteIni(before);
    StoreGraphSecret(IniPath(), "neu~Geheim");
    const std::string after = IniText();
    EXPECT_EQ(after, ReplaceAll(before, "ClientSecret=alt\r\n",
                                "ClientSecretGeschuetzt=" + GraphValue(after, "ClientSecretGeschuetzt") + "\r\n"));
    EXPECT_EQ(TSettings(IniPath()).GraphSecret, "neu~Geheim");

    test::TempFolder keys;
    test::ScopedEnv env("VELKARO_SCHLUESSEL", keys.File("fehlt/x.key").c_str());
    EXPECT_NE(test::ErrorOf([&] { StoreGraphSecret(IniPath(), "anders"); }).find("fehlt"), std::string::npos);
    EXPECT_EQ(IniText(), after) << "nothing written when it cannot be protected";
}

// The migration rewrites a file that holds passwords: it must stay as private as it
// was, and a linked settings file must not keep the plain secret behind the link.
TEST_F(Settings, MigrationKeepsTheFileRightsAndWritesThroughALink) {
    const std::string real = FDir.File("echt.ini");
    WriteFileBytes(real, "[Datenbank]\nPasswort=geheim\n[Graph]\nClientSecret=klartext\n");
    ASSERT_EQ(chmod(real.c_str(), 0600), 0);
    std::filesystem::create_symlink("echt.ini", IniPath());
    TSettings s(IniPath());
    EXPECT_EQ(s.GraphSecret, "klartext");
    EXPECT_TRUE(std::filesystem::is_symlink(IniPath()));
    struct stat st {};
    ASSERT_EQ(stat(real.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0600u);
    std::string text = ReadFileBytes(real);
    EXPECT_EQ(text.find("klartext"), std::string::npos) << text;
    EXPECT_NE(text.find("ClientSecretGeschuetzt="), std::string::npos) << text;
    EXPECT_EQ(TSettings(IniPath()).GraphSecret, "klartext");
}

TEST_F(Settings, DamagedProtectedSecretReadsEmpty) {
    const std::string values[] = {
        "kein base64!",
        "QUJD",  // valid Base64, no blob
        Base64Encode(std::string("\x01") + std::string(40, 'x')),
        TSettings::ProtectSecret("gut").substr(0, 20),
        "====",
    };
    for (const auto& value : values) {
        WriteIni("[Graph]\nClientSecretGeschuetzt=" + value + "\n");
        EXPECT_EQ(TSettings(IniPath()).GraphSecret, "") << value;
        EXPECT_EQ(TSettings::UnprotectSecret(value), "") << value;
    }
    EXPECT_EQ(TSettings::ProtectSecret(""), "");
    EXPECT_EQ(TSettings::UnprotectSecret(""), "");
    EXPECT_EQ(TSettings::UnprotectSecret(TSettings::ProtectSecret("gut")), "gut");
}

TEST_F(Settings, ProtectionFailureInSaveMailSettingsLeavesTheFileAlone) {
    WriteIni("[Graph]\nAbsender=alt@x.de\n");
    TSettings s(IniPath());
    s.GraphSecret = "neu";
    s.MailSender = "neu@x.de";
    WriteFileBytes(FHome.File("velkaro"), "kein Ordner");
    EXPECT_THROW(s.SaveMailSettings(), Exception);
    EXPECT_EQ(IniText(), "[Graph]\nAbsender=alt@x.de\n");
    EXPECT_FALSE(FileExists(s.MailBodyHtmlFile));
}

TEST_F(Settings, ConnectionStringForSqlLoginAndIntegratedSecurity) {
    WriteIni("[Datenbank]\nServer=sql\\inst\nDatenbank=NAV\nBenutzer=nav\nPasswort=p;w\nProvider=MSOLEDBSQL\n");
    TSettings s(IniPath());
    EXPECT_EQ(s.ConnectionString(),
              "Provider=MSOLEDBSQL;Data Source=sql\\inst;Initial Catalog=NAV;User ID=nav;Password=p;w;"
              "Persist Security Info=True");
    s.User.clear();
    EXPECT_EQ(s.ConnectionString(), "Provider=MSOLEDBSQL;Data Source=sql\\inst;Initial Catalog=NAV;Integrated Security=SSPI");
}

TEST_F(Settings, CodeMapSectionsAddReplaceAndRemove) {
    WriteIni(
        "[Einheiten]\n"
        "  kiste  =  XBX  \n"
        "STK=\n"         // removes the built-in entry
        "KISTE=XCR\n"    // replaces the entry above
        "[Laender]\n"
        "ÖS=AT\n"
        "[Leitweg]\n"
        "10000=991-12345-67\n"
        "=ignoriert\n"
        "20000=04011000-1234512345-06\n"
        "[Leitweg]\n"
        "30000=nur im zweiten Abschnitt\n");
    {
        TSettings plain(FDir.File("ohne.ini"));
        ASSERT_TRUE(plain.FUnits.Contains("STK"));  // built in
    }
    TSettings s(IniPath());
    EXPECT_FALSE(s.FUnits.Contains("STK"));
    EXPECT_EQ(s.FUnits.Value("Kiste"), "XCR");
    EXPECT_EQ(s.FUnits[s.FUnits.Count() - 1].first, "kiste");  // appended once, in file order
    EXPECT_EQ(s.FCountries.Value("ös"), "AT");
    ASSERT_EQ(s.FLeitweg.Count(), 2u);
    EXPECT_EQ(s.FLeitweg.Value("10000"), "991-12345-67");
    EXPECT_EQ(s.FLeitweg.Value("20000"), "04011000-1234512345-06");
    EXPECT_FALSE(s.FLeitweg.Contains("30000"));

    // A reload starts the maps afresh.
    WriteIni("[Leitweg]\n40000=1\n");
    s.Load();
    EXPECT_TRUE(s.FUnits.Contains("STK"));
    EXPECT_FALSE(s.FUnits.Contains("KISTE"));
    ASSERT_EQ(s.FLeitweg.Count(), 1u);
    EXPECT_EQ(s.FLeitweg.Value("40000"), "1");
}

TEST_F(Settings, UnwritableSettingsFileRunsOnWithDefaultsAndSavesRaise) {
    const std::string targets[] = {FDir.File("fehlt/velkaro.ini"), FDir.Path()};
    for (const auto& path : targets) {
        SCOPED_TRACE(path);
        TSettings s(path);  // the first-run write fails silently
        EXPECT_EQ(s.Server, "localhost");
        EXPECT_FALSE(FileExists(path));
        try {
            s.SaveUserValues();
            FAIL() << "no error";
        } catch (const Exception& e) {
            EXPECT_NE(std::string(e.what()).find("kann nicht"), std::string::npos) << e.what();
        }
        EXPECT_THROW(s.SaveMailSettings(), Exception);
    }
}

TEST_F(Settings, CreatesAndLoadsTheLayoutWithTheLogo) {
    WriteIni("[PDF]\nLogo=/x/logo.png\n");
    WriteFileBytes(FDir.File("velkaro.layout.ini"), "[Element.Logo]\nX=12.5\n");
    TSettings s(IniPath());
    ASSERT_TRUE(s.Layout);
    TLayoutElement* logo = s.Layout->Find(ekLogo);
    ASSERT_NE(logo, nullptr);
    EXPECT_EQ(logo->FileName, "/x/logo.png");
    EXPECT_TRUE(logo->Visible);
    EXPECT_DOUBLE_EQ(logo->X, 12.5);
}

// A scheduled job starts in another folder than the settings file's: relative paths of
// the settings and of the layout file still mean the files beside them.
TEST_F(Settings, RelativePathsLieBesideTheSettingsFileFromAnyWorkingFolder) {
    WriteIni("[Ausgabe]\nOrdner=Ausgabe/2024\n[PDF]\nLogo=bilder/logo.png\nICCProfil=sRGB.icc\n"
             "[Graph]\nCaZertifikate=/etc/ssl/ca.pem\n");
    WriteFileBytes(FDir.File("velkaro.layout.ini"),
                   "[Hintergrund]\nSeite1=papier.png\nFolgeseiten=/abs/folge.png\n[Element.Logo]\nDatei=anders.png\n");
    test::TempFolder elsewhere;
    const std::filesystem::path before = std::filesystem::current_path();
    std::filesystem::current_path(elsewhere.Path());
    TSettings s(IniPath());
    std::filesystem::current_path(before);

    EXPECT_EQ(s.OutDir, FDir.Path() + "Ausgabe/2024");
    EXPECT_EQ(s.LogoFile, FDir.Path() + "bilder/logo.png");
    EXPECT_EQ(s.IccFile, FDir.Path() + "sRGB.icc");
    EXPECT_EQ(s.GraphCaBundle, "/etc/ssl/ca.pem");  // absolute stays
    // The layout keeps its names as written (its file round-trips); printing and the
    // designer find them beside the settings file.
    EXPECT_EQ(s.Layout->BackgroundFirst, "papier.png");
    EXPECT_EQ(PathBeside(ExtractFilePath(s.FFileName), s.Layout->BackgroundFirst), FDir.Path() + "papier.png");
    EXPECT_EQ(PathBeside(ExtractFilePath(s.FFileName), s.Layout->BackgroundFollow), "/abs/folge.png");

    // Saving the user's values keeps the folder as written unless it was changed.
    s.SaveUserValues();
    EXPECT_EQ(TIniFile::FromText(IniText()).ReadString("Ausgabe", "Ordner", ""), "Ausgabe/2024");
    s.OutDir = "/srv/rechnungen";
    s.SaveUserValues();
    EXPECT_EQ(TIniFile::FromText(IniText()).ReadString("Ausgabe", "Ordner", ""), "/srv/rechnungen");
}

TEST_F(Settings, DefaultHtmlTemplatesWithoutTemplateFiles) {
    TSettings s(IniPath());
    EXPECT_TRUE(s.MailBodyHtml.starts_with("<p>Sehr geehrte Damen und Herren,</p>\r\n<p>anbei"));
    EXPECT_TRUE(s.MailBodyHtml.ends_with("</p>\r\n{Signatur}"));
    EXPECT_EQ(Split(ReplaceAll(s.MailBodyHtml, "\r\n", "\n"), '\n').size(), 6u);
    EXPECT_EQ(Split(ReplaceAll(s.MailSignatureHtml, "\r\n", "\n"), '\n').size(), 8u);
    EXPECT_NE(s.MailSignatureHtml.find("{Strasse} \xC2\xB7 {PLZ} {Ort}<br>"), std::string::npos);
    EXPECT_TRUE(s.MailSignatureHtml.ends_with("{Handelsregister}\r\n</p>"));
}

TEST_F(Settings, TemplateFilesAreReadInTheirDeclaredEncoding) {
    WriteFileBytes(FDir.File("velkaro.mailtext.htm"),
                   "<meta charset=\"windows-1252\"><p>Gr\xFC\xDF" "e</p>");
    WriteFileBytes(FDir.File("velkaro.signatur.htm"), std::string(kBom) + "<p>Grüße</p>");
    TSettings s(IniPath());
    EXPECT_EQ(s.MailBodyHtml, "<meta charset=\"windows-1252\"><p>Grüße</p>");
    EXPECT_EQ(s.MailSignatureHtml, "<p>Grüße</p>");
}

TEST_F(Settings, BadFilesGiveDefaultsWithoutCrashing) {
    const std::string huge(5 * 1024 * 1024, 'A');
    const std::string files[] = {
        "",
        std::string(kBom),
        "[Datenbank]\nServer" + huge + "\n[Ausgabe]\nOrdner=" + huge + "\n",
        "; nur\n; Kommentare\n",
        "[Datenbank]\nohne Gleichheitszeichen\nMaxZeilen\n",
    };
    for (const auto& bytes : files) {
        WriteIni(bytes);
        TSettings s(IniPath());
        EXPECT_EQ(s.Server, "localhost");
        EXPECT_EQ(s.MaxRows, 1000);
        EXPECT_EQ(s.Skin, "Dunkel");
        EXPECT_TRUE(s.MailHtml);
        EXPECT_EQ(IniText(), bytes);  // an existing file is not rewritten by loading
    }
    // Bytes that are no UTF-8 are read as Windows-1252.
    WriteIni("[Datenbank]\nServer=sql\xFF\xFE" "1\nDatenbank=\xC3\n");
    TSettings s(IniPath());
    EXPECT_EQ(s.Server, "sqlÿþ1");
    EXPECT_EQ(s.Database, "Ã");
}

// Where the file layer cannot read or open files for another user (root ignores file
// rights), the test runs with the file rights of "nobody" for a while.
class ScopedFileUser {
public:
    explicit ScopedFileUser(uid_t uid) : FOld(static_cast<uid_t>(setfsuid(uid))) {}
    ~ScopedFileUser() { setfsuid(FOld); }
    ScopedFileUser(const ScopedFileUser&) = delete;
    ScopedFileUser& operator=(const ScopedFileUser&) = delete;
    static bool Possible() { return geteuid() == 0; }

private:
    uid_t FOld;
};

struct UnreadableCase {
    const char* Name;
    std::string Bytes;
    const char* Problem;
};

// A settings file that exists but cannot be read must stop the program instead of
// giving defaults: saving would otherwise replace the user's file by a few keys.
TEST_F(Settings, UnreadableFileRaisesNamingTheFileAndIsNeverWritten) {
    std::mt19937 random(815);
    std::string garbage(64 * 1024, '\0');
    for (char& c : garbage) c = static_cast<char>(random() & 0xFF);
    const UnreadableCase cases[] = {
        {"utf-16le", std::string("\xFF\xFE[\0G\0r\0a\0p\0h\0]\0\r\0\n\0", 18), "UTF-16"},
        {"utf-16be", std::string("\xFE\xFF\0[\0G\0]\0\r\0\n", 12), "UTF-16"},
        {"utf-16 without mark", std::string("[\0G\0]\0\r\0\n\0", 10), "keine Textdatei"},
        {"binary", garbage, "keine Textdatei"},
        {"control bytes", "[Graph]\r\nClientSecret=\x01\x02\x03\r\n", "keine Textdatei"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        WriteIni(c.Bytes);
        std::string error = test::ErrorOf([&] { TSettings s(IniPath()); });
        EXPECT_NE(error.find("\"" + IniPath() + "\""), std::string::npos) << error;
        EXPECT_NE(error.find(c.Problem), std::string::npos) << error;
        EXPECT_EQ(IniText(), c.Bytes);
    }

    // A file that turned unreadable after loading: neither a reload nor a save touch it.
    WriteIni("[Datenbank]\nServer=sql1\n[Graph]\nClientSecret=klartext\n");
    TSettings s(IniPath());
    WriteIni(cases[0].Bytes);
    EXPECT_NE(test::ErrorOf([&] { s.Load(); }).find("UTF-16"), std::string::npos);
    EXPECT_EQ(s.Server, "sql1");  // the failed reload left the values as they were
    EXPECT_EQ(s.GraphSecret, "klartext");
    EXPECT_NE(test::ErrorOf([&] { s.SaveUserValues(); }).find("UTF-16"), std::string::npos);
    EXPECT_NE(test::ErrorOf([&] { s.SaveMailSettings(); }).find("UTF-16"), std::string::npos);
    EXPECT_EQ(IniText(), cases[0].Bytes);
    EXPECT_FALSE(FileExists(s.MailBodyHtmlFile));
}

TEST_F(Settings, FileWithoutReadRightsRaisesWithTheSystemText) {
    if (!ScopedFileUser::Possible()) VELKARO_SKIP_UNLESS_CI() << "needs root to take the file rights of another user";
    const std::string original = "[Datenbank]\nServer=sql1\n";
    WriteIni(original);
    ASSERT_EQ(chmod(IniPath().c_str(), 0600), 0);
    const std::string denied = std::system_category().message(EACCES);
    {
        // The folder may not even be searched: the file may still be there.
        ScopedFileUser nobody(65534);
        EXPECT_EQ(test::ErrorOf([&] { TSettings s(IniPath()); }),
                  "Datei \"" + IniPath() + "\" kann nicht geöffnet werden (" + denied + ").");
    }
    ASSERT_EQ(chmod(FDir.Path().c_str(), 0755), 0);
    {
        ScopedFileUser nobody(65534);
        EXPECT_EQ(test::ErrorOf([&] { TSettings s(IniPath()); }),
                  "Datei \"" + IniPath() + "\" kann nicht geöffnet werden (" + denied + ").");
    }
    EXPECT_EQ(IniText(), original);
}

TEST_F(Settings, Windows1252FileIsReadWithAHintAndRewrittenAsUtf8) {
    WriteIni("[Verkaeufer]\r\nGeschaeftsfuehrer=J\xFCrgen M\xFCller\r\nBank=Stra\xDF" "e \x80\r\n"
             "[Graph]\r\nClientSecret=G\xE9heim\r\n");
    TSettings s(IniPath());
    EXPECT_EQ(s.Management, "Jürgen Müller");
    EXPECT_EQ(s.BankName, "Straße €");
    EXPECT_EQ(s.GraphSecret, "Géheim");
    EXPECT_NE(s.LoadHint.find("\"" + IniPath() + "\""), std::string::npos) << s.LoadHint;
    EXPECT_NE(s.LoadHint.find("Windows-1252"), std::string::npos) << s.LoadHint;
    // The migration of the plain secret rewrote the file: UTF-8 now, nothing lost.
    std::string text = IniText();
    EXPECT_TRUE(text.starts_with(kBom));
    EXPECT_NE(text.find("\r\nGeschaeftsfuehrer=Jürgen Müller\r\nBank=Straße €\r\n"), std::string::npos) << text;
    TSettings again(IniPath());
    EXPECT_EQ(again.LoadHint, "");
    EXPECT_EQ(again.GraphSecret, "Géheim");
    EXPECT_EQ(again.Management, "Jürgen Müller");

    // Saving the user values of a Windows-1252 file keeps its other values intact.
    WriteIni("[Verkaeufer]\r\nGeschaeftsfuehrer=J\xFCrgen\r\n");
    TSettings user(IniPath());
    user.SaveUserValues();
    EXPECT_NE(IniText().find("\r\nGeschaeftsfuehrer=Jürgen\r\n"), std::string::npos) << IniText();
}

TEST_F(Settings, Utf8FilesGiveNoHint) {
    for (const std::string& bytes : {std::string(kBom) + "[Verkaeufer]\nBank=Straße\n", std::string("[A]\nx=ä\n")}) {
        WriteIni(bytes);
        TSettings s(IniPath());
        EXPECT_EQ(s.LoadHint, "");
    }
}

} // namespace
} // namespace velkaro
