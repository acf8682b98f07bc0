// The SMTP mailer's messages as bytes: encoded words, folding, quoted-printable, the
// MIME tree, and the refusal of header texts that would break a header.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "mail/mime_message.h"
#include "mail/smtp_mailer.h"
#include "platform/base64.h"
#include "platform/files.h"
#include "platform/text.h"
#include "support/test_support.h"

namespace velkaro {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

std::vector<std::string> Lines(const std::string& text) { return Split(ReplaceAll(text, "\r\n", "\n"), '\n'); }

std::string Repeated(const std::string& text, int times) {
    std::string out;
    for (int i = 0; i < times; ++i) out += text;
    return out;
}

size_t LongestLine(const std::string& text) {
    size_t longest = 0;
    for (const std::string& line : Lines(text)) longest = std::max(longest, line.size());
    return longest;
}

// The text of a header made of "=?UTF-8?B?…?=" words, decoded.
std::string DecodeWords(const std::string& header) {
    std::string out;
    for (size_t pos = header.find("=?UTF-8?B?"); pos != std::string::npos; pos = header.find("=?UTF-8?B?", pos)) {
        const size_t end = header.find("?=", pos + 10);
        out += Base64Decode(header.substr(pos + 10, end - pos - 10)).value_or("<kaputt>");
        pos = end + 2;
    }
    return out;
}

TEST(MimeHeader, PlainAsciiIsFoldedAtBlanksAndEverythingElseBecomesEncodedWords) {
    struct Case {
        std::string text;
        bool encoded;
    };
    const std::string longWord(120, 'x');
    const Case cases[] = {
        {"Rechnung RE24-0001 vom 05.03.2024", false},
        {"Rechnung RE24-0001 vom 05.03.2024 " + std::string(30, 'a') + " " + std::string(30, 'b') + " ende", false},
        {"Rechnung über 1.190,00 € – Bäckerei Schmidt", true},
        {"[TEST, eigentlich an: " + std::string(40, 'z') + "] Rechnung 😀 " + Repeated("ü", 60), true},
        {longWord, true},              // no blank to fold at
        {"Sieht aus wie =?kodiert?=", true},  // would be read as an encoded word
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const std::string header = EncodedHeader("Subject", c.text);
        EXPECT_TRUE(header.ends_with("\r\n"));
        EXPECT_LE(LongestLine(header), 78u);
        EXPECT_EQ(header.find("=?UTF-8?B?") != std::string::npos, c.encoded);
        for (const std::string& line : Lines(header))
            for (size_t pos = line.find("=?"); pos != std::string::npos; pos = line.find("=?", pos + 2))
                EXPECT_LE(line.find("?=", line.find("?B?", pos) + 3) + 2 - pos, 75u);
        const std::string unfolded = ReplaceAll(header.substr(9, header.size() - 11), "\r\n ", c.encoded ? "" : " ");
        EXPECT_EQ(c.encoded ? DecodeWords(unfolded) : unfolded, c.text);
    }
    EXPECT_THROW(EncodedHeader("Subject", "Rechnung\r\nBcc: alle@example.com"), EGraphError);
}

TEST(MimeQuotedPrintable, KeepsLinesShortAndEncodesWhatMustBe) {
    const std::string html = "<p>Grüße=\"x\"</p>  \r\n" + std::string(200, 'a') + "\n.Punkt am Anfang\r\nEnde \t";
    const std::string qp = QuotedPrintable(html);
    EXPECT_LE(LongestLine(qp), 76u);
    EXPECT_THAT(qp, HasSubstr("Gr=C3=BC=C3=9Fe=3D\"x\"</p> =20\r\n"));
    EXPECT_THAT(qp, HasSubstr("\r\n=2EPunkt am Anfang\r\n"));
    EXPECT_TRUE(qp.ends_with("Ende =09"));
    // Undoing the soft breaks and the escapes gives the text back (with CR LF line ends).
    std::string decoded = ReplaceAll(qp, "=\r\n", "");
    std::string plain;
    for (size_t i = 0; i < decoded.size(); ++i) {
        if (decoded[i] == '=' && i + 2 < decoded.size()) {
            plain += static_cast<char>(std::stoi(decoded.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else {
            plain += decoded[i];
        }
    }
    EXPECT_EQ(plain, ReplaceAll(ReplaceAll(html, "\r\n", "\n"), "\n", "\r\n"));
}

TEST(MimeMessage, CarriesHeadersBodyPicturesAndFilesInOneTree) {
    TMimeMail mail;
    mail.From = "Muster GmbH <rechnung@muster-gmbh.de>";
    mail.To = {"rechnung@baeckerei-schmidt.de", "Bäckerei Schmidt <info@baeckerei-schmidt.de>"};
    mail.ReplyTo = {"buchhaltung@muster-gmbh.de"};
    mail.Subject = "Rechnung RE24-0001";
    mail.HtmlBody = "<html><body><p>Anbei</p><img src=\"cid:img1@velkaro\"></body></html>";
    mail.Date = std::chrono::system_clock::from_time_t(1700000000);
    mail.Attachments = {{"Rechnung_RE24-0001.pdf", "application/pdf", std::string(5000, '\x01'), false, ""},
                        {"logo.png", "image/png", "\x89PNG", true, "img1@velkaro"},
                        {"Übersicht.xml", "application/xml", "<x/>", false, ""}};
    const std::string message = BuildMimeMessage(mail);

    EXPECT_LE(LongestLine(message), 78u);
    EXPECT_EQ(message.find('\n'), message.find("\r\n") + 1) << "CR LF line ends";
    EXPECT_THAT(message, HasSubstr("From: Muster GmbH <rechnung@muster-gmbh.de>\r\n"));
    EXPECT_THAT(message, HasSubstr("To: rechnung@baeckerei-schmidt.de,\r\n =?UTF-8?B?"));
    EXPECT_THAT(message, HasSubstr("?= <info@baeckerei-schmidt.de>\r\n"));
    EXPECT_THAT(message, HasSubstr("Reply-To: buchhaltung@muster-gmbh.de\r\n"));
    EXPECT_THAT(message, HasSubstr("Message-ID: <"));
    EXPECT_THAT(message, HasSubstr("@muster-gmbh.de>\r\n"));
    EXPECT_THAT(message, ::testing::ContainsRegex("Date: [A-Z][a-z]{2}, 1[45] Nov 2023 [0-9:]{8} [+-][0-9]{4}\r\n"));
    EXPECT_THAT(message, HasSubstr("MIME-Version: 1.0\r\n"));
    EXPECT_THAT(message, Not(HasSubstr("Bcc")));
    // mixed( related( html, picture ), pdf, xml )
    const size_t mixed = message.find("multipart/mixed");
    const size_t related = message.find("multipart/related");
    const size_t html = message.find("text/html; charset=UTF-8");
    const size_t picture = message.find("Content-ID: <img1@velkaro>");
    const size_t pdf = message.find("filename=\"Rechnung_RE24-0001.pdf\"");
    const size_t xml = message.find("filename*=UTF-8''%C3%9Cbersicht.xml");
    for (size_t pos : {mixed, related, html, picture, pdf, xml}) ASSERT_NE(pos, std::string::npos) << message;
    EXPECT_TRUE(mixed < related && related < html && html < picture && picture < pdf && pdf < xml);
    EXPECT_THAT(message, HasSubstr(Base64Encode(std::string(57, '\x01')) + "\r\n")) << "base64 in lines of 76";
}

TEST(MimeMessage, RefusesAddressesThatWouldBreakTheMessage) {
    for (const std::string& bad : {std::string("a@b.de\r\nBcc: x@y.de"), std::string("kein Adresse"),
                                   std::string("müller@example.de"), std::string("")}) {
        SCOPED_TRACE(bad);
        TMimeMail mail;
        mail.From = "rechnung@muster-gmbh.de";
        mail.To = {bad};
        EXPECT_THROW(BuildMimeMessage(mail), EGraphError);
    }
    EXPECT_EQ(MailboxAddress("  Name <a@b.de> "), "a@b.de");
    EXPECT_EQ(MailboxAddress("a@b.de"), "a@b.de");
}

TEST(SmtpMailer, RefusesIncompleteOrUnsafeSettingsBeforeAnyConnection) {
    struct Case {
        TSmtpAccount account;
        std::string message;
    };
    const auto account = [](std::string server, TSmtpSecurity security, std::string user, std::string password) {
        TSmtpAccount a;
        a.Server = std::move(server);
        a.Security = security;
        a.User = std::move(user);
        a.Password = std::move(password);
        a.Sender = "rechnung@muster-gmbh.de";
        return a;
    };
    TSmtpAccount noSender = account("mail.firma.de", ssStartTls, "", "");
    noSender.Sender = " ";
    const Case cases[] = {
        {account("", ssStartTls, "", ""), "SMTP-Einstellungen unvollständig (Server)."},
        {noSender, "SMTP-Einstellungen unvollständig (Absender)."},
        {account("mail.firma.de", ssStartTls, "ich", ""), "SMTP-Einstellungen unvollständig (Passwort)."},
        {account("mail.firma.de", ssNone, "", ""), "Sicherheit=Keine ist nur für einen Mailserver auf diesem Rechner"},
        {account("smtp://mail.firma.de", ssTls, "", ""), "Ungültiger SMTP-Server"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        EXPECT_THAT(test::ErrorOf([&] { TSmtpMailer m(c.account); }), HasSubstr(c.message));
    }
    EXPECT_NO_THROW(TSmtpMailer(account("127.0.0.1", ssNone, "", "")));
    EXPECT_NO_THROW(TSmtpMailer(account("localhost", ssNone, "ich", "pw")));
    EXPECT_EQ(SmtpOrigin(account("mail.firma.de", ssTls, "", "")), "mail.firma.de:465");
    EXPECT_EQ(SmtpOrigin(account("::1", ssNone, "", "")), "[::1]:25");
    EXPECT_EQ(DefaultSmtpPort(ssStartTls), 587);
    EXPECT_TRUE(IsExchangeOnline(" SMTP.Office365.com "));
    EXPECT_FALSE(IsExchangeOnline("mail.firma.de"));
}

TEST(SmtpMailer, AnExtraCaComesOnTopOfTheSystemsAuthorities) {
    test::TempFolder dir;
    const std::string system = dir.File("system.pem"), extra = dir.File("firma.pem");
    WriteFileBytes(system, "-----BEGIN CERTIFICATE-----\nSYSTEM\n-----END CERTIFICATE-----");
    WriteFileBytes(extra, "-----BEGIN CERTIFICATE-----\nFIRMA\n-----END CERTIFICATE-----\n");
    EXPECT_EQ(CombinedCaBundle(system, extra), ReadFileBytes(system) + "\n" + ReadFileBytes(extra));
    EXPECT_EQ(CombinedCaBundle("", extra), ReadFileBytes(extra));
    EXPECT_THAT(test::ErrorOf([&] { CombinedCaBundle(system, dir.File("fehlt.pem")); }),
                HasSubstr("([SMTP] CAFile) ist nicht lesbar"));
    WriteFileBytes(extra, "kein Zertifikat");
    EXPECT_THAT(test::ErrorOf([&] { CombinedCaBundle(system, extra); }), HasSubstr("enthält kein Zertifikat"));
}

} // namespace
} // namespace velkaro
