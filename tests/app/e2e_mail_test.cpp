// The built program mails demo invoices in a batch ("velkaro /rg … /mail") to a local
// fake of the identity platform and Graph, as a scheduled task would.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>

#include "demo_mail_setup.h"
#include "fake_graph_service.h"
#include "platform/files.h"
#include "platform/secret_store.h"
#include "platform/text.h"
#include "generate_demo_setup.h"
#include "support/test_support.h"

namespace velkaro {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Not;
using test::TFakeGraphService;
using test::TRecordedRequest;

class MailBatch : public ::testing::Test {
protected:
    void SetUp() override {
        if (!FileExists(test::VelkaroProgram()))
            VELKARO_SKIP_UNLESS_CI() << "program not built: " << test::VelkaroProgram();
    }

    // Runs the program with `args`; fills ExitCode, Stderr, BatchLog (without the time
    // stamps, which are checked here) and SentLog (lines split into fields).
    void Run(const std::string& args) {
        const std::string err = Dir.File("stderr.txt");
        const int status = std::system(("'" + test::VelkaroProgram() + "' " + args + " >/dev/null 2>'" + err + "'").c_str());
        ExitCode = status != -1 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        Stderr = FileExists(err) ? ReadFileBytes(err) : "";
        BatchLog = test::BatchLogBody(test::ReadBatchLog(Dir.File("velkaro.log")));
        SentLog.clear();
        // The outcome of each mail in its six fields; the "LAUFEND" line before each
        // hand-over and the mail's id are tested on their own.
        for (const std::string& line : test::ReadCrLfLines(Dir.File("velkaro.versand.csv"))) {
            std::vector<std::string> fields = Split(line, ';');
            if (fields.size() > 4 && fields[4] == "LAUFEND") continue;
            if (!SentLog.empty() && fields.size() > 6) fields.resize(6);
            SentLog.push_back(fields);
        }
    }
    // The batch log lines that are no hint or generation lines.
    std::vector<std::string> ResultLines() const {
        std::vector<std::string> out;
        for (const std::string& line : BatchLog)
            if (line.find("per E-Mail versendet") != std::string::npos || line.starts_with("FEHLER"))
                out.push_back(line);
        return out;
    }
    std::vector<std::string> Statuses() const {
        std::vector<std::string> out;
        for (size_t i = 1; i < SentLog.size(); ++i) out.push_back(SentLog[i].size() == 6 ? SentLog[i][4] : "?");
        return out;
    }
    // Everything the run left behind that a person or another program may read.
    std::string Traces() const {
        std::string all = Stderr + ReadFileBytes(Ini);
        for (const char* file : {"velkaro.log", "velkaro.versand.csv"})
            if (FileExists(Dir.File(file))) all += ReadFileBytes(Dir.File(file));
        return all;
    }

    test::TempFolder Dir;
    std::string Ini = Dir.File("velkaro.ini");
    std::string Out = Dir.File("out");
    test::ScopedEnv IniEnv{"VELKARO_INI", Ini.c_str()};
    test::ScopedEnv ConfigHome{"XDG_CONFIG_HOME", Dir.Path().c_str()};
    int ExitCode = -1;
    std::string Stderr;
    std::vector<std::string> BatchLog;
    std::vector<std::vector<std::string>> SentLog;
};

TEST_F(MailBatch, MailsEachInvoiceToItsCustomerAndGoesOnAfterAFailure) {
    TFakeGraphService fake;
    test::WriteDemoMailSettings(Ini, Out, fake.BaseUrl(), "Bcc=archiv@muster-gmbh.de\n");
    Run("/rg RE24-0001 /rg RE24-0012 /rg RE24-0002 /mail");

    EXPECT_EQ(ExitCode, 1);
    EXPECT_THAT(Stderr, HasSubstr("1 Rechnung(en) fehlgeschlagen"));
    auto mails = fake.Mails();
    ASSERT_EQ(mails.size(), 2u);
    EXPECT_THAT(mails[0].To, ElementsAre("rechnung@baeckerei-schmidt.de", "info@baeckerei-schmidt.de"));
    EXPECT_THAT(mails[1].To, ElementsAre("rechnungseingang@musterkreis.de", "kaemmerei@musterkreis.de"));
    for (const auto& m : mails) {
        EXPECT_THAT(m.Bcc, ElementsAre("archiv@muster-gmbh.de"));
        // RE24-0002's customer has a Leitweg-ID: its XRechnung goes along as its own file.
        ASSERT_EQ(m.Attachments.size(), &m == &mails[1] ? 2u : 1u);
        EXPECT_TRUE(m.Attachments[0].Data == ReadFileBytes(CombinePath(Out, m.Attachments[0].Name)));
    }
    EXPECT_EQ(mails[1].Attachments[1].Name, "Rechnung_RE24-0002.xml");
    EXPECT_EQ(mails[1].Attachments[1].ContentType, "application/xml");
    EXPECT_THAT(mails[1].Attachments[1].Data, HasSubstr("<ram:ID>RE24-0002</ram:ID>"));
    EXPECT_EQ(fake.TokenRequests(), 1) << "one mailer for the run";

    EXPECT_THAT(ResultLines(),
                ElementsAre("  RE24-0001 per E-Mail versendet an rechnung@baeckerei-schmidt.de, info@baeckerei-schmidt.de",
                            "FEHLER Versand RE24-0012: Keine Rechnungs-E-Mail beim Kunden D95000 hinterlegt.",
                            "  RE24-0002 per E-Mail versendet an rechnungseingang@musterkreis.de, "
                            "kaemmerei@musterkreis.de"));
    EXPECT_THAT(BatchLog, ::testing::Contains(HasSubstr("RE24-0012 erzeugt: ")))
        << "the PDF is produced before the address is missed";

    ASSERT_EQ(SentLog.size(), 4u);
    EXPECT_EQ(Join(SentLog[0], ";"), "Zeitpunkt;Mandant;Rechnung;Empfaenger;Status;Info;VersandId");
    EXPECT_THAT(SentLog[1], ElementsAre(::testing::_, "Muster GmbH", "RE24-0001",
                                        "rechnung@baeckerei-schmidt.de, info@baeckerei-schmidt.de", "OK",
                                        "Debitor E-Mail"));
    EXPECT_THAT(SentLog[2], ElementsAre(::testing::_, "Muster GmbH", "RE24-0012", "", "FEHLER",
                                        "Keine Rechnungs-E-Mail beim Kunden D95000 hinterlegt."));
    EXPECT_THAT(SentLog[3], ElementsAre(::testing::_, "Muster GmbH", "RE24-0002",
                                        "rechnungseingang@musterkreis.de, kaemmerei@musterkreis.de", "OK",
                                        "CMNM-Empfänger VK-RECHNUNG"));
    EXPECT_THAT(Traces(), Not(HasSubstr(test::kFakeSecret)));
    EXPECT_THAT(Traces(), Not(HasSubstr(test::kFakeToken)));

    // A second run appends to the sent log and replaces the batch log.
    Run("/rg RE24-0001 -MAIL");
    EXPECT_EQ(ExitCode, 0);
    EXPECT_EQ(fake.Mails().size(), 3u);
    EXPECT_EQ(Statuses(), (std::vector<std::string>{"OK", "FEHLER", "OK", "OK"}));
    EXPECT_THAT(ResultLines(), ElementsAre(HasSubstr("RE24-0001 per E-Mail versendet")));
}

TEST_F(MailBatch, TestModeSendsEverythingToTheTestRecipient) {
    TFakeGraphService fake;
    test::WriteDemoMailSettings(Ini, Out, fake.BaseUrl(), "Testempfaenger=pruefer@muster-gmbh.de\n");
    Run("/rg RE24-0001 /rg RE24-0012 /mail");

    EXPECT_EQ(ExitCode, 0) << Stderr;
    auto mails = fake.Mails();
    ASSERT_EQ(mails.size(), 2u);
    EXPECT_THAT(mails[0].To, ElementsAre("pruefer@muster-gmbh.de"));
    EXPECT_THAT(mails[0].Subject, ::testing::StartsWith("[TEST, eigentlich an: rechnung@baeckerei-schmidt.de; "
                                                        "info@baeckerei-schmidt.de] "));
    EXPECT_THAT(mails[1].To, ElementsAre("pruefer@muster-gmbh.de"));
    EXPECT_THAT(mails[1].Subject, ::testing::StartsWith("[TEST, eigentlich an: (keine Adresse)] "));
    EXPECT_THAT(ResultLines(),
                ElementsAre("  RE24-0001 per E-Mail versendet an pruefer@muster-gmbh.de  (TESTMODUS)",
                            "  RE24-0012 per E-Mail versendet an pruefer@muster-gmbh.de  (TESTMODUS)"));
    EXPECT_EQ(Statuses(), (std::vector<std::string>{"TEST", "TEST"}));
}

TEST_F(MailBatch, IncompleteGraphSettingsStopBeforeTheFirstInvoice) {
    TFakeGraphService fake;
    test::WriteDemoMailSettings(Ini, Out, fake.BaseUrl());
    WriteFileBytes(Ini, ReplaceAll(ReadFileBytes(Ini), std::string("ClientID=") + test::kFakeClientId, "ClientID="));
    Run("/rg RE24-0001 /rg RE24-0002 /mail");

    EXPECT_EQ(ExitCode, 2) << "a settings error";
    EXPECT_THAT(Stderr, HasSubstr("E-Mail-Einstellungen unvollständig (Client-ID)."));
    EXPECT_TRUE(fake.Requests().empty());
    // No invoice was touched; the log says why.
    EXPECT_THAT(BatchLog, ElementsAre("  Datenbank: Microsoft Dynamics NAV 2016 (9.00, Build 47256)",
                                      "FEHLER: E-Mail-Einstellungen unvollständig (Client-ID)."));
    EXPECT_TRUE(FileExists(Dir.File("velkaro.log")));
    EXPECT_FALSE(DirectoryExists(Out));
    EXPECT_FALSE(FileExists(Dir.File("velkaro.versand.csv")));
}

// Pipes a secret into "velkaro /geheimnis"; returns the exit code, `out` and `err` get
// what it printed.
int StoreSecretWithProgram(const test::TempFolder& dir, const std::string& secret, std::string& out, std::string& err) {
    const std::string input = dir.File("secret.txt"), outFile = dir.File("stdout.txt"), errFile = dir.File("stderr.txt");
    WriteFileBytes(input, secret);
    const int status = std::system(("'" + test::VelkaroProgram() + "' /geheimnis <'" + input + "' >'" + outFile +
                                    "' 2>'" + errFile + "'")
                                       .c_str());
    out = FileExists(outFile) ? ReadFileBytes(outFile) : "";
    err = FileExists(errFile) ? ReadFileBytes(errFile) : "";
    return status != -1 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// The administrator stores the secret with "/geheimnis" under their account; the job's
// account cannot read it and is told exactly that, until it stores the secret itself.
TEST_F(MailBatch, SecretStoredByAnotherAccountIsExplainedUntilTheJobStoresItsOwn) {
    TFakeGraphService fake;
    test::WriteDemoMailSettings(Ini, Out, fake.BaseUrl());
    WriteFileBytes(Ini, ReplaceAll(ReadFileBytes(Ini), std::string("ClientSecret=") + test::kFakeSecret + "\n", ""));
    const std::string adminKey = Dir.File("admin.key"), jobKey = Dir.File("job.key");
    std::string out, err;
    {
        test::ScopedEnv key("VELKARO_SCHLUESSEL", adminKey.c_str());
        ASSERT_EQ(StoreSecretWithProgram(Dir, std::string(test::kFakeSecret) + "\n", out, err), 0) << err;
        EXPECT_EQ(out, "Client-Secret geschützt für den Benutzer \"" + CurrentUserName() + "\" gespeichert in \"" + Ini +
                           "\" (Schlüssel \"" + adminKey + "\").\n");
        EXPECT_EQ(err, "") << "no prompt from a pipe";
        EXPECT_THAT(ReadFileBytes(Ini), Not(HasSubstr(test::kFakeSecret)));
    }

    test::ScopedEnv key("VELKARO_SCHLUESSEL", jobKey.c_str());
    Run("/rg RE24-0001 /mail");
    EXPECT_EQ(ExitCode, 2);
    EXPECT_THAT(Stderr, HasSubstr("Das gespeicherte Client-Secret ([Graph] ClientSecretGeschuetzt) kann vom Benutzer \"" +
                                  CurrentUserName() + "\" nicht entschlüsselt werden."));
    EXPECT_THAT(Stderr, HasSubstr("dieser Benutzer hat keinen Schlüssel (\"" + jobKey + "\" fehlt)."));
    EXPECT_THAT(Stderr, HasSubstr("velkaro /geheimnis\""));
    EXPECT_THAT(Stderr, Not(HasSubstr("sudo")));
    EXPECT_THAT(Stderr, Not(HasSubstr("unvollständig")));
    EXPECT_TRUE(fake.Requests().empty());

    // Without a line end, from a pipe, the whole input is the secret.
    ASSERT_EQ(StoreSecretWithProgram(Dir, test::kFakeSecret, out, err), 0) << err;
    Run("/rg RE24-0001 /mail");
    EXPECT_EQ(ExitCode, 0) << Stderr;
    EXPECT_EQ(fake.Mails().size(), 1u);
}

TEST_F(MailBatch, SecretCommandRefusesWhatItCannotStore) {
    TFakeGraphService fake;
    test::WriteDemoMailSettings(Ini, Out, fake.BaseUrl());
    const std::string before = ReadFileBytes(Ini);
    struct Case {
        const char* what;
        std::string input, keyFile, message;
    } cases[] = {
        {"empty input", "\n", Dir.File("k.key"), "Client-Secret nicht gespeichert: Es wurde kein Secret eingegeben."},
        {"no place for the key", "neu\n", Dir.File("fehlt/k.key"),
         "Client-Secret nicht gespeichert: Der Schlüssel zum Schützen des Client-Secrets kann nicht angelegt werden: "
         "Der Ordner \"" + Dir.File("fehlt/") + "\" aus VELKARO_SCHLUESSEL fehlt."},
    };
    for (const auto& c : cases) {
        test::ScopedEnv key("VELKARO_SCHLUESSEL", c.keyFile.c_str());
        std::string out, err;
        EXPECT_EQ(StoreSecretWithProgram(Dir, c.input, out, err), 2) << c.what;
        EXPECT_EQ(err, "Velkaro: " + c.message + "\n") << c.what;
        EXPECT_EQ(ReadFileBytes(Ini), before) << c.what;
    }
    test::ScopedEnv missingIni("VELKARO_INI", Dir.File("fehlt.ini").c_str());
    std::string out, err;
    EXPECT_EQ(StoreSecretWithProgram(Dir, "neu\n", out, err), 2);
    EXPECT_THAT(err, HasSubstr("Die Einstellungsdatei \"" + Dir.File("fehlt.ini") + "\" gibt es nicht."));
    EXPECT_FALSE(FileExists(Dir.File("fehlt.ini")));
}

// A secret that cannot be protected stays in plain text, and every run says so.
TEST_F(MailBatch, PlainSecretThatCannotBeProtectedIsWarnedAboutInEveryRun) {
    TFakeGraphService fake;
    test::WriteDemoMailSettings(Ini, Out, fake.BaseUrl());
    test::ScopedEnv key("VELKARO_SCHLUESSEL", Dir.File("fehlt/k.key").c_str());
    for (int run = 0; run < 2; ++run) {
        Run("/rg RE24-0001 /mail");
        EXPECT_EQ(ExitCode, 0) << Stderr;
        EXPECT_THAT(BatchLog, testing::Contains(testing::StartsWith(
                                  "  Warnung: Das Client-Secret steht ungeschützt in der Einstellungsdatei \"" + Ini +
                                  "\" ([Graph] ClientSecret), weil es nicht geschützt werden konnte: ")))
            << run;
        EXPECT_THAT(ReadFileBytes(Ini), HasSubstr(std::string("ClientSecret=") + test::kFakeSecret));
    }
}

// The sign-in is checked once before the first mail: a wrong secret ends the run with
// exit code 3 instead of failing every invoice.
TEST_F(MailBatch, WrongSecretEndsTheRunAtTheSignInWithoutShowingIt) {
    const std::string wrong = "Falsches-Secret-42!";
    TFakeGraphService fake;
    test::WriteDemoMailSettings(Ini, Out, fake.BaseUrl());
    WriteFileBytes(Ini, ReplaceAll(ReadFileBytes(Ini), test::kFakeSecret, wrong));
    Run("/rg RE24-0001 /rg RE24-0002 /mail");

    EXPECT_EQ(ExitCode, 3);
    const std::string error =
        "Anmeldung bei Microsoft 365 fehlgeschlagen (401): invalid_client: AADSTS7000215: Invalid client secret provided.";
    EXPECT_THAT(Stderr, HasSubstr("Velkaro: " + error));
    EXPECT_THAT(ResultLines(), ElementsAre("FEHLER: " + error));
    EXPECT_TRUE(Statuses().empty()) << "no invoice was mailed or tried";
    EXPECT_EQ(fake.TokenRequests(), 1);
    EXPECT_TRUE(fake.Mails().empty());
    EXPECT_FALSE(DirectoryExists(Out)) << "nothing produced";
    const std::string traces = Traces();
    EXPECT_THAT(traces, Not(HasSubstr(wrong)));
    EXPECT_THAT(traces, Not(HasSubstr(UrlEncodeComponent(wrong))));
}

// The service asks for an hour's pause: the batch stops mailing at once and says from
// when to try again, instead of waiting three minutes for each invoice.
TEST_F(MailBatch, LongThrottlingStopsTheMailingOfTheRun) {
    TFakeGraphService fake([](const TRecordedRequest& r) -> std::optional<test::TServerReply> {
        if (TFakeGraphService::IsSendMail(r))
            return test::TServerReply{429, {{"Retry-After", "3600"}}, R"({"error":{"code":"ApplicationThrottled"}})"};
        return std::nullopt;
    });
    test::WriteDemoMailSettings(Ini, Out, fake.BaseUrl());
    Run("/rg RE24-0001 /rg RE24-0002 /rg RE24-0012 /mail");

    EXPECT_EQ(ExitCode, 1);
    EXPECT_THAT(Stderr, HasSubstr("3 Rechnung(en) fehlgeschlagen"));
    EXPECT_EQ(fake.Mails().size(), 1u) << "one request, then no more for this run";
    const std::vector<std::string> results = ResultLines();
    ASSERT_EQ(results.size(), 3u);
    const std::string stop = "Microsoft 365 bremst den Versand (Status 429) und nimmt erst nach 3600 s wieder Anfragen an.";
    EXPECT_THAT(results[0], ::testing::StartsWith("FEHLER Versand RE24-0001: " + stop));
    EXPECT_THAT(results[1], ::testing::StartsWith("FEHLER Versand RE24-0002: " + stop));
    EXPECT_THAT(results[1], HasSubstr("erneut versuchen"));
    EXPECT_THAT(results[2], HasSubstr("Keine Rechnungs-E-Mail beim Kunden D95000")) << "checked before any request";
    EXPECT_EQ(Statuses(), (std::vector<std::string>{"FEHLER", "FEHLER", "FEHLER"}));
}

TEST_F(MailBatch, HttpsWithTheCertificatesOfTheSettings) {
    const test::TTestCertificate cert = test::MakeSelfSignedCertificate(Dir.Path());
    TFakeGraphService fake(nullptr, &cert);
    test::WriteDemoMailSettings(Ini, Out, fake.BaseUrl(), "CaZertifikate=" + cert.CertFile + "\n");
    Run("/rg RE24-0001 /mail");
    EXPECT_EQ(ExitCode, 0) << Stderr;
    EXPECT_EQ(fake.Mails().size(), 1u);

    test::WriteDemoMailSettings(Ini, Out, fake.BaseUrl());  // without the certificate
    Run("/rg RE24-0001 /mail");
    EXPECT_EQ(ExitCode, 3) << "the sign-in fails";
    EXPECT_EQ(fake.Mails().size(), 1u) << "nothing reaches an untrusted server";
    ASSERT_EQ(ResultLines().size(), 1u);
    EXPECT_THAT(ResultLines()[0], ::testing::StartsWith("FEHLER: Anmeldung bei Microsoft 365 fehlgeschlagen"));
}

} // namespace
} // namespace velkaro
