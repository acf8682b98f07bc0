// The built program mails demo invoices in a batch through a local SMTP server
// (tests/app/smtp_test_server.py) over STARTTLS with a CA made for the test, and meets
// the server's faults: a temporary refusal, a refusal, a connection cut after the end of
// the mail, a certificate nobody trusts, a wrong password.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <filesystem>

#include "demo_mail_setup.h"
#include "generate_demo_setup.h"
#include "local_smtp_server.h"
#include "platform/files.h"
#include "platform/text.h"
#include "support/test_support.h"

namespace velkaro {
namespace {

using ::testing::AllOf;
using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Not;
using test::TLocalSmtpServer;

constexpr const char* kUser = "rechnungsversand";
constexpr const char* kPassword = "Smtp-Passw0rt-geheim!";
constexpr const char* kSender = "rechnung@muster-gmbh.de";
// A 1×1 PNG: the signature's picture travels inline.
constexpr const char* kPicture =
    "iVBORw0KGgoAAAANSUhEUgAAAAEAAAABCAYAAAAfFcSJAAAADUlEQVR42mNk+M9QDwADhgGAWjR9awAAAABJRU5ErkJggg==";

class SmtpBatch : public ::testing::Test {
protected:
    void SetUp() override {
        if (!FileExists(test::VelkaroProgram()))
            VELKARO_SKIP_UNLESS_CI() << "program not built: " << test::VelkaroProgram();
        if (const std::string missing = test::SmtpServerMissing(); !missing.empty())
            VELKARO_SKIP_UNLESS_CI() << missing;
    }

    // The demo settings sending through `server` with the test's user, CA and archive copy.
    void WriteSettings(const TLocalSmtpServer& server, std::vector<test::TIniValue> more = {}) {
        std::vector<test::TIniValue> values = {
            {"Versand", "Weg", "SMTP"},
            {"SMTP", "Server", "127.0.0.1"},
            {"SMTP", "Port", std::to_string(server.Port())},
            {"SMTP", "Sicherheit", "STARTTLS"},
            {"SMTP", "Benutzer", kUser},
            {"SMTP", "Passwort", kPassword},
            {"SMTP", "Absender", kSender},
            {"SMTP", "Antwortadresse", "Buchhaltung <buchhaltung@muster-gmbh.de>"},
            {"SMTP", "CAFile", test::TestCertificates().CaFile},
            {"SMTP", "KopieAn", "archiv@muster-gmbh.de"},
        };
        values.insert(values.end(), more.begin(), more.end());
        test::WriteProductionSettings(Ini, test::DemoDatabase(), Out, values);
        // As a secret in the file wants it ("/pruefen" names a file others may read).
        std::filesystem::permissions(Ini, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
        WriteFileBytes(Dir.File("velkaro.signatur.htm"),
                       std::string("<p>Mit freundlichen Grüßen<br>{Firma}</p><p><img src=\"data:image/png;base64,") +
                           kPicture + "\" alt=\"Logo\"></p>");
    }

    void Run(const std::string& args) {
        std::string output;
        ExitCode = test::RunVelkaroIn(Dir.Path(), Ini, args, output);
        Output = output;
        BatchLog = FileExists(Dir.File("velkaro.log")) ? test::ReadBatchLog(Dir.File("velkaro.log"))
                                                       : std::vector<std::string>{};
        SentLog.clear();
        // The outcome lines with their six columns as before: the "LAUFEND" line written
        // before each handover and the seventh column (the mail's id) left out.
        for (const std::string& line : test::ReadCrLfLines(Dir.File("velkaro.versand.csv"))) {
            std::vector<std::string> fields = Split(line, ';');
            if (fields.size() > 4 && fields[4] == "LAUFEND") continue;
            if (fields.size() == 7) fields.pop_back();
            SentLog.push_back(fields);
        }
    }
    std::vector<std::string> Statuses() const {
        std::vector<std::string> out;
        for (size_t i = 1; i < SentLog.size(); ++i) out.push_back(SentLog[i].size() == 6 ? SentLog[i][4] : "?");
        return out;
    }
    std::string Traces() const {
        std::string all = Output;
        for (const char* file : {"velkaro.log", "velkaro.versand.csv", "velkaro.ini"})
            if (FileExists(Dir.File(file))) all += ReadFileBytes(Dir.File(file));
        return all;
    }
    static TLocalSmtpServer::TOptions Secured() {
        TLocalSmtpServer::TOptions o;
        o.User = kUser;
        o.Password = kPassword;
        return o;
    }

    test::TempFolder Dir;
    std::string Ini = Dir.File("velkaro.ini");
    std::string Out = Dir.File("out");
    int ExitCode = -1;
    std::string Output;
    std::vector<std::string> BatchLog;
    std::vector<std::vector<std::string>> SentLog;
};

TEST_F(SmtpBatch, MailsThreeInvoicesOverStartTlsAsAMailClientReadsThem) {
    TLocalSmtpServer server(Secured());
    WriteSettings(server);
    Run("/rg RE24-0001 /rg RE24-0002 /rg RE24-0003 /mail");
    ASSERT_EQ(ExitCode, 0) << Output;

    const auto mails = server.Mails();
    ASSERT_EQ(mails.size(), 3u);
    EXPECT_THAT(mails[0].To, ElementsAre("rechnung@baeckerei-schmidt.de", "info@baeckerei-schmidt.de",
                                         "archiv@muster-gmbh.de"));
    EXPECT_THAT(mails[1].To, ElementsAre("rechnungseingang@musterkreis.de", "kaemmerei@musterkreis.de",
                                         "archiv@muster-gmbh.de"));
    for (const auto& mail : mails) {
        SCOPED_TRACE(mail.File);
        EXPECT_EQ(mail.From, kSender);
        EXPECT_FALSE(mail.Dropped);
        const nlohmann::json m = nlohmann::json::parse(TLocalSmtpServer::Summary(mail.File, Out));
        EXPECT_THAT(m["defects"], ::testing::IsEmpty());
        EXPECT_LE(m["longest_line"].get<int>(), 78);
        EXPECT_FALSE(m["bare_lf"].get<bool>());
        EXPECT_EQ(m["from"], kSender);
        EXPECT_EQ(m["reply_to"], "Buchhaltung <buchhaltung@muster-gmbh.de>");
        EXPECT_TRUE(m["bcc"].is_null()) << "the archive copy is blind";
        EXPECT_THAT(m["message_id"].get<std::string>(), AllOf(::testing::StartsWith("<"), HasSubstr("@muster-gmbh.de>")));
        EXPECT_TRUE(m["date_parsed"].get<bool>());
        EXPECT_EQ(m["mime_version"], "1.0");
        EXPECT_THAT(m["subject"].get<std::string>(), ::testing::MatchesRegex("Rechnung RE24-000[123] vom .*"));
        EXPECT_THAT(m["html"].get<std::string>(), AllOf(HasSubstr("Mit freundlichen Grüßen"), HasSubstr("src=\"cid:")));

        std::vector<std::string> types;
        bool pdfSame = false;
        std::string cid;
        for (const auto& part : m["parts"]) {
            types.push_back(part["type"]);
            if (part["type"] == "application/pdf") pdfSame = part.value("same_as_file", false);
            if (part["type"] == "image/png") cid = part["cid"];
        }
        EXPECT_TRUE(pdfSame) << "the PDF arrives byte for byte";
        ASSERT_FALSE(cid.empty());
        EXPECT_THAT(m["html"].get<std::string>(), HasSubstr("cid:" + cid.substr(1, cid.size() - 2)));
        // RE24-0002 and RE24-0003: customers with a Leitweg-ID get the XRechnung as well.
        const std::string no = m["subject"].get<std::string>().substr(9, 9);
        const bool leitweg = no != "RE24-0001";
        std::vector<std::string> expected = {"multipart/mixed", "multipart/related", "text/html", "image/png",
                                             "application/pdf"};
        if (leitweg) expected.push_back("application/xml");
        EXPECT_EQ(types, expected);
        for (const auto& part : m["parts"]) {
            if (part["type"] == "application/xml") {
                EXPECT_THAT(part["text"].get<std::string>(), HasSubstr("<ram:ID>" + no + "</ram:ID>"));
            }
        }
    }

    // The sent log reads as after a run through Microsoft 365.
    ASSERT_EQ(SentLog.size(), 4u);
    EXPECT_EQ(Join(SentLog[0], ";"), "Zeitpunkt;Mandant;Rechnung;Empfaenger;Status;Info");
    EXPECT_THAT(SentLog[1], ElementsAre(::testing::_, "Muster GmbH", "RE24-0001",
                                        "rechnung@baeckerei-schmidt.de, info@baeckerei-schmidt.de", "OK",
                                        "Debitor E-Mail"));
    EXPECT_THAT(SentLog[2], ElementsAre(::testing::_, "Muster GmbH", "RE24-0002",
                                        "rechnungseingang@musterkreis.de, kaemmerei@musterkreis.de", "OK",
                                        "CMNM-Empfänger VK-RECHNUNG"));
    EXPECT_EQ(Statuses(), (std::vector<std::string>{"OK", "OK", "OK"}));
    EXPECT_THAT(BatchLog, Contains(HasSubstr("RE24-0001 per E-Mail versendet an rechnung@baeckerei-schmidt.de")));

    // The plain password was stored protected by the first run and is nowhere in clear.
    EXPECT_THAT(ReadFileBytes(Ini), HasSubstr("PasswortGeschuetzt="));
    EXPECT_THAT(Traces(), Not(HasSubstr(kPassword)));
}

TEST_F(SmtpBatch, ATemporaryRefusalIsTriedAgainAndTheMailGoesOnce) {
    TLocalSmtpServer::TOptions o = Secured();
    o.TempFail = 1;
    TLocalSmtpServer server(o);
    WriteSettings(server);
    Run("/rg RE24-0001 /mail");

    EXPECT_EQ(ExitCode, 0) << Output;
    EXPECT_EQ(server.Mails().size(), 1u);
    EXPECT_THAT(BatchLog, Contains(AllOf(HasSubstr("vorübergehend abgelehnt: 451 4.3.0"),
                                         HasSubstr("neuer Versuch in 5 s (1 von 3)"))));
    EXPECT_EQ(Statuses(), (std::vector<std::string>{"OK"}));
}

TEST_F(SmtpBatch, ARefusedMailFailsWithTheServersTextAndTheNextOneStillGoes) {
    TLocalSmtpServer::TOptions o = Secured();
    o.RejectTo = "rechnung@baeckerei-schmidt.de";
    TLocalSmtpServer server(o);
    WriteSettings(server);
    Run("/rg RE24-0001 /rg RE24-0002 /mail");

    EXPECT_EQ(ExitCode, 1);
    ASSERT_EQ(server.Mails().size(), 1u);
    EXPECT_THAT(server.Mails()[0].To, Contains("rechnungseingang@musterkreis.de"));
    EXPECT_EQ(Statuses(), (std::vector<std::string>{"FEHLER", "OK"}));
    ASSERT_EQ(SentLog.size(), 3u);
    EXPECT_EQ(SentLog[1][5], "Der Mailserver 127.0.0.1:" + std::to_string(server.Port()) +
                                 " hat die Mail abgelehnt: 550 5.7.1 Zustellung an dieses Postfach gesperrt.");
    EXPECT_THAT(BatchLog, Contains(HasSubstr("FEHLER Versand RE24-0001: Der Mailserver")));
}

TEST_F(SmtpBatch, AConnectionCutAfterTheEndOfTheMailLeavesTheOutcomeUnknownAndIsNotRetried) {
    TLocalSmtpServer::TOptions o = Secured();
    o.DropTo = "rechnung@baeckerei-schmidt.de";
    TLocalSmtpServer server(o);
    WriteSettings(server);
    Run("/rg RE24-0001 /rg RE24-0002 /mail");

    EXPECT_EQ(ExitCode, 1);
    const auto mails = server.Mails();
    ASSERT_EQ(mails.size(), 2u) << "no second attempt of the cut mail";
    EXPECT_TRUE(mails[0].Dropped);
    EXPECT_FALSE(mails[1].Dropped);
    ASSERT_EQ(SentLog.size(), 3u);
    EXPECT_EQ(SentLog[1][4], "UNKLAR");
    EXPECT_THAT(SentLog[1][5], AllOf(::testing::StartsWith("Ergebnis unbekannt: "),
                                     HasSubstr("bevor sie erneut versendet wird")));
    EXPECT_EQ(SentLog[2][4], "OK");

    // The catch-up run does not send it again: an SMTP server has no sent mails to look in.
    Run("/neu /mail");
    EXPECT_THAT(BatchLog, Contains(HasSubstr("Unklar RE24-0001")));
    EXPECT_THAT(BatchLog, Not(Contains(HasSubstr("RE24-0001 per E-Mail versendet"))));
}

TEST_F(SmtpBatch, ACertificateOfAnUnknownAuthorityIsRefusedBeforeAnyMail) {
    TLocalSmtpServer::TOptions o = Secured();
    o.UntrustedCert = true;
    TLocalSmtpServer server(o);
    WriteSettings(server);
    Run("/rg RE24-0001 /rg RE24-0002 /mail");

    EXPECT_EQ(ExitCode, 3);
    EXPECT_TRUE(server.Mails().empty());
    EXPECT_THAT(Output, HasSubstr("Sichere Verbindung zum Mailserver 127.0.0.1:" + std::to_string(server.Port()) +
                                  " fehlgeschlagen: sein Zertifikat ist nicht vertrauenswürdig"));
    EXPECT_THAT(Output, HasSubstr("[SMTP] CAFile"));
}

TEST_F(SmtpBatch, AWrongPasswordEndsTheRunAtOnceLikeAFailedSignInAtMicrosoft365) {
    TLocalSmtpServer server(Secured());
    WriteSettings(server, {{"SMTP", "Passwort", "falsch-aber-lang-genug"}});
    Run("/rg RE24-0001 /rg RE24-0002 /mail");

    EXPECT_EQ(ExitCode, 3);
    EXPECT_TRUE(server.Mails().empty());
    EXPECT_THAT(Output, HasSubstr("Anmeldung am Mailserver 127.0.0.1:" + std::to_string(server.Port()) + " als \"" +
                                  kUser + "\" fehlgeschlagen: 535"));
    EXPECT_THAT(BatchLog, Not(Contains(HasSubstr("FEHLER Versand"))));
    EXPECT_THAT(Traces(), Not(HasSubstr("falsch-aber-lang-genug")));
}

TEST_F(SmtpBatch, CheckSignsInWithoutSendingAndNamesTyposOfTheNewKeys) {
    TLocalSmtpServer server(Secured());
    WriteSettings(server);
    Run("/pruefen");
    EXPECT_EQ(ExitCode, 0) << Output;
    EXPECT_THAT(Output, HasSubstr("E-Mail: Verbindung zum Mailserver 127.0.0.1:" + std::to_string(server.Port()) +
                                  " (STARTTLS) erfolgreich, angemeldet als \"rechnungsversand\""));
    EXPECT_TRUE(server.Mails().empty());

    WriteSettings(server, {{"SMTP", "Sicherheit", "STARTLS"}, {"SMTP", "Benutzr", kUser}});
    Run("/pruefen");
    EXPECT_EQ(ExitCode, 2);
    EXPECT_THAT(Output, HasSubstr("[SMTP] Sicherheit=STARTLS – erlaubt: STARTTLS, TLS, Keine."));
    EXPECT_THAT(Output, HasSubstr("unbekannter Schlüssel Benutzr in [SMTP] – gemeint ist Benutzer?"));
}

} // namespace
} // namespace velkaro
