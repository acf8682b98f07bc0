// "velkaro /pruefen" on the demo database and the local fake of Microsoft 365: what it
// reports for each kind of broken settings file, and that it never writes anything.
#include "app/settings_probe.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <set>

#include "config/settings.h"
#include "demo_mail_setup.h"
#include "fake_graph_service.h"
#include "generate_demo_setup.h"
#include "platform/error.h"
#include "platform/files.h"
#include "platform/secret_store.h"
#include "platform/text.h"
#include "support/test_support.h"

namespace velkaro {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

// Every file below a folder with its content: what a check must leave as it was.
std::map<std::string, std::string> Snapshot(const std::string& folder) {
    std::map<std::string, std::string> files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder))
        files[entry.path().string()] = entry.is_regular_file() ? ReadFileBytes(entry.path().string()) : "";
    return files;
}

class SettingsProbe : public ::testing::Test {
protected:
    TSettingsProbe Probe() {
        const auto before = Snapshot(Dir.Path());
        TSettingsProbe probe = ProbeSettings(Ini);
        EXPECT_EQ(Snapshot(Dir.Path()), before) << "the check changed files";
        return probe;
    }
    test::TempFolder Home;
    test::ScopedEnv Xdg{"XDG_CONFIG_HOME", Home.Path().c_str()};
    test::TempFolder Dir;
    std::string Ini = Dir.File("velkaro.ini");
};

TEST_F(SettingsProbe, DemoSettingsAreCleanAndReportEveryCheck) {
    test::WriteProductionSettings(Ini, test::DemoDatabase(), Dir.File("Ausgabe"));
    const TSettingsProbe probe = Probe();
    EXPECT_TRUE(probe.AllWell) << probe.Report;
    const std::vector<std::string> lines = Split(probe.Report, '\n');
    ASSERT_GE(lines.size(), 8u);
    EXPECT_EQ(lines[0], "Prüfung der Einstellungen " + Ini);
    EXPECT_EQ(lines[1], "Einstellungsdatei: in Ordnung");
    EXPECT_EQ(lines[2], "Datenordner: " + Dir.Path() + " (beschreibbar)");
    EXPECT_EQ(lines[3], "Ausgabe: " + Dir.File("Ausgabe/") + " (beschreibbar)");
    EXPECT_EQ(lines[4], "Datenbank: verbunden mit " + test::DemoDatabase() + ", 2 Mandanten (Muster GmbH, " +
                            test::kSecondCompany + ")");
    EXPECT_THAT(probe.Report, HasSubstr("\n  NAV-Version   : "));
    EXPECT_THAT(probe.Report, HasSubstr("\nE-Mail: nicht eingerichtet"));
    EXPECT_THAT(probe.Report, HasSubstr("\nGeheimnis: kein geschütztes Client-Secret gespeichert\n"));
    EXPECT_TRUE(probe.Report.ends_with("\nErgebnis: alles in Ordnung\n")) << probe.Report;
}

// A database in Business Central naming: the product from the installed Base Application;
// a company that lacks tables fails the check, named with what is missing.
TEST_F(SettingsProbe, BusinessCentralDatabaseAndIncompleteCompany) {
    test::WriteProductionSettings(Ini, test::BcDemoDatabase(), Dir.File("Ausgabe"));
    TSettingsProbe probe = Probe();
    EXPECT_TRUE(probe.AllWell) << probe.Report;
    EXPECT_THAT(probe.Report, HasSubstr("\n  NAV-Version   : Business Central 23.5 (Build 16502)\n"));

    const std::string copy = Dir.File("unvollstaendig.db");
    WriteFileBytes(copy, ReadFileBytes(test::BcDemoDatabase()));
    test::RunSqlite(copy, "DROP TABLE \"Muster GmbH$Unit of Measure$437dbf0e-84ff-417a-965d-ed2bb9650972\";");
    test::WriteProductionSettings(Ini, copy, Dir.File("Ausgabe"));
    probe = Probe();
    EXPECT_FALSE(probe.AllWell);
    EXPECT_THAT(probe.Report, HasSubstr(", 2 Mandanten (Muster GmbH, Nordwind Handels GmbH) – Die Tabellen des "
                                        "Mandanten „Muster GmbH“ sind unvollständig (Business-Central-Benennung mit "
                                        "App-ID). Es fehlt die Tabelle „Unit of Measure“.\n"));
}

struct TBroken {
    const char* Name;
    std::vector<test::TIniValue> Changes;
    std::vector<std::string> Expected;  // lines of the report that must be there
};

TEST_F(SettingsProbe, BrokenSettingsAreReportedOneLineEachAndFail) {
    const std::vector<TBroken> cases = {
        {"umlaut section", {{"Verkäufer", "IBAN", "DE02 1203 0000 0000 2020 51"}},
         {"Einstellungsdatei: 1 Befund", "unbekannter Abschnitt [Verkäufer] – gemeint ist [Verkaeufer]?",
          "Ergebnis: 1 Problem gefunden"}},
        {"boolean and inline comment",
         {{"Ausgabe", "XmlZusaetzlich", "ja"}, {"Graph", "InGesendeteSpeichern", "1 ; ja"}},
         {"Einstellungsdatei: 2 Befunde", "[Ausgabe] XmlZusaetzlich=ja – erwartet 0 oder 1; so gilt die Vorgabe 0.",
          "[Graph] InGesendeteSpeichern=1 ; ja – ein Kommentar gehört auf eine eigene Zeile",
          "Ergebnis: 2 Probleme gefunden"}},
        {"missing logo", {{"PDF", "Logo", "firmenlogo.png"}},
         {"[PDF] Logo=firmenlogo.png – die Datei " + Dir.File("firmenlogo.png") + " gibt es nicht."}},
        {"unknown company", {{"Datenbank", "Mandant", "Südwind AG"}},
         {"Datenbank: verbunden mit", "– den Mandanten \"Südwind AG\" aus [Datenbank] Mandant gibt es nicht",
          "Ergebnis: 1 Problem gefunden"}},
        {"database file missing", {{"Datenbank", "Datenbank", Dir.File("nirgends/keine.db")}},
         {"Einstellungsdatei: in Ordnung", "Datenbank: FEHLER – "}},
        {"choice", {{"XRechnung", "Verwenden", "manchmal"}},
         {"[XRechnung] Verwenden=manchmal – erlaubt: Leitweg, Immer, Nie.",
          "Einstellungen: FEHLER – Unbekannter Wert „manchmal“"}},
        {"mail half set up", {{"Graph", "Absender", "rechnung@muster-gmbh.de"}},
         {"E-Mail: FEHLER – E-Mail-Einstellungen unvollständig"}},
    };
    for (const TBroken& c : cases) {
        SCOPED_TRACE(c.Name);
        test::WriteProductionSettings(Ini, test::DemoDatabase(), Dir.File("Ausgabe"), c.Changes);
        const TSettingsProbe probe = Probe();
        EXPECT_FALSE(probe.AllWell);
        for (const std::string& line : c.Expected) EXPECT_THAT(probe.Report, HasSubstr(line));
        EXPECT_THAT(probe.Report, Not(HasSubstr("alles in Ordnung")));
    }
}

TEST_F(SettingsProbe, LayoutValuesOutsideTheirBoundsAreProblems) {
    test::WriteProductionSettings(Ini, test::DemoDatabase(), Dir.File("Ausgabe"));
    WriteFileBytes(Dir.File("velkaro.layout.ini"),
                   "[Element.Titel]\r\nSchriftgroesse=" + std::string(301, '9') + "\r\nX=-500\r\n");
    const TSettingsProbe probe = Probe();
    EXPECT_FALSE(probe.AllWell);
    EXPECT_THAT(probe.Report, HasSubstr("\nLayout: 2 Befunde\n  Layoutdatei \"" + Dir.File("velkaro.layout.ini") +
                                        "\", [Element.Titel] X=-500: außerhalb von -210 bis 210, verwendet wird "
                                        "-210.0.\n"));
    EXPECT_THAT(probe.Report, HasSubstr("Schriftgroesse=99999999999999999999… (301 Zeichen): außerhalb von 4 bis 72"));
    EXPECT_THAT(probe.Report, HasSubstr("\nErgebnis: 2 Probleme gefunden"));
}

TEST_F(SettingsProbe, AMissingSettingsFileIsReportedAndNotCreated) {
    const TSettingsProbe probe = Probe();
    EXPECT_FALSE(probe.AllWell);
    EXPECT_THAT(probe.Report, HasSubstr("Einstellungsdatei: FEHLER – " + Ini + " gibt es nicht"));
    EXPECT_FALSE(FileExists(Ini));
}

// Mailing set up: one token request, no mail; the plain secret stays as it is.
TEST_F(SettingsProbe, MailSignInIsTriedWithoutSendingAndAWrongSecretFails) {
    test::TFakeGraphService fake;
    test::WriteDemoMailSettings(Ini, Dir.File("Ausgabe"), fake.BaseUrl());
    ASSERT_EQ(chmod(Ini.c_str(), 0600), 0);  // a secret in clear text: the owner's alone
    TSettingsProbe probe = Probe();
    EXPECT_TRUE(probe.AllWell) << probe.Report;
    EXPECT_THAT(probe.Report, HasSubstr("\nE-Mail: Anmeldung bei Microsoft 365 erfolgreich (Absender " +
                                        std::string(test::kFakeSender) + ")\n"));
    EXPECT_THAT(probe.Report, HasSubstr("\nGeheimnis: das Client-Secret steht im Klartext in der Datei"));
    EXPECT_EQ(fake.TokenRequests(), 1);
    EXPECT_TRUE(fake.Mails().empty());

    test::WriteDemoMailSettings(Ini, Dir.File("Ausgabe"), fake.BaseUrl(), "ClientSecret=falsch\n");
    probe = Probe();
    EXPECT_FALSE(probe.AllWell);
    EXPECT_THAT(probe.Report, HasSubstr("\nE-Mail: FEHLER – "));
    EXPECT_THAT(probe.Report, HasSubstr("Ergebnis: 1 Problem gefunden"));
}

// A secret stored by another account (another key) cannot be read by this one: the
// check says so, beside the sign-in that cannot be tried without it.
TEST_F(SettingsProbe, ASecretThisAccountCannotReadIsNamed) {
    test::TFakeGraphService fake;
    test::WriteDemoMailSettings(Ini, Dir.File("Ausgabe"), fake.BaseUrl());
    std::string stored;
    {
        test::TempFolder otherHome;
        test::ScopedEnv otherXdg("XDG_CONFIG_HOME", otherHome.Path().c_str());
        stored = TSettings::ProtectSecret(test::kFakeSecret);
    }
    WriteFileBytes(Ini, ReplaceAll(ReadFileBytes(Ini), "ClientSecret=" + std::string(test::kFakeSecret),
                                   "ClientSecretGeschuetzt=" + stored));
    TSettingsProbe probe = Probe();
    EXPECT_FALSE(probe.AllWell);
    // The message of the secret's own reading, with the remedy.
    EXPECT_THAT(probe.Report, HasSubstr("\nGeheimnis: FEHLER – Das gespeicherte Client-Secret ([Graph] "
                                        "ClientSecretGeschuetzt) kann vom Benutzer \""));
    EXPECT_THAT(probe.Report, HasSubstr("velkaro /geheimnis"));
    // Without the secret the sign-in cannot even be tried; the mailer says why.
    EXPECT_THAT(probe.Report, HasSubstr("\nE-Mail: FEHLER – Das gespeicherte Client-Secret"));
    EXPECT_EQ(fake.TokenRequests(), 0);

    // Stored with this account's key: readable, and the sign-in works.
    WriteFileBytes(Ini, ReplaceAll(ReadFileBytes(Ini), stored, TSettings::ProtectSecret(test::kFakeSecret)));
    probe = Probe();
    EXPECT_TRUE(probe.AllWell) << probe.Report;
    EXPECT_THAT(probe.Report, HasSubstr("\nGeheimnis: dieses Konto kann das geschützte Client-Secret lesen\n"));
}

// A state or output folder this account cannot write ends every run before its first
// document: the check names it. (A file where a folder would be stops every account,
// root too.)
TEST_F(SettingsProbe, FoldersThisAccountCannotWriteAreProblems) {
    WriteFileBytes(Dir.File("datei"), "");
    test::WriteProductionSettings(Ini, test::DemoDatabase(), Dir.File("datei/pdf"),
                                  {{"Ausgabe", "Datenordner", "datei/zustand"}});
    const TSettingsProbe probe = Probe();
    EXPECT_FALSE(probe.AllWell);
    const std::string user = CurrentUserName();
    EXPECT_THAT(probe.Report, HasSubstr("\nDatenordner: FEHLER – das Konto \"" + user + "\" darf in " +
                                        Dir.File("datei/zustand/") + " nicht schreiben (Sperrdatei, Protokoll, "
                                        "Versandprotokoll). Abhilfe: "));
    EXPECT_THAT(probe.Report, HasSubstr("\nAusgabe: FEHLER – das Konto \"" + user + "\" darf in " +
                                        Dir.File("datei/pdf/") + " nicht schreiben (PDF- und XML-Dateien)."));
    EXPECT_THAT(probe.Report, HasSubstr("Ergebnis: 2 Probleme gefunden"));
}

// Settings in a folder of root's: the check tells the account where its state goes.
TEST_F(SettingsProbe, TheAccountsStateFolderIsSaidInAHint) {
    if (geteuid() != 0) VELKARO_SKIP_UNLESS_CI() << "needs root to run the check as another account";
    test::TempFolder state;
    test::ScopedEnv xdgState("XDG_STATE_HOME", state.Path().c_str());
    test::WriteProductionSettings(Ini, test::DemoDatabase(), Dir.File("Ausgabe"));
    ASSERT_EQ(chmod(Dir.Path().c_str(), 0755), 0);
    ASSERT_EQ(chmod(state.Path().c_str(), 0777), 0);
    const std::string report = test::ErrorOfUnprivileged([&] { throw Exception(ProbeSettings(Ini).Report); });
    EXPECT_THAT(report, HasSubstr("\nDatenordner: " + state.File("velkaro/") + " (beschreibbar)\n  Hinweis: "
                                  "[Ausgabe] Datenordner ist nicht gesetzt und dieses Konto darf im Ordner der "
                                  "Einstellungen " + Dir.Path() + " nicht schreiben: "));
    EXPECT_THAT(report, HasSubstr("\nAusgabe: FEHLER – das Konto \"nobody\" darf in " + Dir.File("Ausgabe/")));
}

// A password or secret in clear text may be read by the accounts that run the program,
// not by every user of the machine.
TEST_F(SettingsProbe, AClearTextSecretReadableByOthersIsAProblem) {
    struct Case {
        const char* Name;
        std::vector<test::TIniValue> Changes;
        unsigned Mode;
        std::string Expected;  // "" when the rights are fine
    };
    const Case cases[] = {
        {"password, 0644", {{"Datenbank", "Passwort", "geheim"}}, 0644,
         "Rechte: FEHLER – die Einstellungsdatei enthält [Datenbank] Passwort im Klartext und ist für alle Benutzer "
         "lesbar (Rechte 0644). Abhilfe: chmod o-rwx \"" + Ini + "\""},
        {"both, 0604", {{"Datenbank", "Passwort", "geheim"}, {"Graph", "ClientSecret", "s"}}, 0604,
         "Rechte: FEHLER – die Einstellungsdatei enthält [Datenbank] Passwort und [Graph] ClientSecret im Klartext"},
        {"password, 0640 for the group of the service", {{"Datenbank", "Passwort", "geheim"}}, 0640, ""},
        {"password, 0600", {{"Datenbank", "Passwort", "geheim"}}, 0600, ""},
        {"no secret, 0644", {}, 0644, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        test::WriteProductionSettings(Ini, test::DemoDatabase(), Dir.File("Ausgabe"), c.Changes);
        ASSERT_EQ(chmod(Ini.c_str(), c.Mode), 0);
        const TSettingsProbe probe = Probe();
        if (c.Expected.empty()) {
            EXPECT_THAT(probe.Report, Not(HasSubstr("\nRechte: ")));
        } else {
            EXPECT_THAT(probe.Report, HasSubstr("\n" + c.Expected));
            EXPECT_FALSE(probe.AllWell);
        }
    }
}

} // namespace
} // namespace velkaro
