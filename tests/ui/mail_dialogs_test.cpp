// The wiring of the mail settings dialog, the mailing run of the main window and the
// about dialog, on the demo database and the local fake of the identity platform and
// Graph. The logic itself is tested in tests/uimodel.
#include <gtest/gtest.h>

#include <filesystem>

#include <QAbstractButton>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDateEdit>
#include <QDesktopServices>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTableView>
#include <QTest>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextDocument>
#include <QTimer>

#include "app/demo_mail_setup.h"
#include "app/fake_graph_service.h"
#include "config/settings.h"
#include "erp/nav_data.h"
#include "platform/files.h"
#include "platform/private_temp.h"
#include "support/test_support.h"
#include "ui/about_form.h"
#include "ui/mail_settings_form.h"
#include "ui/main_form.h"

using namespace velkaro;

namespace {

using Strings = std::vector<std::string>;

// Timers that wait for a dialog; a test that ends before its dialog showed must not leave
// one behind that writes into its finished locals.
std::vector<QPointer<QTimer>> gWaiting;

QTimer* WaitingTimer() {
    auto* timer = new QTimer(qApp);
    gWaiting.push_back(timer);
    return timer;
}

void StopWaiting() {
    for (const QPointer<QTimer>& timer : gWaiting) delete timer.data();
    gWaiting.clear();
}

// Answers the next message box with `button` once it shows; the text it showed lands in
// `text`.
void AnswerNextMessageBox(std::string& text, QMessageBox::StandardButton button = QMessageBox::Ok,
                          bool pressEnter = false) {
    QTimer* timer = WaitingTimer();
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, &text, button, pressEnter] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box) return;
        timer->stop();
        timer->deleteLater();
        text = box->text().toStdString();
        if (pressEnter)
            QTest::keyClick(box, Qt::Key_Return);
        else if (QAbstractButton* b = box->button(button))
            b->click();
        else
            box->close();
    });
    timer->start();
}

// Records what the dialog hands to the desktop instead of starting a browser.
class TBrowserRecorder : public QObject {
    Q_OBJECT
public:
    Strings Opened;
public slots:
    void Open(const QUrl& url) { Opened.push_back(url.toLocalFile().toStdString()); }
};

class MailDialogsTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!test::CommandExists("sqlite3")) VELKARO_SKIP_UNLESS_CI() << "sqlite3 fehlt (Paket sqlite3)";
        test::WriteDemoMailSettings(Ini, Dir.File("Ausgabe"), Service.BaseUrl());
        Settings = std::make_unique<TSettings>(Ini);
        Data = std::make_unique<TNavData>(*Settings);
    }
    void TearDown() override { StopWaiting(); }

    test::TempFolder Dir;
    std::string Ini = Dir.File("velkaro.ini");
    test::TFakeGraphService Service;
    std::unique_ptr<TSettings> Settings;
    std::unique_ptr<TNavData> Data;
};

TEST_F(MailDialogsTest, ConnectionTestShowsSuccessAndTheEnginesFailure) {
    TMailSettingsForm form(nullptr, *Settings, Data.get(), "Muster GmbH");
    EXPECT_EQ(form.edSecret->echoMode(), QLineEdit::Password);
    EXPECT_EQ(form.edSecret->text().toStdString(), kSecretBullets);

    std::string shown;
    AnswerNextMessageBox(shown);
    QTest::mouseClick(form.findChild<QPushButton*>("btnTestConnection"), Qt::LeftButton);
    EXPECT_TRUE(shown.starts_with("Anmeldung bei Microsoft 365 erfolgreich.")) << shown;

    form.edSecret->setText("falsch-falsch-falsch");
    AnswerNextMessageBox(shown);
    QTest::mouseClick(form.findChild<QPushButton*>("btnTestConnection"), Qt::LeftButton);
    EXPECT_NE(shown.find("AADSTS7000215"), std::string::npos) << shown;
    EXPECT_EQ(shown.find("falsch-falsch-falsch"), std::string::npos) << shown;
    EXPECT_EQ(Service.TokenRequests(), 2);
}

TEST_F(MailDialogsTest, TestMailGoesOutWithTheTypedValuesUnsaved) {
    TMailSettingsForm form(nullptr, *Settings, Data.get(), "Muster GmbH");
    form.edSubject->setText("Test {Nr}");
    form.edBcc->setText("archiv@muster-gmbh.de");
    form.edTest->setText("pruefer@muster-gmbh.de");
    std::string shown;
    AnswerNextMessageBox(shown);
    QTest::mouseClick(form.findChild<QPushButton*>("btnTestMail"), Qt::LeftButton);
    EXPECT_EQ(shown, "Testmail an pruefer@muster-gmbh.de übergeben.");
    const auto mails = Service.Mails();
    ASSERT_EQ(mails.size(), 1u);
    EXPECT_TRUE(mails[0].Subject.starts_with("[Testmail] Test ")) << mails[0].Subject;
    EXPECT_TRUE(mails[0].Bcc.empty());
    EXPECT_NE(mails[0].Body.find("Testmail</b> mit Beispieldaten"), std::string::npos);
    EXPECT_NE(TSettings(Ini).MailSubject, "Test {Nr}") << "not saved";
}

TEST_F(MailDialogsTest, EmptyTestRecipientAsksAndACancelledInputSendsNothing) {
    TMailSettingsForm form(nullptr, *Settings, Data.get(), "Muster GmbH");
    form.edTest->clear();
    QTimer* timer = WaitingTimer();
    timer->setInterval(10);
    std::string label;
    QObject::connect(timer, &QTimer::timeout, timer, [timer, &label] {
        auto* input = qobject_cast<QInputDialog*>(QApplication::activeModalWidget());
        if (!input) return;
        timer->stop();
        timer->deleteLater();
        label = input->labelText().toStdString();
        input->reject();
    });
    timer->start();
    QTest::mouseClick(form.findChild<QPushButton*>("btnTestMail"), Qt::LeftButton);
    EXPECT_EQ(label, "Empfänger der Testmail:");
    EXPECT_TRUE(Service.Mails().empty());
}

TEST_F(MailDialogsTest, PlaceholderGoesIntoTheLastFocusedTextField) {
    TMailSettingsForm form(nullptr, *Settings, Data.get(), "Muster GmbH");
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    form.mmHtml->clear();
    form.edSubject->clear();
    const int nr = form.cbPh->findText("{Nr}", Qt::MatchStartsWith);
    ASSERT_GE(nr, 0);

    // The tenant field does not count: the HTML text (the first field) takes it.
    form.edTenant->setFocus();
    form.InsertPlaceholder(nr);
    EXPECT_EQ(form.mmHtml->toPlainText().toStdString(), "{Nr}");

    form.edSubject->setFocus();
    QTest::qWait(1);
    form.edTenant->setFocus();
    form.InsertPlaceholder(form.cbPh->count() - 1);
    EXPECT_EQ(form.edSubject->text().toStdString(), "{Signatur}");
    EXPECT_EQ(form.cbPh->currentIndex(), -1);
}

TEST_F(MailDialogsTest, SaveKeepsTheSecretOrFailsAndStaysOpen) {
    {
        TMailSettingsForm form(nullptr, *Settings, Data.get(), "Muster GmbH");
        form.edSender->setText("neu@muster-gmbh.de");
        QTest::mouseClick(form.findChild<QPushButton*>("btnSave"), Qt::LeftButton);
        EXPECT_EQ(form.result(), QDialog::Accepted);
        EXPECT_EQ(TSettings(Ini).GraphSecret, test::kFakeSecret);
        EXPECT_EQ(TSettings(Ini).MailSender, "neu@muster-gmbh.de");
    }
    WriteTextFile(Dir.File("blockiert"), "x");
    Settings->MailBodyHtmlFile = Dir.File("blockiert/mail.htm");
    TMailSettingsForm form(nullptr, *Settings, Data.get(), "Muster GmbH");
    form.show();
    form.edSecret->clear();
    form.mmHtml->setPlainText("<p>neu</p>");  // goes into the blocked file
    std::string shown;
    AnswerNextMessageBox(shown);
    QTest::mouseClick(form.findChild<QPushButton*>("btnSave"), Qt::LeftButton);
    EXPECT_TRUE(shown.starts_with("Speichern nicht möglich: ")) << shown;
    EXPECT_TRUE(form.isVisible());
    EXPECT_EQ(Settings->GraphSecret, "") << "the cleared field is taken over";
}

// A secret that this account cannot read is named beside the empty field; saving other
// values keeps it.
TEST_F(MailDialogsTest, UnreadableSecretIsNamedAndKept) {
    test::TempFolder keys;
    const std::string stored = ReadFileBytes(Ini);
    test::ScopedEnv other("VELKARO_SCHLUESSEL", keys.File("anderer.key").c_str());
    TSettings settings(Ini);
    ASSERT_FALSE(settings.GraphSecretProblem.empty());
    TMailSettingsForm form(nullptr, settings, Data.get(), "Muster GmbH");
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    EXPECT_EQ(form.edSecret->text().toStdString(), "");
    EXPECT_EQ(form.edSecret->placeholderText().toStdString(), kSecretUnreadableNote);
    EXPECT_EQ(form.lblSecret->text().toStdString(), kSecretUnreadableNote);
    EXPECT_EQ(form.lblSecret->toolTip().toStdString(), settings.GraphSecretProblem);
    form.edBcc->setText("archiv@muster-gmbh.de");
    QTest::keyClick(form.edBcc, Qt::Key_Return);  // Enter saves through the default button
    EXPECT_EQ(form.result(), QDialog::Accepted);
    const auto secretLine = [](const std::string& text) {
        const size_t at = text.find("ClientSecretGeschuetzt=");
        return at == std::string::npos ? std::string() : text.substr(at, text.find('\n', at) - at);
    };
    EXPECT_FALSE(secretLine(stored).empty());
    EXPECT_EQ(secretLine(ReadFileBytes(Ini)), secretLine(stored));
    EXPECT_EQ(TSettings(Ini).MailBcc, "archiv@muster-gmbh.de");
}

TEST_F(MailDialogsTest, PreviewShowsSampleDataADemoInvoiceAndTheRedError) {
    TMailSettingsForm form(nullptr, *Settings, Data.get(), "Muster GmbH");
    form.rbHtml->setChecked(true);
    form.mmSig->setPlainText("<p><a href=\"https://muster-gmbh.de\">muster-gmbh.de</a></p>");
    form.Pages->setCurrentIndex(3);  // refreshes
    EXPECT_TRUE(form.Browser->toPlainText().contains("Beispieldaten"));
    // The page is white paper in the dark look too: its links are dark blue, not the
    // look's light link colour.
    bool linkSeen = false;
    for (QTextBlock block = form.Browser->document()->begin(); block.isValid(); block = block.next())
        for (auto it = block.begin(); !it.atEnd(); ++it)
            if (it.fragment().charFormat().isAnchor()) {
                linkSeen = true;
                EXPECT_EQ(it.fragment().charFormat().foreground().color().name().toStdString(), "#0563c1");
            }
    EXPECT_TRUE(linkSeen) << form.Browser->toHtml().toStdString();
    form.edPreviewNo->setText("RE24-0001");
    QTest::mouseClick(form.findChild<QPushButton*>("btnRefresh"), Qt::LeftButton);
    EXPECT_TRUE(form.Browser->toPlainText().contains("RE24-0001")) << form.Browser->toPlainText().toStdString();
    form.edPreviewNo->setText("RE99-9999");
    QTest::mouseClick(form.findChild<QPushButton*>("btnRefresh"), Qt::LeftButton);
    EXPECT_TRUE(form.Browser->toHtml().contains("#ff0000")) << form.Browser->toHtml().toStdString();
}

TEST_F(MailDialogsTest, OpenInBrowserWritesThePreviewFileAndHandsItToTheDesktop) {
    TBrowserRecorder recorder;
    QDesktopServices::setUrlHandler("file", &recorder, "Open");
    TMailSettingsForm form(nullptr, *Settings, Data.get(), "Muster GmbH");
    form.edSubject->setText("Vorschau {Nr}");
    QTest::mouseClick(form.findChild<QPushButton*>("btnBrowser"), Qt::LeftButton);
    QDesktopServices::unsetUrlHandler("file");
    // In this process's own folder, for this account's eyes only.
    const std::string file = CombinePath(PrivateTempFolder(), TMailSettingsPresenter::PreviewFileName());
    EXPECT_EQ(recorder.Opened, (Strings{file}));
    EXPECT_NE(ReadFileBytes(file).find("Betreff: Vorschau "), std::string::npos);
    EXPECT_EQ(std::filesystem::status(file).permissions() & std::filesystem::perms::all,
              std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
}

TEST_F(MailDialogsTest, MailingFromTheWindowAsksWithNoAsDefaultThenSends) {
    WriteTextFile(Dir.File("LIESMICH.md"), "x");
    TMainForm form(Ini);
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    auto* log = form.findChild<QPlainTextEdit*>("mmLog");
    ASSERT_TRUE(QTest::qWaitFor([&] { return !log->toPlainText().isEmpty(); }));
    form.findChild<QDateEdit*>("dtFrom")->setDate(QDate(2024, 3, 1));
    form.findChild<QDateEdit*>("dtTo")->setDate(QDate(2024, 3, 31));
    form.findChild<QLineEdit*>("edSearch")->setText("RE24-0001");
    QTest::mouseClick(form.findChild<QPushButton*>("btnSearch"), Qt::LeftButton);
    ASSERT_EQ(form.findChild<QTableView*>("lvInvoices")->model()->rowCount(), 1);

    // Enter answers No: nothing is sent.
    std::string question;
    AnswerNextMessageBox(question, QMessageBox::No, true);
    QTest::mouseClick(form.findChild<QPushButton*>("btnMail"), Qt::LeftButton);
    EXPECT_TRUE(question.starts_with("1 Rechnung(en) als ZUGFeRD-PDF per E-Mail senden?")) << question;
    EXPECT_TRUE(Service.Mails().empty());

    AnswerNextMessageBox(question, QMessageBox::Yes);
    QTest::mouseClick(form.findChild<QPushButton*>("btnMail"), Qt::LeftButton);
    ASSERT_EQ(Service.Mails().size(), 1u);
    EXPECT_TRUE(log->toPlainText().contains("E-Mail-Versand fertig: 1 versendet, 0 Fehler.")) << log->toPlainText().toStdString();
    const QString sent = form.findChild<QTableView*>("lvInvoices")->model()->index(0, 9).data().toString();
    EXPECT_FALSE(sent.isEmpty());
    form.close();
}

TEST_F(MailDialogsTest, AboutShowsTheReportAndCopiesIt) {
    TAboutForm about(nullptr, *Settings, "Muster GmbH", Data.get());
    const std::string report = about.Report().toStdString();
    EXPECT_TRUE(report.starts_with("Programm      : Velkaro ")) << report;
    EXPECT_NE(report.find("\nNAV-Version"), std::string::npos) << report;
    EXPECT_EQ(report.find(test::kFakeSecret), std::string::npos);
    std::string shown;
    AnswerNextMessageBox(shown);
    about.CopyReport();
    EXPECT_EQ(shown, "Systeminformationen in die Zwischenablage kopiert.");
    EXPECT_TRUE(QApplication::clipboard()->text().startsWith("Programm      : Velkaro "));
}

} // namespace

#include "mail_dialogs_test.moc"
