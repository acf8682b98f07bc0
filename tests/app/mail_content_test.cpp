#include "app/mail_content.h"

#include <gtest/gtest.h>

#include "platform/error.h"
#include "platform/files.h"
#include "support/test_support.h"

namespace velkaro {
namespace {

TPlaceholderContext Values() {
    TPlaceholderContext c = NewPlaceholderContext();
    c["Nr"] = "RE-1";
    c["K.Name"] = "Müller & Söhne <Bau>";
    c["K.UStId"] = "";
    return c;
}

TEST(PlainTextToHtml, Table) {
    const std::string open = "<html><body style=\"font-family:Arial,sans-serif;font-size:10pt\">";
    const std::string close = "</body></html>";
    struct Case { const char* templ; std::string html; };
    const Case cases[] = {
        {"Rechnung {Nr}\r\n\r\nfür a < b & c", open + "Rechnung RE-1<br>\n<br>\nfür a &lt; b &amp; c<br>\n" + close},
        {"Hallo {K.Name}", open + "Hallo Müller &amp; Söhne &lt;Bau&gt;<br>\n" + close},
        {"Text\nIhre USt-IdNr.: {K.UStId}\nEnde", open + "Text<br>\nEnde<br>\n" + close},
        {"Text mit <b>fett</b>", open + "Text mit &lt;b&gt;fett&lt;/b&gt;<br>\n" + close},
        {"", open + close},
        // HTML already: neither escaped nor wrapped, only the values are escaped.
        {" \r\n\t<p>{Nr}</p>\r\n<p>{K.UStId}</p>\r\n<p>{K.Name} & Co</p>",
         " \n\t<p>RE-1</p>\n<p>Müller &amp; Söhne &lt;Bau&gt; & Co</p>\n"},
    };
    for (const auto& c : cases) EXPECT_EQ(PlainTextToHtml(c.templ, Values()), c.html) << c.templ;
}

class ComposeInvoiceMailTest : public ::testing::Test {
protected:
    test::TempFolder Folder;
    std::unique_ptr<TSettings> Settings;
    TInvoice Inv;
    TSeller Seller;
    std::string Subject = "alt", Body = "alt";
    std::vector<TMailAttachment> Images = std::vector<TMailAttachment>(2);

    void SetUp() override {
        ForceDirectories(Folder.File("Signatur"));
        WriteFileBytes(Folder.File("Signatur/logo.png"), test::OnePixelGif(1, 2, 3));
        Settings = std::make_unique<TSettings>(Folder.File("velkaro.ini"));
        Settings->MailSubject = "Rechnung {Nr} vom {Datum}";
        Settings->MailBody = "Guten Tag,\r\nanbei Rechnung {Nr} über {Betrag} {Waehrung}.\r\nA&B <GmbH>";
        Settings->MailBodyHtml = "<p>Rechnung {Nr} für {K.Name}</p>\r\n<img src=\"Signatur/logo.png\">\r\n{Signatur}";
        Settings->MailSignatureHtml = "<img src=\"" + Folder.File("Signatur/logo.png") + "\"><br>{Firma}";
        Inv.No = "RE-2026-5";
        Inv.DocumentDate = EncodeDate(2026, 11, 24);
        Inv.DuePayable = Currency::Parse("1190");
        Inv.BillTo.Name = "Kunde & Co";
        Seller.Addr.Name = "Velkaro GmbH";
    }

    void Compose() { ComposeInvoiceMail(Inv, Seller, *Settings, Subject, Body, Images); }
};

TEST_F(ComposeInvoiceMailTest, HtmlTemplatesWithLogoAttachedOnce) {
    Settings->MailHtml = true;
    Compose();
    EXPECT_EQ(Subject, "Rechnung RE-2026-5 vom 24.11.2026");
    EXPECT_NE(Body.find("<p>Rechnung RE-2026-5 für Kunde &amp; Co</p>"), std::string::npos) << Body;
    EXPECT_NE(Body.find("<img src=\"cid:img1@velkaro\">\r\n<img src=\"cid:img1@velkaro\"><br>Velkaro GmbH"),
              std::string::npos)
        << Body;
    ASSERT_EQ(Images.size(), 1u);
    EXPECT_EQ(Images[0].Data, test::OnePixelGif(1, 2, 3));
    EXPECT_EQ(Images[0].ContentId, "img1@velkaro");
}

TEST_F(ComposeInvoiceMailTest, PlainTemplateEscapedWithoutImages) {
    Settings->MailHtml = false;
    Compose();
    EXPECT_EQ(Body,
              "<html><body style=\"font-family:Arial,sans-serif;font-size:10pt\">Guten Tag,<br>\n"
              "anbei Rechnung RE-2026-5 über 1.190,00 EUR.<br>\nA&amp;B &lt;GmbH&gt;<br>\n</body></html>");
    EXPECT_TRUE(Images.empty());
}

TEST_F(ComposeInvoiceMailTest, SubjectOfEmptyPlaceholdersOnlyIsEmpty) {
    Settings->MailSubject = "{Referenz} {Bestellung}";
    Compose();
    EXPECT_EQ(Subject, "");
    Settings->MailSubject = "Ihre Referenz {Referenz}";
    Inv.YourReference = "";
    Compose();
    EXPECT_EQ(Subject, "");
}

TEST_F(ComposeInvoiceMailTest, DefaultTemplatesOfFreshSettings) {
    TSettings fresh(Folder.File("neu.ini"));
    Seller.Phone = "";
    ComposeInvoiceMail(Inv, Seller, fresh, Subject, Body, Images);
    EXPECT_EQ(Subject, "Rechnung RE-2026-5 vom 24.11.2026");
    // Every placeholder filled, the signature at its marker, the empty telephone line gone.
    EXPECT_EQ(Body.find("{", Body.find("</style>")), std::string::npos) << Body;
    const size_t signature = Body.find("<b style=\"font-size:10pt;color:#000000\">Velkaro GmbH</b>");
    ASSERT_NE(signature, std::string::npos) << Body;
    EXPECT_LT(Body.find("Mit freundlichen Grüßen"), signature);
    EXPECT_EQ(Body.find("\r\n</body></html>"), Body.size() - 16);
    EXPECT_EQ(Body.find("Tel. "), std::string::npos);
    EXPECT_TRUE(Images.empty());

    fresh.MailHtml = false;
    ComposeInvoiceMail(Inv, Seller, fresh, Subject, Body, Images);
    EXPECT_NE(Body.find("Sehr geehrte Damen und Herren,<br>\n<br>\nanbei"), std::string::npos) << Body;
    EXPECT_EQ(Body.find("Tel. "), std::string::npos);
}

TEST_F(ComposeInvoiceMailTest, ImageErrorsReachTheCaller) {
    Settings->MailHtml = true;
    Settings->MailBodyHtml = "<img src=\"Signatur/logo%zz.png\">";
    EXPECT_THROW(Compose(), Exception);
}

} // namespace
} // namespace velkaro
