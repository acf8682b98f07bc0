// The wiring of the main window's list for daily work (filters, ticked count, status
// column, context menu) and of the database dialog, on the demo database. The logic is
// tested in tests/uimodel.
#include <gtest/gtest.h>

#include <QAbstractItemModel>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDateEdit>
#include <QDesktopServices>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTableView>
#include <QTest>
#include <QTimer>

#include "app/demo_mail_setup.h"
#include "app/generate_demo_setup.h"
#include "config/settings.h"
#include "mail/sent_log.h"
#include "platform/files.h"
#include "platform/ini_file.h"
#include "support/test_support.h"
#include "ui/database_settings_form.h"
#include "ui/main_form.h"
#include "uimodel/mail_settings_presenter.h"

using namespace velkaro;

namespace {

using Strings = std::vector<std::string>;

class TOpenLog : public QObject {
    Q_OBJECT
public:
    Strings Opened;
public slots:
    void Open(const QUrl& url) { Opened.push_back(url.toLocalFile().toStdString()); }
};

class DailyFormTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!test::CommandExists("sqlite3")) VELKARO_SKIP_UNLESS_CI() << "sqlite3 fehlt (Paket sqlite3)";
        QDesktopServices::setUrlHandler("file", &Opener, "Open");
        test::WriteProductionSettings(Ini, test::DemoDatabase(), Out);
    }
    void TearDown() override { QDesktopServices::unsetUrlHandler("file"); }

    template <class T> static T* Child(QWidget& parent, const char* name) {
        T* child = parent.findChild<T*>(name);
        EXPECT_NE(child, nullptr) << name;
        return child;
    }

    // The window connected, March 2024 found.
    std::unique_ptr<TMainForm> SearchMarch() {
        auto form = std::make_unique<TMainForm>(Ini);
        form->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(form.get()));
        EXPECT_TRUE(QTest::qWaitFor([&] { return Child<QComboBox>(*form, "cbCompany")->count() > 0; }));
        Child<QDateEdit>(*form, "dtFrom")->setDate(QDate(2024, 3, 1));
        Child<QDateEdit>(*form, "dtTo")->setDate(QDate(2024, 3, 31));
        QTest::mouseClick(Child<QPushButton>(*form, "btnSearch"), Qt::LeftButton);
        return form;
    }

    static std::vector<bool> MenuState(TMainForm& form) {
        std::vector<bool> enabled;
        for (QAction* action : Child<QMenu>(form, "mnRow")->actions())
            if (!action->isSeparator()) enabled.push_back(action->isEnabled());
        return enabled;
    }

    test::TempFolder Dir;
    std::string Ini = Dir.File("velkaro.ini");
    std::string Out = Dir.File("Ausgabe");
    TOpenLog Opener;
};

TEST_F(DailyFormTest, ContextMenuByMouseAndKeysWorksOnTheRow) {
    auto form = SearchMarch();
    auto* table = Child<QTableView>(*form, "lvInvoices");
    QAbstractItemModel* model = table->model();
    ASSERT_GE(model->rowCount(), 2);
    const std::string no = model->index(1, icNo).data().toString().toStdString();
    QMenu* menu = Child<QMenu>(*form, "mnRow");

    // Right click on the second row: it becomes the row the menu works on.
    const QPoint cell = table->visualRect(model->index(1, icName)).center();
    QContextMenuEvent click(QContextMenuEvent::Mouse, cell, table->viewport()->mapToGlobal(cell));
    QApplication::sendEvent(table->viewport(), &click);
    ASSERT_TRUE(QTest::qWaitFor([&] { return menu->isVisible(); }));
    EXPECT_EQ(MenuState(*form), (std::vector<bool>{false, false, false, false, true})) << "nothing produced yet";
    EXPECT_TRUE(table->selectionModel()->isRowSelected(1, {}));
    menu->close();
    Child<QAction>(*form, "miRowRegenerate")->trigger();
    const std::string pdf = Out + "/Rechnung_" + no + ".pdf";
    EXPECT_TRUE(FileExists(pdf)) << pdf;
    EXPECT_EQ(model->index(1, icStatus).data().toString().toStdString(), "erzeugt");
    EXPECT_FALSE(model->index(1, icStatus).data(Qt::DecorationRole).value<QIcon>().isNull());
    EXPECT_EQ(model->index(1, icStatus).data(Qt::ToolTipRole).toString().toStdString(), pdf);
    // On screen the status follows the number.
    EXPECT_EQ(table->horizontalHeader()->visualIndex(icStatus), kStatusColumnPlace);

    // The menu key and Shift+F10 open it for the current row.
    for (const auto& [key, modifiers] : {std::pair{Qt::Key_Menu, Qt::NoModifier}, {Qt::Key_F10, Qt::ShiftModifier}}) {
        table->setFocus();
        table->setCurrentIndex(model->index(1, icName));
        QTest::keyClick(table, key, modifiers);
        ASSERT_TRUE(QTest::qWaitFor([&] { return menu->isVisible(); }));
        EXPECT_EQ(MenuState(*form), (std::vector<bool>{true, true, false, false, true}));
        menu->close();
    }
    Child<QAction>(*form, "miRowPdf")->trigger();
    Child<QAction>(*form, "miRowFolder")->trigger();
    EXPECT_EQ(Opener.Opened, (Strings{pdf, Out + "/"}));

    // A double click still ticks.
    const QPoint first = table->visualRect(model->index(0, icName)).center();
    QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, first);
    QTest::mouseDClick(table->viewport(), Qt::LeftButton, {}, first);
    EXPECT_EQ(model->index(0, icNo).data(Qt::CheckStateRole).toInt(), Qt::Checked);
}

TEST_F(DailyFormTest, FiltersAndTheTickedCountFollowTheList) {
    test::WriteProductionSettings(Ini, test::DemoDatabase(), Out, {{"Darstellung", "NurNichtVersendete", "1"}});
    TSentLog(TSettings(Ini).MailLogFile)
        .Add({EncodeDateTime({2024, 4, 2, 8, 30, 0, 0}), "Muster GmbH", "RE24-0012", "a@b.de", "OK", ""});
    auto form = SearchMarch();
    auto* unsent = Child<QCheckBox>(*form, "chkUnsent");
    EXPECT_TRUE(unsent->isChecked()) << "remembered";
    QAbstractItemModel* model = Child<QTableView>(*form, "lvInvoices")->model();
    const int shown = model->rowCount();
    for (int row = 0; row < shown; ++row) EXPECT_NE(model->index(row, icNo).data().toString(), "RE24-0012");
    unsent->click();
    EXPECT_EQ(model->rowCount(), shown + 1);
    EXPECT_EQ(Child<QLabel>(*form, "lblCount")->text().toStdString(), std::to_string(shown + 1) + " Rechnung(en)");

    auto* marked = Child<QLabel>(*form, "lblMarked");
    EXPECT_EQ(marked->text().toStdString(), "0 markiert");
    QTest::mouseClick(Child<QPushButton>(*form, "btnAll"), Qt::LeftButton);
    EXPECT_EQ(marked->text().toStdString(), std::to_string(shown + 1) + " markiert");
    Child<QCheckBox>(*form, "chkFindings")->click();
    EXPECT_EQ(model->rowCount(), 0) << "nothing produced: no findings known";
    EXPECT_EQ(marked->text().toStdString(), "");
    form->close();
    const TIniFile saved = TIniFile::FromText(ReadTextFile(Ini));
    EXPECT_EQ(saved.ReadString("Darstellung", "NurNichtVersendete", ""), "0");
    EXPECT_EQ(saved.ReadString("Darstellung", "NurMitBefund", ""), "1");
}

TEST_F(DailyFormTest, DatabaseDialogTestsAndSaves) {
    test::ScopedEnv key("VELKARO_SCHLUESSEL", Dir.File("schluessel.key").c_str());
    TSettings settings(Ini);
    TDatabaseSettingsForm form(nullptr, settings, "Die Datenbank ist nicht erreichbar.");
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    EXPECT_NE(form.windowTitle().indexOf("Datenbank"), -1);
    EXPECT_EQ(form.lblReason->text().toStdString(), "Die Datenbank ist nicht erreichbar.");
    EXPECT_TRUE(form.rbSqlite->isChecked());
    EXPECT_EQ(form.edFile->text().toStdString(), test::DemoDatabase());
    EXPECT_FALSE(form.gbServer->isEnabled());

    QTest::mouseClick(form.btnTest, Qt::LeftButton);
    EXPECT_TRUE(form.mmResult->toPlainText().contains("Muster GmbH")) << form.mmResult->toPlainText().toStdString();

    // SQL Server: the server fields take over; a Windows sign-in needs no password.
    form.rbSqlServer->click();
    EXPECT_TRUE(form.gbServer->isEnabled());
    EXPECT_FALSE(form.edFile->isEnabled());
    form.rbWindows->click();
    EXPECT_FALSE(form.edPassword->isEnabled());
    form.rbSqlLogin->click();
    QTest::keyClicks(form.edServer, "sql01");
    QTest::keyClicks(form.edDatabase, "NAV2018");
    EXPECT_EQ(form.cbDriver->itemData(0).toString(), "") << "automatic first";
    form.edUser->setText("nav");
    form.edPassword->setText("geheim");
    form.cbEncryption->setCurrentIndex(form.cbEncryption->findData("streng"));
    form.cbTrust->setCurrentIndex(form.cbTrust->findData("1"));
    QTest::mouseClick(Child<QPushButton>(form, "btnSave"), Qt::LeftButton);
    EXPECT_EQ(form.result(), QDialog::Accepted);
    const TIniFile saved = TIniFile::FromText(ReadTextFile(Ini));
    EXPECT_EQ(saved.ReadString("Datenbank", "Server", ""), "sql01");
    EXPECT_EQ(saved.ReadString("Datenbank", "Verschluesselung", ""), "streng");
    EXPECT_EQ(saved.ReadString("Datenbank", "ServerZertifikatVertrauen", ""), "1");
    EXPECT_EQ(TSettings(Ini).Password, "geheim");
}

TEST_F(DailyFormTest, TheMenuItemOpensTheDatabaseDialog) {
    auto form = SearchMarch();
    QAction* item = Child<QAction>(*form, "miDatabase");
    EXPECT_EQ(item->text().remove('&').toStdString(), "Datenbankverbindung…");
    std::string title, reason;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<TDatabaseSettingsForm*>(QApplication::activeModalWidget());
        if (!dialog) return;
        title = dialog->windowTitle().toStdString();
        reason = dialog->lblReason->text().toStdString();
        dialog->reject();
    });
    item->trigger();
    EXPECT_EQ(title, kDatabaseDialogTitle);
    EXPECT_TRUE(reason.starts_with("Verbindung zur NAV-Datenbank")) << reason;
}

} // namespace

#include "daily_form_test.moc"
