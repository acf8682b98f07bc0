// The mail settings dialog's logic against the demo database and the local fake of the
// identity platform and Graph.
#include <gtest/gtest.h>

#include "app/demo_mail_setup.h"
#include "app/fake_graph_service.h"
#include "config/settings.h"
#include "erp/nav_data.h"
#include "invoice/placeholders.h"
#include "platform/files.h"
#include "platform/text.h"
#include "support/test_support.h"
#include "uimodel/mail_settings_presenter.h"

using namespace velkaro;
using velkaro::test::TempFolder;

namespace {

using Strings = std::vector<std::string>;

class MailSettingsPresenterTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!test::CommandExists("sqlite3")) VELKARO_SKIP_UNLESS_CI() << "sqlite3 fehlt (Paket sqlite3)";
        test::WriteDemoMailSettings(Ini(), Folder.File("Ausgabe"), Service.BaseUrl());
        Settings = std::make_unique<TSettings>(Ini());
        Data = std::make_unique<TNavData>(*Settings);
        Presenter = std::make_unique<TMailSettingsPresenter>(*Settings, Data.get(), "Muster GmbH");
    }

    std::string Ini() const { return Folder.File("velkaro.ini"); }

    TempFolder Folder;
    test::TFakeGraphService Service;
    std::unique_ptr<TSettings> Settings;
    std::unique_ptr<TNavData> Data;
    std::unique_ptr<TMailSettingsPresenter> Presenter;
};

TEST_F(MailSettingsPresenterTest, StoredSecretShowsAsBulletsAndStaysUntilTheFieldChanges) {
    TMailSettingsValues values = Presenter->InitialValues();
    EXPECT_EQ(values.Secret, kSecretBullets);
    EXPECT_EQ(values.Tenant, test::kFakeTenant);

    // Untouched bullets keep the stored secret.
    values.Sender = "  neu@muster-gmbh.de ";
    Presenter->Save(values);
    EXPECT_EQ(TSettings(Ini()).GraphSecret, test::kFakeSecret);
    EXPECT_EQ(TSettings(Ini()).MailSender, "neu@muster-gmbh.de");

    // One bullet less is a typed secret; a cleared field stores an empty one.
    values.Secret = std::string(kSecretBullets).substr(3);
    EXPECT_EQ(Presenter->EffectiveSecret(values), values.Secret);
    values.Secret.clear();
    Presenter->Save(values);
    EXPECT_EQ(TSettings(Ini()).GraphSecret, "");
    EXPECT_EQ(TMailSettingsPresenter(*Settings, nullptr, "").InitialValues().Secret, "");
}

TEST_F(MailSettingsPresenterTest, SaveFailureSaysSoAndKeepsTheValuesInTheSettings) {
    TMailSettingsValues values = Presenter->InitialValues();
    values.Subject = "Rechnung {Nr} ";
    // The HTML text goes into a file in a folder that is a file.
    WriteTextFile(Folder.File("blockiert"), "x");
    Settings->MailBodyHtmlFile = Folder.File("blockiert/mail.htm");
    try {
        Presenter->Save(values);
        FAIL() << "saved into a file below a file";
    } catch (const std::exception& e) {
        EXPECT_EQ(std::string(e.what()).rfind("Speichern nicht möglich: ", 0), 0u) << e.what();
        EXPECT_EQ(std::string(e.what()).find(test::kFakeSecret), std::string::npos);
    }
    EXPECT_EQ(Settings->MailSubject, "Rechnung {Nr} ");
}

TEST_F(MailSettingsPresenterTest, ConnectionTestSignsInWithTheTypedValues) {
    TMailSettingsValues values = Presenter->InitialValues();
    EXPECT_EQ(Presenter->TestConnection(values),
              std::string("Anmeldung bei Microsoft 365 erfolgreich.\r\n\r\nOb die App aus dem Postfach ") +
                  test::kFakeSender + " senden darf, zeigt erst eine Testmail.");
    EXPECT_EQ(Service.TokenRequests(), 1);

    values.Secret = "falsch-falsch-falsch";
    try {
        Presenter->TestConnection(values);
        FAIL() << "a wrong secret signed in";
    } catch (const std::exception& e) {
        EXPECT_NE(std::string(e.what()).find("AADSTS7000215"), std::string::npos) << e.what();
        EXPECT_EQ(std::string(e.what()).find("falsch-falsch-falsch"), std::string::npos) << e.what();
    }
    values = Presenter->InitialValues();
    values.Tenant = "";
    EXPECT_THROW(Presenter->TestConnection(values), std::exception);
    EXPECT_EQ(Service.TokenRequests(), 2);
}

TEST_F(MailSettingsPresenterTest, TestMailCarriesSampleDataTheNoticeAndNoBcc) {
    TMailSettingsValues values = Presenter->InitialValues();
    values.Subject = "Rechnung {Nr} von {Firma}";  // typed, not saved
    values.Bcc = "archiv@muster-gmbh.de";
    values.ReplyTo = "buchhaltung@muster-gmbh.de";
    values.SaveToSent = false;
    values.Html = true;
    values.BodyHtml = "<p>Guten Tag {Name},</p>{Signatur}";
    values.Signature = "<p>Ihr Team von {Firma}</p>";
    EXPECT_EQ(Presenter->SendTestMail(values, "pruefer@muster-gmbh.de"), "Testmail an pruefer@muster-gmbh.de übergeben.");

    const std::vector<test::TReceivedMail> mails = Service.Mails();
    ASSERT_EQ(mails.size(), 1u);
    const TPlaceholderContext sample = SampleContext(Data->LoadSeller("Muster GmbH"));
    EXPECT_EQ(mails[0].Subject, "[Testmail] Rechnung " + sample.at("Nr") + " von " + sample.at("Firma"));
    EXPECT_EQ(mails[0].To, (Strings{"pruefer@muster-gmbh.de"}));
    EXPECT_TRUE(mails[0].Bcc.empty());
    EXPECT_EQ(mails[0].ReplyTo, (Strings{"buchhaltung@muster-gmbh.de"}));
    EXPECT_FALSE(mails[0].SaveToSentItems);
    EXPECT_TRUE(mails[0].Attachments.empty());
    EXPECT_NE(mails[0].Body.find("<b>Velkaro \u2013 Testmail</b> mit Beispieldaten"), std::string::npos);
    EXPECT_NE(mails[0].Body.find("Ihr Team von " + sample.at("Firma")), std::string::npos);
    EXPECT_EQ(Settings->MailSubject, TSettings(Ini()).MailSubject) << "nothing saved";
}

TEST_F(MailSettingsPresenterTest, PreviewForSampleDataADemoInvoiceAndAnUnknownNumber) {
    TMailSettingsValues values = Presenter->InitialValues();
    values.Subject = "Rechnung {Nr}";
    values.Html = false;
    values.BodyText = "Guten Tag,\nanbei Rechnung {Nr} <vom> {Datum}.";

    TMailPreview preview = Presenter->Preview(values, " ");
    EXPECT_EQ(preview.File, TMailSettingsPresenter::PreviewFile());
    EXPECT_EQ(ReadFileBytes(preview.File), "\xEF\xBB\xBF" + preview.Document);
    EXPECT_NE(preview.Document.find("Beispieldaten</div>"), std::string::npos) << preview.Document;
    EXPECT_NE(preview.Document.find("&lt;vom&gt;"), std::string::npos);

    preview = Presenter->Preview(values, "RE24-0001");
    EXPECT_NE(preview.Document.find(">Betreff: Rechnung RE24-0001  \u00B7  An: rechnung@baeckerei-schmidt.de"),
              std::string::npos)
        << preview.Document;
    EXPECT_NE(preview.Document.find("anbei Rechnung RE24-0001"), std::string::npos);

    preview = Presenter->Preview(values, "RE99-9999");
    EXPECT_NE(preview.Document.find("color:#335\"></div>"), std::string::npos) << "empty header";
    EXPECT_NE(preview.Document.find("<p style=\"color:red\">"), std::string::npos) << preview.Document;
    EXPECT_NE(preview.Document.find("RE99-9999"), std::string::npos) << preview.Document;
}

TEST(MailSettingsPlaceholders, EntriesAndTheirInsertedText) {
    const Strings entries = TMailSettingsPresenter::PlaceholderEntries();
    ASSERT_EQ(entries.size(), PlaceholderList().size() + 1);
    EXPECT_EQ(entries.front(), "{" + PlaceholderList().front().Key + "}  " + PlaceholderList().front().Description);
    EXPECT_EQ(entries.back(), "{Signatur}  Position der HTML-Signatur im HTML-Text");
    EXPECT_EQ(TMailSettingsPresenter::PlaceholderText(entries.back()), "{Signatur}");
    EXPECT_EQ(TMailSettingsPresenter::PlaceholderText("{Nr}  Nummer {mit} Klammer"), "{Nr}");

    TempFolder folder;
    TSettings settings(folder.File("velkaro.ini"));
    TMailSettingsPresenter p(settings, nullptr, "");
    EXPECT_EQ(p.LastFocus(), mtHtml);
    p.FocusEntered(mtSubject);
    EXPECT_EQ(p.LastFocus(), mtSubject);
}

TEST(MailSettingsImages, APictureIsCopiedOnceAndReferencedRelatively) {
    TempFolder folder;
    TSettings settings(folder.File("velkaro.ini"));
    TMailSettingsPresenter p(settings, nullptr, "");
    WriteFileBytes(folder.File("logo.png"), "PNG-1");
    EXPECT_EQ(p.InsertImage(folder.File("logo.png")),
              "<img src=\"Signatur/logo.png\" alt=\"Logo\" style=\"height:50px;border:0\">");
    EXPECT_EQ(ReadFileBytes(folder.File("Signatur/logo.png")), "PNG-1");

    // Chosen from the image folder itself: no copy onto itself (which would empty it).
    EXPECT_EQ(p.InsertImage(folder.File("Signatur/../Signatur/logo.png")),
              "<img src=\"Signatur/logo.png\" alt=\"Logo\" style=\"height:50px;border:0\">");
    EXPECT_EQ(ReadFileBytes(folder.File("Signatur/logo.png")), "PNG-1");
}

} // namespace
