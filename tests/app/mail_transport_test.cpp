// The choice between Microsoft 365 and an SMTP server: when mailing counts as set up,
// which mailer the settings make, which secret "/geheimnis" stores, and the connection
// test and test mail the mail settings dialog offers for the SMTP route.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "app/mail_transport.h"
#include "config/settings.h"
#include "local_smtp_server.h"
#include "platform/files.h"
#include "platform/text.h"
#include "support/test_support.h"

namespace velkaro {
namespace {

using ::testing::HasSubstr;

TMailTransportValues Smtp(std::string server, std::string user, std::string password) {
    TMailTransportValues v;
    v.Route = mrSmtp;
    v.SmtpServer = std::move(server);
    v.SmtpUser = std::move(user);
    v.SmtpPassword = std::move(password);
    v.SmtpSender = "rechnung@muster-gmbh.de";
    return v;
}

TEST(MailTransport, IsSetUpByTheRulesOfTheChosenRoute) {
    TMailTransportValues graph;
    graph.Tenant = "contoso";
    graph.ClientId = "client";
    graph.Secret = "geheim";
    graph.Sender = "rechnung@muster-gmbh.de";
    TMailTransportValues noSender = Smtp("mail.firma.de", "", "");
    noSender.SmtpSender = "";
    TMailTransportValues graphSender = noSender;
    graphSender.Sender = "rechnung@muster-gmbh.de";
    TMailTransportValues exchangeOnlineWithApp = Smtp("smtp.office365.com", "", "");
    exchangeOnlineWithApp.Tenant = "contoso";
    exchangeOnlineWithApp.ClientId = "client";
    exchangeOnlineWithApp.Secret = "geheim";
    TMailTransportValues graphWithoutSecret = graph;
    graphWithoutSecret.Secret.clear();
    const std::pair<TMailTransportValues, bool> cases[] = {
        {graph, true},
        {graphWithoutSecret, false},
        {Smtp("mail.firma.de", "", ""), true},  // a relay that trusts the machine
        {Smtp("mail.firma.de", "ich", "pw"), true},
        {Smtp("mail.firma.de", "ich", ""), false},
        {Smtp(" ", "ich", "pw"), false},
        {noSender, false},
        {graphSender, true},                        // the sender of [Graph] serves
        {Smtp("smtp.office365.com", "", ""), false},  // OAuth needs the app registration
        {exchangeOnlineWithApp, true},
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(IsMailSetUp(cases[i].first), cases[i].second);
    }
    EXPECT_EQ(EffectiveSender(graphSender), "rechnung@muster-gmbh.de");
    EXPECT_THROW(ParseMailRoute("Exchange"), EGraphError);
    EXPECT_EQ(ParseMailRoute(" smtp "), mrSmtp);
    EXPECT_EQ(ParseSmtpSecurity(""), ssStartTls);
    EXPECT_EQ(ParseSmtpSecurity("keine"), ssNone);
    EXPECT_THROW(ParseSmtpSecurity("SSL"), EGraphError);
}

class MailTransportFile : public ::testing::Test {
protected:
    test::TempFolder Dir;
    test::ScopedEnv ConfigHome{"XDG_CONFIG_HOME", Dir.Path().c_str()};  // key of the protected values
    std::string Ini = Dir.File("velkaro.ini");
};

TEST_F(MailTransportFile, SettingsMakeTheMailerOfTheirRouteAndNameWhatIsMissing) {
    WriteFileBytes(Ini, "[Versand]\nWeg=SMTP\n[SMTP]\nBenutzer=ich\nAbsender=rechnung@muster-gmbh.de\n");
    TSettings settings(Ini);
    EXPECT_FALSE(IsMailSetUp(settings));
    EXPECT_EQ(test::ErrorOf([&] { CreateMailer(settings); }), "SMTP-Einstellungen unvollständig (Server, Passwort).");
    settings.SmtpServer = "mail.firma.de";
    settings.SmtpPassword = "pw";
    EXPECT_TRUE(IsMailSetUp(settings));
    EXPECT_EQ(CreateMailer(settings)->Describe(), "rechnung@muster-gmbh.de über mail.firma.de:587");
    settings.MailRoute = "Post";
    EXPECT_FALSE(IsMailSetUp(settings));
    EXPECT_THAT(test::ErrorOf([&] { CreateMailer(settings); }), HasSubstr("[Versand] Weg="));
}

TEST_F(MailTransportFile, SecretInputStoresThePasswordOnlyForTheSmtpRouteWithAUser) {
    WriteFileBytes(Ini, "[Graph]\nMandantenID=contoso\n[Versand]\nWeg=SMTP\n[SMTP]\nServer=mail.firma.de\n");
    EXPECT_EQ(StoreMailSecret(Ini, "app-secret-123"), "Client-Secret");
    WriteFileBytes(Ini, ReplaceAll(ReadFileBytes(Ini), "Server=mail.firma.de", "Server=mail.firma.de\nBenutzer=ich"));
    EXPECT_EQ(StoreMailSecret(Ini, "smtp-pass-456"), "SMTP-Passwort");
    const std::string text = ReadFileBytes(Ini);
    EXPECT_THAT(text, HasSubstr("PasswortGeschuetzt="));
    EXPECT_THAT(text, ::testing::Not(HasSubstr("smtp-pass-456")));
    TSettings settings(Ini);
    EXPECT_EQ(settings.GraphSecret, "app-secret-123");
    EXPECT_EQ(settings.SmtpPassword, "smtp-pass-456");
}

TEST_F(MailTransportFile, DialogTestsTheConnectionAndSendsATestMailThroughSmtp) {
    if (const std::string missing = test::SmtpServerMissing(); !missing.empty())
        VELKARO_SKIP_UNLESS_CI() << missing;
    // Unencrypted to this machine without sign-in: the smallest route there is.
    test::TLocalSmtpServer::TOptions plain;
    plain.Tls = false;
    test::TLocalSmtpServer server(plain);
    TSettings settings(Ini);
    TMailTransportValues values = Smtp("127.0.0.1", "", "");
    values.SmtpPort = std::to_string(server.Port());
    values.SmtpSecurity = "Keine";
    values.SmtpBcc = "archiv@muster-gmbh.de";

    EXPECT_THAT(TestMailTransport(values, settings),
                HasSubstr("Verbindung zum Mailserver erfolgreich (Keine, ohne Anmeldung)"));
    EXPECT_TRUE(server.Mails().empty());
    EXPECT_EQ(SendTestMail(values, settings, "pruefer@muster-gmbh.de", "[Testmail] Rechnung", "<p>Test</p>", {}),
              "Testmail an pruefer@muster-gmbh.de übergeben.");
    ASSERT_EQ(server.Mails().size(), 1u);
    EXPECT_EQ(server.Mails()[0].To, (std::vector<std::string>{"pruefer@muster-gmbh.de", "archiv@muster-gmbh.de"}));

    // The STARTTLS server with sign-in: a wrong password is named, never shown.
    test::TLocalSmtpServer::TOptions secured;
    secured.User = "ich";
    secured.Password = "richtig-und-lang";
    test::TLocalSmtpServer tls(secured);
    TMailTransportValues signIn = Smtp("127.0.0.1", "ich", "falsch-und-lang");
    signIn.SmtpPort = std::to_string(tls.Port());
    signIn.SmtpCaFile = test::TestCertificates().CaFile;
    const std::string error = test::ErrorOf([&] { TestMailTransport(signIn, settings); });
    EXPECT_THAT(error, HasSubstr("Anmeldung am Mailserver 127.0.0.1:" + std::to_string(tls.Port()) +
                                 " als \"ich\" fehlgeschlagen"));
    EXPECT_THAT(error, ::testing::Not(HasSubstr("falsch-und-lang")));
    signIn.SmtpPassword = "richtig-und-lang";
    EXPECT_THAT(TestMailTransport(signIn, settings), HasSubstr("(STARTTLS, angemeldet als \"ich\")"));
    // Without the CA file the test CA is unknown: refused, never sent unchecked.
    signIn.SmtpCaFile.clear();
    EXPECT_THAT(test::ErrorOf([&] { TestMailTransport(signIn, settings); }),
                HasSubstr("sein Zertifikat ist nicht vertrauenswürdig"));
}

TEST(SmtpMailer, SignsInWithAnOAuthTokenWhenThereIsNoUser) {
    if (const std::string missing = test::SmtpServerMissing(); !missing.empty())
        VELKARO_SKIP_UNLESS_CI() << missing;
    test::TLocalSmtpServer::TOptions o;
    o.OAuthUser = "rechnung@muster-gmbh.de";
    o.OAuthToken = "eyJ0eXAiOiJKV1QiLCJhbGciOiJSUzI1NiJ9.app-token";
    test::TLocalSmtpServer server(o);
    TSmtpAccount account;
    account.Server = "127.0.0.1";
    account.Port = server.Port();
    account.Sender = o.OAuthUser;
    account.CaFile = test::TestCertificates().CaFile;
    int tokens = 0;
    std::string token = o.OAuthToken;
    TSmtpMailer mailer(account, [&] {
        ++tokens;
        return token;
    });
    mailer.SignIn();
    mailer.SendEx({"kunde@example.com"}, {}, {}, "", "Rechnung", "<p>x</p>", {});
    EXPECT_EQ(tokens, 2) << "a current token for every connection";
    ASSERT_EQ(server.Mails().size(), 1u);

    token = "abgelaufen";
    const std::string error = test::ErrorOf([&] { mailer.SignIn(); });
    EXPECT_THAT(error, HasSubstr("als \"rechnung@muster-gmbh.de (OAuth-Token der App aus [Graph])\" fehlgeschlagen"));
    EXPECT_THAT(error, ::testing::Not(HasSubstr(o.OAuthToken)));
}

} // namespace
} // namespace velkaro
