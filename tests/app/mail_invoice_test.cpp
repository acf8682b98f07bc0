// Mailing single demo invoices through the real workflow against a local fake of the
// identity platform and Graph: addressing, test mode, attachments, the sent log and
// the error paths.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <memory>

#include "app/document_run.h"
#include "app/mail_invoice.h"
#include "config/settings.h"
#include "demo_mail_setup.h"
#include "erp/nav_data.h"
#include "fake_graph_service.h"
#include "platform/files.h"
#include "platform/text.h"
#include "support/test_support.h"

namespace velkaro {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Not;
using ::testing::StartsWith;
using test::kFakeSecret;
using test::kFakeToken;
using test::kFakeUploadToken;
using test::TFakeGraphService;
using test::TRecordedRequest;
using test::TServerReply;

const char* const kTwoAddresses = "rechnung@baeckerei-schmidt.de, info@baeckerei-schmidt.de";
const char* const kNoAddressError = "Keine Rechnungs-E-Mail beim Kunden D95000 hinterlegt.";

// Lines of the sent log without byte-order mark, each split into its fields. Unless
// `all`, the header and the outcome of each attempt only, in their first six fields:
// the "LAUFEND" line before each hand-over and the mail's id are looked at on their own.
std::vector<std::vector<std::string>> SentLogRows(const std::string& file, bool all = false) {
    std::vector<std::vector<std::string>> rows;
    if (!FileExists(file)) return rows;
    std::string text = ReadFileBytes(file);
    if (text.starts_with(kUtf8Bom)) text.erase(0, kUtf8Bom.size());
    for (const std::string& line : Split(text, '\n')) {
        if (line.empty()) continue;
        EXPECT_TRUE(line.ends_with("\r")) << line;
        std::vector<std::string> fields = Split(line.substr(0, line.size() - 1), ';');
        if (!all && fields.size() > 4 && fields[4] == "LAUFEND") continue;
        if (!all && fields.size() > 6) fields.resize(6);
        rows.push_back(fields);
    }
    return rows;
}

class MailInvoiceTest : public ::testing::Test {
protected:
    // The settings and the mailer for the fake service; `graphLines` are added to [Graph].
    void Open(const TFakeGraphService& fake, const std::string& graphLines = "") {
        test::WriteDemoMailSettings(Ini, Dir.File("out"), fake.BaseUrl(), graphLines);
        Settings = std::make_unique<TSettings>(Ini);
        Nav = std::make_unique<TNavData>(*Settings);
        Mailer = CreateMailer(*Settings);
        SentLog = std::make_unique<TSentLog>(Settings->MailLogFile);
    }
    bool Mail(const std::string& invoiceNo) {
        return MailInvoice(*Nav, *Settings, RunOptionsOf(*Settings), *Mailer, SentLog.get(), "Muster GmbH", invoiceNo,
                           [this](const std::string& line) { Log.push_back(line); });
    }
    std::vector<std::vector<std::string>> Rows() const { return SentLogRows(Settings->MailLogFile); }
    // An inline picture too large for one request: the mail goes through a draft and
    // an upload session of one chunk.
    void UseLargeInlinePicture() {
        // A whole picture (only pictures go into a mail) with bytes after its end.
        WriteFileBytes(Dir.File("logo.png"),
                       ReadFileBytes(test::TestDataPath("mail/html/bilder/logo.png")) + std::string(2400000, 'p'));
        Settings->MailHtml = true;
        Settings->MailBodyHtml = "<html><body><p>Rechnung {Nr}</p><img src=\"logo.png\"></body></html>";
        Settings->MailSignatureHtml = "";
    }
    // The log lines and the sent log, as a reader of the run sees them.
    std::string Traces() const {
        std::string all = FileExists(Settings->MailLogFile) ? ReadFileBytes(Settings->MailLogFile) : "";
        for (const std::string& line : Log) all += line + "\n";
        return all;
    }

    test::TempFolder Dir;
    test::ScopedEnv ConfigHome{"XDG_CONFIG_HOME", Dir.Path().c_str()};  // key of the protected secret
    std::string Ini = Dir.File("velkaro.ini");
    std::unique_ptr<TSettings> Settings;
    std::unique_ptr<TNavData> Nav;
    std::unique_ptr<IMailer> Mailer;
    std::unique_ptr<TSentLog> SentLog;
    std::vector<std::string> Log;
};

TEST_F(MailInvoiceTest, SendsToTheCustomerAddressesWithThePdfAndLogsTheSend) {
    TFakeGraphService fake;
    Open(fake, "Bcc=archiv@muster-gmbh.de\nAntwortadresse=buchhaltung@muster-gmbh.de\nInGesendeteSpeichern=0\n");
    ASSERT_TRUE(Mail("RE24-0001"));

    auto mails = fake.Mails();
    ASSERT_EQ(mails.size(), 1u);
    const test::TReceivedMail& m = mails[0];
    EXPECT_THAT(m.To, ElementsAre("rechnung@baeckerei-schmidt.de", "info@baeckerei-schmidt.de"));
    EXPECT_TRUE(m.Cc.empty());
    EXPECT_THAT(m.Bcc, ElementsAre("archiv@muster-gmbh.de"));
    EXPECT_THAT(m.ReplyTo, ElementsAre("buchhaltung@muster-gmbh.de"));
    EXPECT_FALSE(m.SaveToSentItems) << "MailSaveToSent reaches the mailer";
    EXPECT_THAT(m.Subject, StartsWith("Rechnung RE24-0001 vom "));
    EXPECT_THAT(m.Subject, Not(HasSubstr("TEST")));
    EXPECT_THAT(m.Body, Not(HasSubstr("TESTVERSAND")));
    const std::string pdf = Dir.File("out/Rechnung_RE24-0001.pdf");
    ASSERT_EQ(m.Attachments.size(), 1u);
    EXPECT_EQ(m.Attachments[0].Name, "Rechnung_RE24-0001.pdf");
    EXPECT_EQ(m.Attachments[0].ContentType, "application/pdf");
    EXPECT_TRUE(m.Attachments[0].Data == ReadFileBytes(pdf)) << "the PDF written for this mail";

    ASSERT_FALSE(Log.empty());
    EXPECT_THAT(Log.front(), HasSubstr("Rechnungs-E-Mail")) << "generation lines come first";
    EXPECT_EQ(Log.back(), std::string("  RE24-0001 per E-Mail versendet an ") + kTwoAddresses);

    // Entered before the hand-over with the id the mail carries, then its outcome.
    auto rows = SentLogRows(Settings->MailLogFile, true);
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_THAT(rows[0], ElementsAre("Zeitpunkt", "Mandant", "Rechnung", "Empfaenger", "Status", "Info", "VersandId"));
    ASSERT_EQ(m.MailId.size(), 32u);
    EXPECT_THAT(rows[1], ElementsAre(::testing::_, "Muster GmbH", "RE24-0001", kTwoAddresses, "LAUFEND", "", m.MailId));
    EXPECT_THAT(rows[2],
                ElementsAre(::testing::_, "Muster GmbH", "RE24-0001", kTwoAddresses, "OK", "Debitor E-Mail", m.MailId));
    TDateTime when = 0;
    TSentEntry open;
    EXPECT_TRUE(SentLog->LastSent("Muster GmbH", "RE24-0001", when));
    EXPECT_FALSE(SentLog->OpenSend("Muster GmbH", "RE24-0001", open));
    // Each mail has an id of its own.
    ASSERT_TRUE(Mail("RE24-0001"));
    ASSERT_EQ(fake.Mails().size(), 2u);
    EXPECT_NE(fake.Mails()[1].MailId, m.MailId);
}

TEST_F(MailInvoiceTest, AttachmentsInOrderPdfXmlThenInlineImages) {
    TFakeGraphService fake;
    Open(fake, "XmlZusaetzlichAnhaengen=1\n");
    const std::string png = ReadFileBytes(test::TestDataPath("mail/html/bilder/logo.png"));
    WriteFileBytes(Dir.File("logo.png"), png);
    Settings->MailHtml = true;
    Settings->MailBodyHtml = "<html><body><p>Rechnung {Nr}</p><img src=\"logo.png\"></body></html>";
    Settings->MailSignatureHtml = "";
    ASSERT_TRUE(Mail("RE24-0001"));

    Settings->MailAttachXml = false;
    Settings->SaveXml = true;  // the XML file is written but not attached
    ASSERT_TRUE(Mail("RE24-0001"));

    auto mails = fake.Mails();
    ASSERT_EQ(mails.size(), 2u);
    const auto& a = mails[0].Attachments;
    ASSERT_EQ(a.size(), 3u);
    EXPECT_EQ(a[0].Name, "Rechnung_RE24-0001.pdf");
    EXPECT_EQ(a[1].Name, "Rechnung_RE24-0001.xml");
    EXPECT_EQ(a[1].ContentType, "application/xml");
    EXPECT_TRUE(a[1].Data == ReadFileBytes(Dir.File("out/Rechnung_RE24-0001.xml")));
    EXPECT_FALSE(a[0].IsInline || a[1].IsInline);
    EXPECT_TRUE(a[2].IsInline);
    EXPECT_EQ(a[2].ContentType, "image/png");
    EXPECT_TRUE(a[2].Data == png);
    EXPECT_THAT(mails[0].Body, HasSubstr("cid:" + a[2].ContentId));

    const auto& b = mails[1].Attachments;
    ASSERT_EQ(b.size(), 2u);
    EXPECT_EQ(b[0].Name, "Rechnung_RE24-0001.pdf");
    EXPECT_TRUE(b[1].IsInline);
    EXPECT_EQ(Rows().size(), 3u) << "header and two lines: every call is logged";
}

TEST_F(MailInvoiceTest, TestModeRedirectsAndMarksTheMail) {
    struct Case {
        const char* Invoice;
        const char* Shown;
    };
    for (const Case& c : {Case{"RE24-0012", "(keine Adresse)"},
                          Case{"RE24-0001", "rechnung@baeckerei-schmidt.de; info@baeckerei-schmidt.de"}}) {
        SCOPED_TRACE(c.Invoice);
        TFakeGraphService fake;
        Open(fake, "Testempfaenger= pruefer@muster-gmbh.de; zweit@muster-gmbh.de \nBcc=archiv@muster-gmbh.de\n");
        Log.clear();
        ASSERT_TRUE(Mail(c.Invoice));

        auto mails = fake.Mails();
        ASSERT_EQ(mails.size(), 1u);
        const test::TReceivedMail& m = mails[0];
        EXPECT_THAT(m.To, ElementsAre("pruefer@muster-gmbh.de", "zweit@muster-gmbh.de"));
        EXPECT_THAT(m.Bcc, ElementsAre("archiv@muster-gmbh.de")) << "blind copies in test mode too";
        EXPECT_THAT(m.Subject, StartsWith(std::string("[TEST, eigentlich an: ") + c.Shown + "] Rechnung " + c.Invoice));
        const std::string notice = "<p style=\"color:#b00000;font-family:Arial\"><b>TESTVERSAND</b> \u2013 diese Mail "
                                   "w\u00E4re an " + std::string(c.Shown) + " gegangen.</p>";
        const size_t bodyTag = m.Body.find("<body");
        ASSERT_NE(bodyTag, std::string::npos);
        EXPECT_EQ(m.Body.find(notice), m.Body.find('>', bodyTag) + 1) << "right after the opening body tag";

        EXPECT_EQ(Log.back(), "  " + std::string(c.Invoice) +
                                  " per E-Mail versendet an pruefer@muster-gmbh.de, zweit@muster-gmbh.de  (TESTMODUS)");
        auto rows = Rows();
        ASSERT_EQ(rows.size(), 2u);
        EXPECT_EQ(rows[1][3], "pruefer@muster-gmbh.de, zweit@muster-gmbh.de");
        EXPECT_EQ(rows[1][4], "TEST");
        TDateTime when = 0;
        EXPECT_FALSE(SentLog->LastSent("Muster GmbH", c.Invoice, when)) << "a test send is no send";
        std::remove(Settings->MailLogFile.c_str());
    }
}

TEST_F(MailInvoiceTest, BlankTestRecipientIsNormalMode) {
    TFakeGraphService fake;
    Open(fake, "Testempfaenger=   \n");
    EXPECT_FALSE(IsMailTestMode(*Settings));
    EXPECT_FALSE(Mail("RE24-0012"));
    EXPECT_EQ(Log.back(), std::string("FEHLER Versand RE24-0012: ") + kNoAddressError);
}

TEST_F(MailInvoiceTest, CustomerWithoutAddressFailsAfterThePdfWasWritten) {
    TFakeGraphService fake;
    Open(fake);
    EXPECT_FALSE(Mail("RE24-0012"));
    EXPECT_TRUE(fake.Requests().empty()) << "no sign-in, no mail";
    EXPECT_TRUE(FileExists(Dir.File("out/Rechnung_RE24-0012.pdf")));
    EXPECT_THAT(Log.front(), HasSubstr("keine Rechnungs-E-Mail beim Kunden D95000"));
    EXPECT_EQ(Log.back(), std::string("FEHLER Versand RE24-0012: ") + kNoAddressError);
    auto rows = Rows();
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_THAT(rows[1], ElementsAre(::testing::_, "Muster GmbH", "RE24-0012", "", "FEHLER", kNoAddressError));
}

// The mail text is composed only when the document is mailed: a broken signature fails
// the mailing of that document with its German message, after its PDF was written.
TEST_F(MailInvoiceTest, BrokenSignatureFailsOnlyTheMailing) {
    TFakeGraphService fake;
    Open(fake);
    Settings->MailHtml = true;
    Settings->MailSignatureHtml = "<p>Gruß</p><img src=\"file:///bilder/logo%zz.png\">";
    EXPECT_FALSE(Mail("RE24-0001"));
    EXPECT_TRUE(fake.Mails().empty());
    EXPECT_TRUE(FileExists(Dir.File("out/Rechnung_RE24-0001.pdf")));
    EXPECT_THAT(Log.back(), StartsWith("FEHLER Versand RE24-0001: "));
    EXPECT_THAT(Log.back(), HasSubstr("logo%zz.png"));
    auto rows = Rows();
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[1][4], "FEHLER");
    EXPECT_EQ(rows[1][3], "rechnung@baeckerei-schmidt.de, info@baeckerei-schmidt.de");
}

TEST_F(MailInvoiceTest, FailedGenerationIsLoggedWithoutRecipients) {
    TFakeGraphService fake;
    Open(fake);
    EXPECT_FALSE(Mail("RE99-9999"));
    EXPECT_TRUE(fake.Requests().empty());
    ASSERT_EQ(Log.size(), 1u);
    EXPECT_THAT(Log[0], StartsWith("FEHLER Versand RE99-9999: "));
    auto rows = Rows();
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[1][2], "RE99-9999");
    EXPECT_EQ(rows[1][3], "");
    EXPECT_EQ(rows[1][4], "FEHLER");
    EXPECT_EQ(rows[1][5], Log[0].substr(std::string("FEHLER Versand RE99-9999: ").size()));
}

TEST_F(MailInvoiceTest, GraphRefusalIsRecordedWithTheResolvedRecipients) {
    TFakeGraphService fake([](const TRecordedRequest& r) -> std::optional<TServerReply> {
        if (TFakeGraphService::IsSendMail(r))
            return TServerReply{403, {}, R"({"error":{"code":"ErrorAccessDenied","message":"Access is denied."}})"};
        return std::nullopt;
    });
    Open(fake);
    EXPECT_FALSE(Mail("RE24-0001"));
    const std::string error = "Graph-Fehler 403: ErrorAccessDenied: Access is denied.";
    EXPECT_EQ(Log.back(), "FEHLER Versand RE24-0001: " + error);
    auto rows = Rows();
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_THAT(rows[1], ElementsAre(::testing::_, "Muster GmbH", "RE24-0001", kTwoAddresses, "FEHLER", error));
    TDateTime when = 0;
    EXPECT_FALSE(SentLog->LastSent("Muster GmbH", "RE24-0001", when));
}

TEST_F(MailInvoiceTest, TwoCallsTwoMailsOneSignIn) {
    TFakeGraphService fake;
    Open(fake);
    EXPECT_TRUE(Mail("RE24-0001"));
    EXPECT_TRUE(Mail("RE24-0001"));
    EXPECT_EQ(fake.Mails().size(), 2u);
    EXPECT_EQ(fake.TokenRequests(), 1);
    EXPECT_EQ(Rows().size(), 3u);
}

TEST_F(MailInvoiceTest, ThrottlingHintGoesToTheInvoiceLog) {
    int sends = 0;
    TFakeGraphService fake([&sends](const TRecordedRequest& r) -> std::optional<TServerReply> {
        if (TFakeGraphService::IsSendMail(r) && ++sends == 1)
            return TServerReply{429, {{"Retry-After", "0"}}, R"({"error":{"code":"TooManyRequests","message":"x"}})"};
        return std::nullopt;
    });
    Open(fake);
    EXPECT_TRUE(Mail("RE24-0001"));
    ASSERT_GE(Log.size(), 2u);
    EXPECT_THAT(Log[Log.size() - 2], HasSubstr("neuer Versuch"));
    EXPECT_EQ(fake.Mails().size(), 2u);
}

// Whatever goes wrong, neither the client secret nor the access token reaches the
// log, the sent log or a message, even when an answer quotes the request.
TEST_F(MailInvoiceTest, NoSecretInLogsOrMessages) {
    const std::vector<std::string> scenarios = {"token-echo", "graph-echo", "no-server"};
    for (const std::string& scenario : scenarios) {
        SCOPED_TRACE(scenario);
        std::unique_ptr<TFakeGraphService> fake = std::make_unique<TFakeGraphService>(
            [&scenario](const TRecordedRequest& r) -> std::optional<TServerReply> {
                if (scenario == "token-echo" && TFakeGraphService::IsTokenRequest(r))
                    return TServerReply{400, {}, R"({"error":"invalid_request","error_description":"Anfrage: )" +
                                                     r.Body + "\"}"};
                if (scenario == "graph-echo" && TFakeGraphService::IsSendMail(r))
                    return TServerReply{500, {}, "Proxy-Fehler bei " + r.Header("Authorization")};
                return std::nullopt;
            });
        Open(*fake);
        if (scenario == "no-server") fake.reset();
        Log.clear();
        EXPECT_FALSE(Mail("RE24-0001"));
        ASSERT_THAT(Log.back(), StartsWith("FEHLER Versand RE24-0001: "));
        std::string everything = ReadFileBytes(Settings->MailLogFile);
        for (const std::string& line : Log) everything += line + "\n";
        EXPECT_THAT(everything, Not(HasSubstr(kFakeSecret)));
        EXPECT_THAT(everything, Not(HasSubstr(UrlEncodeComponent(kFakeSecret))));
        EXPECT_THAT(everything, Not(HasSubstr(kFakeToken)));
        if (scenario == "token-echo") {
            EXPECT_THAT(Log.back(), HasSubstr("client_secret=***&scope="));
        } else if (scenario == "graph-echo") {
            EXPECT_THAT(Log.back(), HasSubstr("Proxy-Fehler bei Bearer ***"));
        }
        std::remove(Settings->MailLogFile.c_str());
    }
}

TEST_F(MailInvoiceTest, LargeMailGoesOutAsACompleteDraft) {
    TFakeGraphService fake;
    Open(fake);
    UseLargeInlinePicture();
    ASSERT_TRUE(Mail("RE24-0001")) << Log.back();
    EXPECT_TRUE(fake.Mails().empty());
    auto drafts = fake.Drafts();
    ASSERT_EQ(drafts.size(), 1u);
    EXPECT_TRUE(drafts[0].Sent);
    EXPECT_FALSE(drafts[0].Deleted);
    const auto& a = drafts[0].Mail.Attachments;
    ASSERT_EQ(a.size(), 2u);
    EXPECT_TRUE(a[0].Data == ReadFileBytes(Dir.File("out/Rechnung_RE24-0001.pdf")));
    EXPECT_TRUE(a[1].Data == ReadFileBytes(Dir.File("logo.png"))) << "uploaded completely";
    EXPECT_EQ(Rows().at(1).at(4), "OK");
}

// A large mail that fails anywhere on the draft path is no send, leaves no draft behind,
// and the upload session's credential never reaches a log.
TEST_F(MailInvoiceTest, FailedDraftIsNoSendAndIsDeleted) {
    struct Case {
        const char* name;
        std::string error;  // the message in the log and the sent log, "%s" for the fake's address
    };
    const Case cases[] = {
        {"incomplete", "Upload des Anhangs \"%p\" unvollständig: Microsoft 365 erwartet noch die Bytes 0-. Die Mail "
                       "wurde nicht versendet."},
        // The last chunk answered "200 {}": no 201, no ranges, no word that the attachment is whole.
        {"unconfirmed", "Upload des Anhangs \"logo.png\" nicht bestätigt: Microsoft 365 hat nach dem letzten Teil mit "
                        "Status 200 statt 201 geantwortet. Die Mail wurde nicht versendet."},
        {"upload refused", "Upload des Anhangs fehlgeschlagen (400): InvalidRequest: PUT %s/upload/1?*** refused, "
                           "session ***"},
        {"send refused", "Graph-Fehler 500: ErrorInternalServerError: Sendevorgang abgebrochen."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string name = c.name;
        std::string base;
        TFakeGraphService fake([&](const TRecordedRequest& r) -> std::optional<TServerReply> {
            if (name == "incomplete" && TFakeGraphService::IsLastUploadChunk(r))
                return TServerReply{200, {}, R"({"expirationDateTime":"2030-01-01T00:00:00Z","nextExpectedRanges":["0-"]})"};
            if (name == "unconfirmed" && TFakeGraphService::IsLastUploadChunk(r)) return TServerReply{200, {}, "{}"};
            if (name == "upload refused" && TFakeGraphService::IsUploadChunk(r))
                return TServerReply{400, {}, R"({"error":{"code":"InvalidRequest","message":"PUT )" + base + r.Target +
                                                 " refused, session " + kFakeUploadToken + "\"}}"};
            if (name == "send refused" && r.Target.ends_with("/send"))
                return TServerReply{500, {}, R"({"error":{"code":"ErrorInternalServerError","message":"Sendevorgang abgebrochen."}})"};
            return std::nullopt;
        });
        base = fake.BaseUrl();
        Open(fake);
        UseLargeInlinePicture();
        Log.clear();
        EXPECT_FALSE(Mail("RE24-0001"));

        auto drafts = fake.Drafts();
        ASSERT_EQ(drafts.size(), 1u);
        EXPECT_FALSE(drafts[0].Sent);
        EXPECT_TRUE(drafts[0].Deleted) << "no draft left to be sent by hand";
        std::string error = ReplaceAll(c.error, "%s", base);
        if (name == "incomplete" || name == "unconfirmed") {
            ASSERT_EQ(drafts[0].Mail.Attachments.size(), 1u) << "the PDF went, the picture did not complete";
            error = ReplaceAll(error, "%p", "logo.png");
        }
        EXPECT_THAT(Log.back(), ::testing::MatchesRegex("FEHLER Versand RE24-0001: .*"));
        auto rows = Rows();
        ASSERT_EQ(rows.size(), 2u);
        EXPECT_EQ(rows[1][4], "FEHLER");
        EXPECT_THAT(rows[1][5], ::testing::StartsWith(name == "incomplete" ? "Upload des Anhangs \"" : error));
        if (name != "incomplete") {
            EXPECT_EQ(rows[1][5], error);
        }
        EXPECT_EQ(Log.back(), "FEHLER Versand RE24-0001: " + rows[1][5]);
        TDateTime when = 0;
        EXPECT_FALSE(SentLog->LastSent("Muster GmbH", "RE24-0001", when));
        EXPECT_THAT(Traces(), Not(HasSubstr(kFakeUploadToken)));
        EXPECT_THAT(Traces(), Not(HasSubstr("authtoken")));
        std::remove(Settings->MailLogFile.c_str());
    }
}

// A token the service refuses (revoked, clock skew) is dropped for a new sign-in; the
// rest of the run mails as before.
TEST_F(MailInvoiceTest, RefusedTokenIsReplacedForTheRestOfTheRun) {
    TFakeGraphService fake;
    Open(fake);
    ASSERT_TRUE(Mail("RE24-0001"));
    fake.RevokeTokens();
    EXPECT_TRUE(Mail("RE24-0002")) << Log.back();
    EXPECT_TRUE(Mail("RE24-0001")) << Log.back();
    EXPECT_EQ(fake.TokenRequests(), 2) << "one new sign-in, then its token is reused";
    std::vector<std::string> authorizations;
    for (const auto& r : fake.Requests())
        if (TFakeGraphService::IsSendMail(r)) authorizations.push_back(r.Header("Authorization"));
    const std::string first = std::string("Bearer ") + kFakeToken;
    EXPECT_THAT(authorizations, ElementsAre(first, first, first + "2", first + "2"));
    std::vector<std::string> statuses;
    for (size_t i = 1; i < Rows().size(); ++i) statuses.push_back(Rows()[i][4]);
    EXPECT_THAT(statuses, ElementsAre("OK", "OK", "OK"));
}

// The service asks for a wait beyond the cap: the run stops mailing at once and says
// from when to try again, instead of waiting three times a minute for each invoice.
TEST_F(MailInvoiceTest, LongThrottlingEndsTheMailingOfTheRun) {
    TFakeGraphService fake([](const TRecordedRequest& r) -> std::optional<TServerReply> {
        if (TFakeGraphService::IsSendMail(r))
            return TServerReply{429, {{"Retry-After", "3600"}}, R"({"error":{"code":"ApplicationThrottled","message":"x"}})"};
        return std::nullopt;
    });
    Open(fake);
    std::vector<long long> sleeps;
    // The Graph mailer itself, so that its waiting is recorded instead of done.
    auto graph = std::make_unique<TGraphMailer>(Settings->GraphTenant, Settings->GraphClientId, Settings->GraphSecret,
                                                Settings->MailSender, MailEndpoints(*Settings));
    graph->SetSleep([&sleeps](std::chrono::seconds s) { sleeps.push_back(s.count()); });
    Mailer = WrapGraphMailer(std::move(graph), Settings->MailSender);
    const std::vector<std::string> invoices = {"RE24-0001", "RE24-0002", "RE24-0001"};
    for (const std::string& no : invoices) EXPECT_FALSE(Mail(no));

    EXPECT_TRUE(sleeps.empty());
    EXPECT_EQ(fake.Mails().size(), 1u) << "no request after the service asked for an hour";
    auto rows = Rows();
    ASSERT_EQ(rows.size(), 4u);
    const std::string message = rows[1][5];
    EXPECT_THAT(message, ::testing::MatchesRegex(
                             "Microsoft 365 bremst den Versand \\(Status 429\\) und nimmt erst nach 3600 s wieder "
                             "Anfragen an\\. Der Versand ist für diesen Lauf beendet, bitte frühestens ab "
                             "[0-9]{2}\\.[0-9]{2}\\.[0-9]{4} [0-9]{2}:[0-9]{2} Uhr erneut versuchen\\."));
    for (size_t i = 1; i < rows.size(); ++i) {
        EXPECT_EQ(rows[i][2], invoices[i - 1]);
        EXPECT_EQ(rows[i][4], "FEHLER");
        EXPECT_EQ(rows[i][5], message);
    }
    EXPECT_EQ(Log.back(), "FEHLER Versand RE24-0001: " + message);
}

// The connection broke after the mail was handed over: it may have gone out. The
// message says so and the entry says "UNKLAR": never counted as sent, never sent again
// unasked.
TEST_F(MailInvoiceTest, LostAnswerToTheSendLeavesTheOutcomeOpen) {
    TFakeGraphService fake([](const TRecordedRequest& r) -> std::optional<TServerReply> {
        if (!TFakeGraphService::IsSendMail(r)) return std::nullopt;
        TServerReply reply;
        reply.HangUp = true;
        return reply;
    });
    Open(fake);
    EXPECT_FALSE(Mail("RE24-0001"));
    EXPECT_EQ(fake.Mails().size(), 1u) << "not handed over a second time";
    auto rows = Rows();
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[1][4], "UNKLAR");
    EXPECT_EQ(rows[1][3], kTwoAddresses) << "the addresses it was handed over for";
    EXPECT_THAT(rows[1][5], ::testing::StartsWith("Ob die Mail versendet wurde, ist unklar: Die Verbindung zu " +
                                                  fake.BaseUrl() + " brach ab"));
    EXPECT_THAT(rows[1][5], HasSubstr("„Gesendete Elemente“ des Postfachs " + std::string(test::kFakeSender)));
    EXPECT_EQ(Log.back(), "UNKLAR Versand RE24-0001: " + rows[1][5]);
    TDateTime when = 0;
    EXPECT_FALSE(SentLog->LastSent("Muster GmbH", "RE24-0001", when));
    TSentEntry open;
    ASSERT_TRUE(TSentLog(Settings->MailLogFile).OpenSend("Muster GmbH", "RE24-0001", open));
    EXPECT_EQ(open.Status, "UNKLAR");
    EXPECT_EQ(open.Id, fake.Mails()[0].MailId);
}

// A sent log that fails around a mail stops the run and says what became of the mail:
// before the hand-over nothing leaves; after it, the mail is named.
TEST_F(MailInvoiceTest, AnUnwritableSentLogEndsTheRun) {
    TFakeGraphService fake;
    Open(fake);
    ForceDirectories(Dir.File("log-ist-ein-ordner"));
    SentLog = std::make_unique<TSentLog>(Dir.File("log-ist-ein-ordner"));
    try {
        Mail("RE24-0001");
        ADD_FAILURE() << "no error";
    } catch (const ESentLogFailed& e) {
        EXPECT_THAT(e.what(), StartsWith("Das Versandprotokoll ist nicht beschreibbar (Datei \"" +
                                         Dir.File("log-ist-ein-ordner") + "\" kann nicht geschrieben werden"));
        EXPECT_THAT(e.what(), HasSubstr("RE24-0001 wurde nicht versendet. Der Versand ist angehalten."));
        EXPECT_EQ(e.Status, dsFailed);
    }
    EXPECT_TRUE(fake.Mails().empty()) << "nothing leaves unrecorded";
}

// The log fills up between the "LAUFEND" line and the outcome: the mail is named, and the
// line left behind keeps it from going out again.
TEST_F(MailInvoiceTest, ASentLogFailingAfterTheSendNamesTheMail) {
    TFakeGraphService* service = nullptr;
    std::string logFile;
    TFakeGraphService fake([&](const TRecordedRequest& r) -> std::optional<TServerReply> {
        if (!TFakeGraphService::IsSendMail(r)) return std::nullopt;
        std::filesystem::remove(logFile);
        std::filesystem::create_directory(logFile);  // no file to append to any more
        return service->Serve(r);
    });
    service = &fake;
    Open(fake);
    logFile = Settings->MailLogFile;
    try {
        Mail("RE24-0001");
        ADD_FAILURE() << "no error";
    } catch (const ESentLogFailed& e) {
        EXPECT_THAT(e.what(), HasSubstr(std::string("RE24-0001 wurde an ") + kTwoAddresses +
                                        " versendet und steht im Versandprotokoll nur als „LAUFEND“. Der Versand ist "
                                        "angehalten."));
        EXPECT_EQ(e.Status, dsSent);
    }
    EXPECT_EQ(fake.Mails().size(), 1u);
}


TEST_F(MailInvoiceTest, NoSentLogIsAllowed) {
    TFakeGraphService fake;
    Open(fake);
    SentLog.reset();
    EXPECT_TRUE(Mail("RE24-0001"));
    EXPECT_FALSE(FileExists(Settings->MailLogFile));
}

TEST(CreateMailer, IncompleteSettingsAreRefusedBeforeAnyRequest) {
    test::TempFolder dir;
    test::ScopedEnv configHome{"XDG_CONFIG_HOME", dir.Path().c_str()};
    TSettings settings(dir.File("velkaro.ini"));
    for (int missing = 0; missing < 4; ++missing) {
        settings.GraphTenant = missing == 0 ? " " : "contoso";
        settings.GraphClientId = missing == 1 ? "" : "client";
        settings.GraphSecret = missing == 2 ? "" : "geheim";
        settings.MailSender = missing == 3 ? "\t" : "rechnung@muster-gmbh.de";
        try {
            CreateMailer(settings);
            ADD_FAILURE() << "accepted with field " << missing << " missing";
        } catch (const EGraphError& e) {
            const char* names[] = {"Mandanten-ID", "Client-ID", "Secret", "Absender"};
            EXPECT_EQ(e.what(), "E-Mail-Einstellungen unvollständig (" + std::string(names[missing]) + ").");
        }
    }
}

TEST(CreateMailer, ServiceAddressesAndCaBundleComeFromTheSettings) {
    test::TempFolder dir;
    test::ScopedEnv configHome{"XDG_CONFIG_HOME", dir.Path().c_str()};
    const test::TTestCertificate cert = test::MakeSelfSignedCertificate(dir.Path());
    TFakeGraphService login(nullptr, &cert);
    TFakeGraphService graph(nullptr, &cert);
    const std::string ini = dir.File("velkaro.ini");
    WriteFileBytes(ini, "[Graph]\nMandantenID=contoso\nClientID=" + std::string(test::kFakeClientId) +
                            "\nClientSecret=" + kFakeSecret + "\nAbsender=" + test::kFakeSender +
                            "\nAnmeldeServer=" + login.BaseUrl() + "\nGraphServer=" + graph.BaseUrl() +
                            "\nCaZertifikate=" + cert.CertFile + "\n");
    TSettings settings(ini);
    EXPECT_EQ(settings.GraphCaBundle, cert.CertFile);
    std::unique_ptr<IMailer> mailer = CreateMailer(settings);
    mailer->SendEx({"kunde@example.com"}, {}, {}, "", "S", "<p>B</p>", {});
    EXPECT_EQ(login.TokenRequests(), 1);
    EXPECT_EQ(login.Mails().size(), 0u);
    EXPECT_EQ(graph.TokenRequests(), 0);
    EXPECT_EQ(graph.Mails().size(), 1u);

    settings.GraphCaBundle = "";  // the test certificate is not trusted otherwise
    EXPECT_THROW(CreateMailer(settings)->SignIn(), std::exception);
    EXPECT_EQ(login.TokenRequests(), 1);
}

TEST(CreateMailer, EmptyServiceAddressesMeanTheMicrosoftServices) {
    test::TempFolder dir;
    test::ScopedEnv configHome{"XDG_CONFIG_HOME", dir.Path().c_str()};
    TSettings settings(dir.File("velkaro.ini"));
    settings.GraphTenant = "contoso";
    settings.GraphClientId = "client";
    settings.GraphSecret = "geheim";
    settings.MailSender = "rechnung@muster-gmbh.de";
    settings.GraphLoginServer = " ";
    settings.GraphServer = "";
    EXPECT_NO_THROW(CreateMailer(settings));
    settings.GraphServer = "http://graph.example.com";
    EXPECT_THROW(CreateMailer(settings), EGraphError) << "plain http only for loopback";
}

} // namespace
} // namespace velkaro
