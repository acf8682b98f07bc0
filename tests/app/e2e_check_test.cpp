// The built program over demo invoices of which two break EN 16931 rules: the batch
// names the broken rules and still writes every PDF, the mailing refuses exactly those
// two without a request to the (local, fake) Graph, unless the settings allow it.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "demo_mail_setup.h"
#include "fake_graph_service.h"
#include "generate_demo_setup.h"
#include "platform/files.h"
#include "platform/text.h"
#include "support/test_support.h"

namespace velkaro {
namespace {

using ::testing::ElementsAre;
using ::testing::EndsWith;
using ::testing::HasSubstr;
using ::testing::StartsWith;
using test::ShellQuoted;
using test::TFakeGraphService;
using test::TIniValue;

constexpr const char* kHeader = "\"Muster GmbH$Sales Invoice Header\"";
// Two ordinary NAV values gone wrong: a currency code that is no ISO code, and a
// country code that maps to no country.
constexpr const char* kBrokenCurrency = "RE24-0001";
constexpr const char* kBrokenCountry = "RE24-0002";

class CheckedBatch : public ::testing::Test {
protected:
    void SetUp() override {
        if (!FileExists(test::VelkaroProgram()))
            VELKARO_SKIP_UNLESS_CI() << "Programm nicht gebaut: " << test::VelkaroProgram();
        if (!test::CommandExists("sqlite3")) VELKARO_SKIP_UNLESS_CI() << "sqlite3 fehlt (Paket sqlite3)";
        WriteFileBytes(Db, ReadFileBytes(test::DemoDatabase()));
        test::RunSqlite(Db, std::string("UPDATE ") + kHeader + " SET [Currency Code] = 'SFR' WHERE [No_] = '" +
                                kBrokenCurrency + "';" + "UPDATE " + kHeader +
                                " SET [Bill-to Country_Region Code] = 'XY' WHERE [No_] = '" + kBrokenCountry + "';");
    }
    void Settings(const std::string& baseUrl, const std::vector<TIniValue>& extra = {}) {
        std::vector<TIniValue> values = {
            {"Graph", "MandantenID", test::kFakeTenant}, {"Graph", "ClientID", test::kFakeClientId},
            {"Graph", "ClientSecret", test::kFakeSecret}, {"Graph", "Absender", test::kFakeSender},
            {"Graph", "AnmeldeServer", baseUrl},          {"Graph", "GraphServer", baseUrl},
        };
        values.insert(values.end(), extra.begin(), extra.end());
        test::WriteProductionSettings(Ini, Db, Out, values);
    }
    void Run(const std::vector<std::string>& numbers, bool mail) {
        std::string command = "cd " + ShellQuoted(Dir.Path()) + " && env LC_ALL=C.UTF-8 VELKARO_INI=" +
                              ShellQuoted(Ini) + " XDG_CONFIG_HOME=" + ShellQuoted(Dir.Path()) + " " +
                              ShellQuoted(test::VelkaroProgram());
        for (const std::string& no : numbers) command += " /rg " + ShellQuoted(no);
        if (mail) command += " /mail";
        ExitCode = test::RunCommand(command, Output);
        Log = test::ReadBatchLog(Dir.File("velkaro.log"));
    }
    std::vector<std::string> LinesWith(const std::string& part) const {
        std::vector<std::string> out;
        for (const std::string& line : Log)
            if (line.find(part) != std::string::npos) out.push_back(line);
        return out;
    }
    std::vector<std::string> SentStatuses() const {
        std::vector<std::string> out;
        const std::vector<std::string> lines = test::ReadCrLfLines(Dir.File("velkaro.versand.csv"));
        for (size_t i = 1; i < lines.size(); ++i) {
            const std::vector<std::string> fields = Split(lines[i], ';');
            if (fields.size() > 4 && fields[4] == "LAUFEND") continue;  // the outcome follows
            out.push_back(fields.size() >= 6 ? fields[2] + " " + fields[4] : "?");
        }
        return out;
    }
    static std::vector<std::string> Subjects(const TFakeGraphService& fake) {
        std::vector<std::string> out;
        for (const auto& mail : fake.Mails()) out.push_back(mail.Subject);
        return out;
    }

    test::TempFolder Dir;
    std::string Db = Dir.File("nav.db");
    std::string Ini = Dir.File("velkaro.ini");
    std::string Out = Dir.File("ausgabe");
    int ExitCode = -1;
    std::string Output;
    std::vector<std::string> Log;
};

const std::vector<std::string> kMailed = {kBrokenCurrency, kBrokenCountry, "RE24-0003", "RE24-0005"};

TEST_F(CheckedBatch, ProductionNamesTheBrokenRulesAndWritesEveryPdf) {
    TFakeGraphService fake;
    Settings(fake.BaseUrl());
    const std::vector<std::string> all = test::DemoInvoiceNumbers(Db, "Muster GmbH");
    Run(all, false);

    EXPECT_EQ(ExitCode, 0) << Output;
    EXPECT_THAT(LinesWith("Prüfung"),
                ElementsAre(StartsWith("  Prüfung RE24-0001: BR-CL-03 Währungscode „SFR“ ist kein ISO-4217-Code "
                                       "(zu korrigieren: "),
                            StartsWith("  Prüfung RE24-0001: BR-CL-04 "),
                            StartsWith("  Prüfung RE24-0002: BR-CL-14 Ländercode „XY“ des Käufers ist kein "
                                       "ISO-3166-Code (zu korrigieren: "),
                            // the demo's public-sector customer without a postcode
                            StartsWith("  Prüfung RE24-0017: BR-DE-9 Postleitzahl des Käufers fehlt (XRechnung)")));
    EXPECT_THAT(LinesWith("Prüfung RE24-0001: BR-CL-03")[0], HasSubstr("INI [Waehrungen] SFR=<ISO-Code>"));
    EXPECT_THAT(LinesWith("Prüfung RE24-0002")[0], HasSubstr("INI [Laender] XY=<ISO-Code>"));
    // The findings come after the hints of their invoice and before its result line.
    for (size_t i = 0; i < Log.size(); ++i)
        if (Log[i].starts_with("  Prüfung RE24-0002")) {
            EXPECT_THAT(Log[i - 1], StartsWith("  ")) << "after the hint lines";
            EXPECT_THAT(Log[i + 1], StartsWith("RE24-0002 erzeugt: "));
        }
    EXPECT_EQ(LinesWith(" erzeugt: ").size(), all.size());
    // Findings do not fail a production run; the end line counts the invoices that have them.
    EXPECT_THAT(LinesWith("Ende: "), ElementsAre(EndsWith("Ende: " + std::to_string(all.size()) +
                                                          " erzeugt, 0 versendet, 0 übersprungen, 0 Fehler, "
                                                          "3 mit Befund")));
    for (const std::string& no : all) EXPECT_TRUE(FileExists(CombinePath(Out, "Rechnung_" + no + ".pdf"))) << no;
    EXPECT_TRUE(fake.Requests().empty());
}

TEST_F(CheckedBatch, MailingRefusesExactlyTheBrokenInvoices) {
    TFakeGraphService fake;
    Settings(fake.BaseUrl());
    Run(kMailed, true);

    EXPECT_EQ(ExitCode, 1) << "a refused mail is a failed document";
    EXPECT_THAT(Subjects(fake), ElementsAre(HasSubstr("RE24-0003"), HasSubstr("RE24-0005")));
    EXPECT_THAT(LinesWith("FEHLER"),
                ElementsAre(StartsWith("FEHLER Versand RE24-0001: E-Rechnung verletzt EN 16931 (BR-CL-03, BR-CL-04) "
                                       "\u2013 Währungscode „SFR“ ist kein ISO-4217-Code (zu korrigieren: "),
                            StartsWith("FEHLER Versand RE24-0002: E-Rechnung verletzt EN 16931 (BR-CL-14) \u2013 "
                                       "Ländercode „XY“ des Käufers")));
    EXPECT_EQ(LinesWith("per E-Mail versendet").size(), 2u);
    EXPECT_THAT(LinesWith("Ende: "), ElementsAre(EndsWith(", 2 versendet, 0 übersprungen, 2 Fehler, 2 mit Befund")));
    EXPECT_THAT(SentStatuses(),
                ElementsAre("RE24-0001 FEHLER", "RE24-0002 FEHLER", "RE24-0003 OK", "RE24-0005 OK"));
    EXPECT_TRUE(FileExists(CombinePath(Out, "Rechnung_RE24-0001.pdf"))) << "the PDF is still produced";
}

TEST_F(CheckedBatch, TestModeRefusesTheSame) {
    TFakeGraphService fake;
    Settings(fake.BaseUrl(), {{"Graph", "Testempfaenger", "pruefer@muster-gmbh.de"}});
    Run(kMailed, true);

    EXPECT_EQ(ExitCode, 1);
    EXPECT_THAT(Subjects(fake), ElementsAre(HasSubstr("RE24-0003"), HasSubstr("RE24-0005")));
    EXPECT_THAT(SentStatuses(),
                ElementsAre("RE24-0001 FEHLER", "RE24-0002 FEHLER", "RE24-0003 TEST", "RE24-0005 TEST"));
}

TEST_F(CheckedBatch, AnAdministratorMaySendDespiteFindings) {
    TFakeGraphService fake;
    Settings(fake.BaseUrl(), {{"Pruefung", "TrotzBefundVersenden", "1"}});
    Run(kMailed, true);

    EXPECT_EQ(ExitCode, 0) << Output;
    EXPECT_EQ(fake.Mails().size(), 4u);
    EXPECT_THAT(LinesWith("trotzdem versendet"),
                ElementsAre("  Hinweis RE24-0001: E-Rechnung verletzt EN 16931 (BR-CL-03, BR-CL-04), trotzdem "
                            "versendet (INI [Pruefung] TrotzBefundVersenden=1)",
                            "  Hinweis RE24-0002: E-Rechnung verletzt EN 16931 (BR-CL-14), trotzdem versendet (INI "
                            "[Pruefung] TrotzBefundVersenden=1)"));
    EXPECT_THAT(SentStatuses(), ElementsAre("RE24-0001 OK", "RE24-0002 OK", "RE24-0003 OK", "RE24-0005 OK"));
}

} // namespace
} // namespace velkaro
