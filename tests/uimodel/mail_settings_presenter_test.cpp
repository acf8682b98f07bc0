// The mail settings dialog's logic with a fake dialog and the main window's fake
// services: against the demo database and the local fake of the identity platform and
// Graph, and on small settings files for what saving writes.
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>

#include "app/demo_mail_setup.h"
#include "app/fake_graph_service.h"
#include "config/settings.h"
#include "erp/nav_data.h"
#include "fake_main_window.h"
#include "invoice/placeholders.h"
#include "platform/files.h"
#include "platform/private_temp.h"
#include "platform/text.h"
#include "support/test_support.h"
#include "uimodel/mail_settings_presenter.h"

using namespace velkaro;
using velkaro::test::TempFolder;

namespace {

using Strings = std::vector<std::string>;

// The dialog: fields a test types into, and what the presenter showed. Its editors keep
// LF line ends only, as the toolkit's do.
class FakeMailSettingsView : public TMailSettingsView {
public:
    void ShowValues(const TMailSettingsValues& values) override {
        Fields = values;
        for (std::string* text : {&Fields.BodyHtml, &Fields.Signature, &Fields.BodyText})
            *text = ReplaceAll(*text, "\r\n", "\n");
    }
    TMailSettingsValues Values() const override { return Fields; }
    std::string PreviewInvoiceNo() const override { return PreviewNo; }
    std::optional<std::string> AskTestRecipient(const std::string& suggestion) override {
        Suggestions.push_back(suggestion);
        return RecipientAnswer;
    }
    void SetSignature(const std::string& html) override { Fields.Signature = html; }
    void InsertIntoSignature(const std::string& text) override { Fields.Signature += text; }
    void ShowPreview(const TMailPreview& preview) override { Previews.push_back(preview); }

    TMailSettingsValues Fields;
    std::string PreviewNo;
    std::optional<std::string> RecipientAnswer;  // nullopt: the input box is cancelled
    Strings Suggestions;
    std::vector<TMailPreview> Previews;
};

class MailSettingsPresenterTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!test::CommandExists("sqlite3")) VELKARO_SKIP_UNLESS_CI() << "sqlite3 fehlt (Paket sqlite3)";
        test::WriteDemoMailSettings(Ini(), Folder.File("Ausgabe"), Service.BaseUrl());
        Settings = std::make_unique<TSettings>(Ini());
        Data = std::make_unique<TNavData>(*Settings);
        Presenter = std::make_unique<TMailSettingsPresenter>(*Settings, Data.get(), "Muster GmbH", View,
                                                             Window.Services());
        Presenter->Start();
    }

    std::string Ini() const { return Folder.File("velkaro.ini"); }

    TempFolder Folder;
    test::TFakeGraphService Service;
    std::unique_ptr<TSettings> Settings;
    std::unique_ptr<TNavData> Data;
    FakeMailSettingsView View;
    test::FakeMainWindow Window;
    std::unique_ptr<TMailSettingsPresenter> Presenter;
};

TEST_F(MailSettingsPresenterTest, StartShowsTheStoredValuesWithTheSecretAsBullets) {
    EXPECT_EQ(View.Fields.Secret, kSecretBullets);
    EXPECT_EQ(View.Fields.Tenant, test::kFakeTenant);
    EXPECT_EQ(View.Fields.Sender, test::kFakeSender);
    EXPECT_EQ(Presenter->SecretDisplay().Hint, "verschlüsselt gespeichert (Benutzerschlüssel)");
    EXPECT_EQ(Presenter->SecretDisplay().Problem, "");

    // One bullet less is a typed secret.
    TMailSettingsValues values = View.Fields;
    values.Secret = std::string(kSecretBullets).substr(3);
    EXPECT_EQ(Presenter->EffectiveSecret(values), values.Secret);
    EXPECT_EQ(Presenter->EffectiveSecret(View.Fields), test::kFakeSecret);
}

TEST_F(MailSettingsPresenterTest, SaveFailureSaysSoAndKeepsTheValuesInTheSettings) {
    View.Fields.BodyHtml = "<p>neu</p>";
    View.Fields.Subject = "Rechnung {Nr} ";
    // The HTML text goes into a file in a folder that is a file.
    WriteTextFile(Folder.File("blockiert"), "x");
    Settings->MailBodyHtmlFile = Folder.File("blockiert/mail.htm");
    EXPECT_FALSE(Presenter->Save());
    ASSERT_EQ(Window.Errors.size(), 1u);
    EXPECT_TRUE(Window.Errors[0].starts_with("Speichern nicht möglich: ")) << Window.Errors[0];
    EXPECT_EQ(Window.Errors[0].find(test::kFakeSecret), std::string::npos);
    EXPECT_EQ(Settings->MailSubject, "Rechnung {Nr} ");
}

TEST_F(MailSettingsPresenterTest, ConnectionTestSignsInWithTheTypedValues) {
    Presenter->TestConnection();
    EXPECT_EQ(Window.Informed, (Strings{std::string("Anmeldung bei Microsoft 365 erfolgreich.\r\n\r\nOb die App aus "
                                                    "dem Postfach ") +
                                        test::kFakeSender + " senden darf, zeigt erst eine Testmail."}));
    EXPECT_EQ(Service.TokenRequests(), 1);
    EXPECT_EQ(Window.BusyDepth, 0);

    // A wrong secret: a German sentence first, the service's detail after it, the secret masked.
    View.Fields.Secret = "falsch-falsch-falsch";
    Presenter->TestConnection();
    ASSERT_EQ(Window.Errors.size(), 1u);
    const std::string& error = Window.Errors[0];
    EXPECT_TRUE(error.starts_with("Der Verbindungstest ist fehlgeschlagen.\r\n\r\nAnmeldung bei Microsoft 365 "
                                  "fehlgeschlagen"))
        << error;
    EXPECT_NE(error.find("AADSTS7000215"), std::string::npos) << error;
    EXPECT_EQ(error.find("falsch-falsch-falsch"), std::string::npos) << error;

    View.Fields = Presenter->InitialValues();
    View.Fields.Tenant = "";
    Presenter->TestConnection();
    ASSERT_EQ(Window.Errors.size(), 2u);
    EXPECT_EQ(Window.Errors[1], "Der Verbindungstest ist fehlgeschlagen.\r\n\r\nE-Mail-Einstellungen unvollständig "
                                "(Mandanten-ID).");
    EXPECT_EQ(Service.TokenRequests(), 2);
    EXPECT_EQ(Window.BusyDepth, 0);
}

TEST_F(MailSettingsPresenterTest, TestMailCarriesSampleDataTheNoticeAndNoBcc) {
    View.Fields.Subject = "Rechnung {Nr} von {Firma}";  // typed, not saved
    View.Fields.Bcc = "archiv@muster-gmbh.de";
    View.Fields.ReplyTo = "buchhaltung@muster-gmbh.de";
    View.Fields.TestRecipient = " pruefer@muster-gmbh.de ";
    View.Fields.SaveToSent = false;
    View.Fields.Html = true;
    View.Fields.BodyHtml = "<p>Guten Tag {Name},</p>{Signatur}";
    View.Fields.Signature = "<p>Ihr Team von {Firma}</p>";
    Presenter->SendTestMail();
    EXPECT_EQ(Window.Informed, (Strings{"Testmail an pruefer@muster-gmbh.de übergeben."}));
    EXPECT_TRUE(View.Suggestions.empty()) << "a set test recipient is not asked for";

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

// The empty test-recipient field: the user is asked, with the sender as suggestion; a
// cancelled or blank answer sends nothing and says nothing.
TEST_F(MailSettingsPresenterTest, EmptyTestRecipientAsksForOne) {
    View.Fields.TestRecipient = "  ";
    const struct {
        std::optional<std::string> Answer;
        size_t Mails;
    } cases[] = {{std::nullopt, 0}, {" ", 0}, {" chef@muster-gmbh.de ", 1}};
    for (const auto& c : cases) {
        View.RecipientAnswer = c.Answer;
        Presenter->SendTestMail();
        EXPECT_EQ(Service.Mails().size(), c.Mails) << c.Answer.value_or("(abgebrochen)");
    }
    EXPECT_EQ(View.Suggestions, (Strings(3, test::kFakeSender)));
    EXPECT_EQ(Service.Mails()[0].To, (Strings{"chef@muster-gmbh.de"}));
    EXPECT_EQ(Window.Informed, (Strings{"Testmail an chef@muster-gmbh.de übergeben."}));
    EXPECT_TRUE(Window.Errors.empty());
}

TEST_F(MailSettingsPresenterTest, FailedTestMailSaysSoInGermanBeforeTheDetail) {
    View.Fields.TestRecipient = "pruefer@muster-gmbh.de";
    View.Fields.Sender = "";
    Presenter->SendTestMail();
    EXPECT_EQ(Window.Errors, (Strings{"Beim Senden der Testmail an pruefer@muster-gmbh.de ist ein Fehler "
                                      "aufgetreten.\r\n\r\nE-Mail-Einstellungen unvollständig (Absender)."}));
    EXPECT_TRUE(Window.Informed.empty());
    EXPECT_TRUE(Service.Mails().empty());
}

TEST_F(MailSettingsPresenterTest, PreviewForSampleDataADemoInvoiceAndAnUnknownNumber) {
    View.Fields.Subject = "Rechnung {Nr}";
    View.Fields.Html = false;
    View.Fields.BodyText = "Guten Tag,\nanbei Rechnung {Nr} <vom> {Datum}.";

    View.PreviewNo = " ";
    Presenter->RefreshPreview();
    ASSERT_EQ(View.Previews.size(), 1u);
    TMailPreview preview = View.Previews.back();
    EXPECT_EQ(preview.File, CombinePath(PrivateTempFolder(), "Velkaro_Mailvorschau.htm"));
    EXPECT_EQ(ReadFileBytes(preview.File), "\xEF\xBB\xBF" + preview.Document);
    EXPECT_NE(preview.Document.find("Beispieldaten</div>"), std::string::npos) << preview.Document;
    EXPECT_NE(preview.Document.find("&lt;vom&gt;"), std::string::npos);

    View.PreviewNo = "RE24-0001";
    Presenter->RefreshPreview();
    preview = View.Previews.back();
    EXPECT_NE(preview.Document.find(">Betreff: Rechnung RE24-0001  \u00B7  An: rechnung@baeckerei-schmidt.de"),
              std::string::npos)
        << preview.Document;
    EXPECT_NE(preview.Document.find("anbei Rechnung RE24-0001"), std::string::npos);

    View.PreviewNo = "RE99-9999";
    Presenter->RefreshPreview();
    preview = View.Previews.back();
    EXPECT_NE(preview.Document.find("color:#335\"></div>"), std::string::npos) << "empty header";
    EXPECT_NE(preview.Document.find("<p style=\"color:red\">"), std::string::npos) << preview.Document;
    EXPECT_NE(preview.Document.find("RE99-9999"), std::string::npos) << preview.Document;
    EXPECT_TRUE(Window.Errors.empty()) << "the mail's errors show inside the page";

    Presenter->OpenInBrowser();
    EXPECT_EQ(View.Previews.size(), 4u) << "refreshed first";
    EXPECT_EQ(Window.Opened, (Strings{preview.File}));
    EXPECT_EQ(Window.BusyDepth, 0);
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
    FakeMailSettingsView view;
    test::FakeMainWindow window;
    TMailSettingsPresenter p(settings, nullptr, "", view, window.Services());
    EXPECT_EQ(p.LastFocus(), mtHtml);
    p.FocusEntered(mtSubject);
    EXPECT_EQ(p.LastFocus(), mtSubject);
}

TEST(MailSettingsSignature, PicturesAreCopiedOnceAndTheStandardSignatureNeedsAYes) {
    TempFolder folder;
    TSettings settings(folder.File("velkaro.ini"));
    FakeMailSettingsView view;
    test::FakeMainWindow window;
    TMailSettingsPresenter p(settings, nullptr, "", view, window.Services());
    p.Start();
    view.Fields.Signature.clear();
    WriteFileBytes(folder.File("logo.png"), "PNG-1");
    const std::string tag = "<img src=\"Signatur/logo.png\" alt=\"Logo\" style=\"height:50px;border:0\">";
    p.InsertImage(folder.File("logo.png"));
    EXPECT_EQ(view.Fields.Signature, tag);
    EXPECT_EQ(ReadFileBytes(folder.File("Signatur/logo.png")), "PNG-1");

    // Chosen from the image folder itself: no copy onto itself (which would empty it).
    p.InsertImage(folder.File("Signatur/../Signatur/logo.png"));
    EXPECT_EQ(view.Fields.Signature, tag + tag);
    EXPECT_EQ(ReadFileBytes(folder.File("Signatur/logo.png")), "PNG-1");

    p.InsertImage(folder.File("fehlt.png"));
    EXPECT_EQ(view.Fields.Signature, tag + tag);
    EXPECT_EQ(window.Errors.size(), 1u);

    window.AskAnswer = false;
    p.UseStandardSignature();
    EXPECT_EQ(view.Fields.Signature, tag + tag);
    window.AskAnswer = true;
    p.UseStandardSignature();
    EXPECT_EQ(view.Fields.Signature, TMailSettingsPresenter::StandardSignature());
    EXPECT_EQ(window.Asked, (Strings(2, "Signatur durch die Standardsignatur ersetzen?")));

    WriteTextFile(folder.File("sig.htm"), "<html><body><p>Gruß {Name}</p></body></html>");
    p.LoadSignatureFile(folder.File("sig.htm"));
    EXPECT_NE(view.Fields.Signature.find("<p>Gruß {Name}</p>"), std::string::npos) << view.Fields.Signature;
    EXPECT_TRUE(window.Informed.empty());
    p.ImportFromOutlook(folder.File("sig.htm"));
    ASSERT_EQ(window.Informed.size(), 1u);
    EXPECT_TRUE(window.Informed[0].starts_with("Signatur übernommen. Bilder wurden nach " + p.ImageFolder() +
                                               " kopiert.\r\n"))
        << window.Informed[0];
}

// The dialog on a settings file, opened by the account whose key is `key`.
struct TOpenedDialog {
    TOpenedDialog(const std::string& ini, const std::string& key)
        : Key("VELKARO_SCHLUESSEL", key.c_str()), Settings(ini),
          Presenter(Settings, nullptr, "", View, Window.Services()) {
        Presenter.Start();
    }
    std::string FirstError() const { return Window.Errors.empty() ? "" : Window.Errors[0]; }

    test::ScopedEnv Key;
    TSettings Settings;
    FakeMailSettingsView View;
    test::FakeMainWindow Window;
    TMailSettingsPresenter Presenter;
};

// What saving writes, on a small hand-written settings file with a protected secret.
class MailSettingsSaveTest : public ::testing::Test {
protected:
    // The file as an administrator left it, the secret protected with `key`.
    void WriteIni(const std::string& key) {
        test::ScopedEnv env("VELKARO_SCHLUESSEL", key.c_str());
        Before = "; Versand über das Postfach der Buchhaltung\n"
                 "[Graph]\n"
                 "MandantenID=contoso.onmicrosoft.com\n"
                 "; App \"Velkaro\" in Entra ID\n"
                 "ClientID=11111111-2222-3333-4444-555555555555\n"
                 "ClientSecretGeschuetzt=" +
                 TSettings::ProtectSecret("alt-geheim") +
                 "\n"
                 "Absender=rechnung@muster-gmbh.de\n"
                 "Text=Guten Tag,\\n\\nanbei die Rechnung.\n"
                 "\n"
                 "[Eigenes]\n"
                 "Notiz=bleibt\n";
        WriteFileBytes(Ini(), Before);
    }
    std::string Ini() const { return Folder.File("velkaro.ini"); }
    std::string AdminKey() const { return Keys.File("admin.key"); }
    std::string OtherKey() const { return Keys.File("anderer.key"); }
    std::string SecretLine(const std::string& text) const {
        for (const std::string& line : Split(text, '\n'))
            if (line.starts_with("ClientSecretGeschuetzt=")) return line;
        return "";
    }
    // Lines of `from` missing in `to`, counted: a changed line shows in both directions,
    // an added one only from the file now.
    static Strings Missing(const std::string& from, const std::string& to) {
        Strings rest = Split(to, '\n');
        Strings missing;
        for (const std::string& line : Split(from, '\n')) {
            const auto found = std::find(rest.begin(), rest.end(), line);
            if (found == rest.end())
                missing.push_back(line);
            else
                rest.erase(found);
        }
        return missing;
    }
    Strings Added() const { return Missing(ReadFileBytes(Ini()), Before); }
    Strings Removed() const { return Missing(Before, ReadFileBytes(Ini())); }

    TempFolder Folder, Keys;
    std::string Before;
};

TEST_F(MailSettingsSaveTest, OneChangedFieldChangesExactlyOneLine) {
    WriteIni(AdminKey());
    TOpenedDialog dialog(Ini(), AdminKey());
    const TSettings& settings = dialog.Settings;
    FakeMailSettingsView& view = dialog.View;
    TMailSettingsPresenter& p = dialog.Presenter;
    view.Fields.Sender = " buchhaltung@muster-gmbh.de ";
    ASSERT_TRUE(p.Save()) << dialog.FirstError();

    EXPECT_EQ(Added(), (Strings{"Absender=buchhaltung@muster-gmbh.de"}));
    EXPECT_EQ(Removed(), (Strings{"Absender=rechnung@muster-gmbh.de"}));
    // Unchanged texts with default values do not become files.
    EXPECT_FALSE(FileExists(settings.MailBodyHtmlFile));
    EXPECT_FALSE(FileExists(settings.MailSignatureFile));

    // Nothing changed: nothing written.
    const std::string once = ReadFileBytes(Ini());
    ASSERT_TRUE(p.Save());
    EXPECT_EQ(ReadFileBytes(Ini()), once);

    // A multi-line text and a switch, each one line; the HTML text its own file.
    view.Fields.BodyText = "Hallo,\nneu.";
    view.Fields.SaveToSent = false;
    view.Fields.BodyHtml = "<p>neu</p>";
    ASSERT_TRUE(p.Save());
    EXPECT_EQ(Added(), (Strings{"Absender=buchhaltung@muster-gmbh.de", "Text=Hallo,\\nneu.",
                                "InGesendeteSpeichern=0"}));
    EXPECT_EQ(Removed(), (Strings{"Absender=rechnung@muster-gmbh.de", "Text=Guten Tag,\\n\\nanbei die Rechnung."}));
    EXPECT_EQ(TSettings(Ini()).MailBodyHtml, "<p>neu</p>");
    EXPECT_FALSE(FileExists(settings.MailSignatureFile));
}

// The secret field: what the account can read shows as bullets, what it cannot read is
// named; either stays stored unless the user types a new one.
TEST_F(MailSettingsSaveTest, StoredSecretIsKeptUnlessANewOneIsTyped) {
    const struct {
        const char* Case;
        bool Readable;                  // the account opening the dialog has the admin's key
        std::optional<std::string> Typed;  // what the user types into the secret field
        std::string Expected;           // the secret afterwards, read with the saving account's key
    } cases[] = {
        {"lesbar, unberührt", true, std::nullopt, "alt-geheim"},
        {"lesbar, neu eingegeben", true, "neu-geheim", "neu-geheim"},
        {"lesbar, geleert", true, "", ""},
        {"nicht lesbar, unberührt", false, std::nullopt, ""},
        {"nicht lesbar, neu eingegeben", false, "neu-geheim", "neu-geheim"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Case);
        WriteIni(AdminKey());
        TOpenedDialog dialog(Ini(), c.Readable ? AdminKey() : OtherKey());
        FakeMailSettingsView& view = dialog.View;
        const TSecretDisplay display = dialog.Presenter.SecretDisplay();
        if (c.Readable) {
            EXPECT_EQ(view.Fields.Secret, kSecretBullets);
            EXPECT_EQ(display.Placeholder, "");
            EXPECT_EQ(display.Problem, "");
        } else {
            EXPECT_EQ(view.Fields.Secret, "");
            EXPECT_EQ(display.Hint, "gespeichert – für dieses Benutzerkonto nicht lesbar");
            EXPECT_EQ(display.Placeholder, display.Hint);
            EXPECT_NE(display.Problem.find("nicht entschlüsselt werden"), std::string::npos) << display.Problem;
        }
        if (c.Typed) view.Fields.Secret = *c.Typed;
        view.Fields.Sender = "neu@muster-gmbh.de";  // a save that writes something
        ASSERT_TRUE(dialog.Presenter.Save()) << dialog.FirstError();

        const std::string after = ReadFileBytes(Ini());
        if (c.Typed) {
            EXPECT_NE(SecretLine(after), SecretLine(Before));
            EXPECT_EQ(TSettings(Ini()).GraphSecret, c.Expected);
            EXPECT_EQ(dialog.Settings.GraphSecretProblem, "");
        } else {
            EXPECT_EQ(SecretLine(after), SecretLine(Before)) << "the protected value stays as it was";
            EXPECT_EQ(Added(), (Strings{"Absender=neu@muster-gmbh.de"}));
            test::ScopedEnv admin("VELKARO_SCHLUESSEL", AdminKey().c_str());
            EXPECT_EQ(TSettings(Ini()).GraphSecret, "alt-geheim");
        }
    }
}

// An unreadable secret left untouched is not silently used as empty: the connection
// test says why it cannot be read, before any network access.
TEST_F(MailSettingsSaveTest, UnreadableSecretExplainsItselfInTheConnectionTest) {
    WriteIni(AdminKey());
    TOpenedDialog dialog(Ini(), OtherKey());
    dialog.Presenter.TestConnection();
    EXPECT_EQ(dialog.Window.Errors,
              (Strings{"Der Verbindungstest ist fehlgeschlagen.\r\n\r\n" + dialog.Settings.GraphSecretProblem}));
    EXPECT_EQ(dialog.Window.BusyDepth, 0);
}

} // namespace
