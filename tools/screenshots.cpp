// Pictures of the windows for looking at them: the main window in both looks, after a
// search, with ticked and selected rows, and the log after producing three invoices (one
// of them fails: its PDF's name is taken by a folder); the list filtered to the unsent
// ones with the status column, a row's context menu, the database dialog (with a test
// result, and as the first start shows it); the mail settings dialog with each tab (the
// preview of a demo invoice) and the about dialog.
// Usage: velkaro_screenshots <settings file> <picture folder> <name suffix>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QDir>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTableView>
#include <QTest>
#include <cstdio>

#include "mail/sent_log.h"
#include "ui/about_form.h"
#include "ui/database_settings_form.h"
#include "ui/mail_settings_form.h"
#include "ui/main_form.h"
#include "ui/theme_qt.h"

#include "screenshot_save.h"

using namespace velkaro;

namespace {

void Tick(QTableView& table, int row) {
    table.setFocus();
    table.setCurrentIndex(table.model()->index(row, 3));
    QTest::keyClick(&table, Qt::Key_Space);
}

// The window with its open popup menu painted where it stands on the screen (the
// menu is a window of its own, which grabbing the main window leaves out).
void SaveWithMenu(QWidget& window, QMenu& menu, const QString& folder, const QString& name) {
    QCoreApplication::processEvents();
    QPixmap picture = window.grab();
    QPainter painter(&picture);
    painter.drawPixmap(window.mapFromGlobal(menu.pos()), menu.grab());
    painter.end();
    const QString file = folder + "/" + name + ".png";
    if (!picture.save(file)) std::fprintf(stderr, "kann %s nicht schreiben\n", qPrintable(file));
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fputs("Aufruf: velkaro_screenshots <Einstellungsdatei> <Bildordner> <Namenszusatz>\n", stderr);
        return 2;
    }
    QApplication app(argc, argv);
    QApplication::setOrganizationName("Velkaro");
    QApplication::setApplicationName("velkaro-screenshots");
    const QString folder = QString::fromLocal8Bit(argv[2]), suffix = QString::fromLocal8Bit(argv[3]);
    QDir().mkpath(folder);
    for (bool light : {false, true}) {
        ApplyTheme(light);
        const QString look = light ? "hell" : "dunkel";
        TMainForm form(argv[1]);
        form.resize(1100, 760);
        form.show();
        QTest::qWaitForWindowExposed(&form);
        QTest::qWait(50);
        SaveScreenshot(form, folder, look + "-start" + suffix);

        form.findChild<QDateEdit*>("dtFrom")->setDate(QDate(2024, 1, 1));
        form.findChild<QDateEdit*>("dtTo")->setDate(QDate(2024, 12, 31));
        QTest::mouseClick(form.findChild<QPushButton*>("btnSearch"), Qt::LeftButton);
        SaveScreenshot(form, folder, look + "-suche" + suffix);

        auto* table = form.findChild<QTableView*>("lvInvoices");
        for (int row : {0, 2, 3}) Tick(*table, row);
        table->selectRow(1);
        SaveScreenshot(form, folder, look + "-markiert" + suffix);

        // The PDF of the fourth row cannot be written: a folder has its name.
        const QString taken = QString::fromStdString(form.Presenter().RowPdfFile(3));
        QDir().mkpath(taken);
        // The second row went out the day before.
        const std::string sentNo = table->model()->index(1, icNo).data().toString().toStdString();
        form.Session().SentLog().Add({form.Presenter().DateTo() - 1, form.Presenter().Company(), sentNo,
                                      "rechnung@kunde.de", "OK", ""});
        form.Presenter().UpdateSentColumn(1);
        QTest::mouseClick(form.findChild<QPushButton*>("btnGenerate"), Qt::LeftButton);
        SaveScreenshot(form, folder, look + "-protokoll" + suffix);

        auto* unsent = form.findChild<QCheckBox*>("chkUnsent");
        unsent->click();
        table->clearSelection();
        SaveScreenshot(form, folder, look + "-gefiltert" + suffix);

        table->setFocus();
        table->setCurrentIndex(table->model()->index(0, icName));
        QTest::keyClick(table, Qt::Key_Menu);
        auto* menu = form.findChild<QMenu*>("mnRow");
        QTest::qWaitForWindowExposed(menu);
        SaveWithMenu(form, *menu, folder, look + "-kontextmenue" + suffix);
        menu->close();
        unsent->click();  // the next look starts unfiltered
        QDir(taken).removeRecursively();

        {
            TDatabaseSettingsForm db(&form, form.Session().Settings(), "");
            db.show();
            QTest::qWaitForWindowExposed(&db);
            QTest::mouseClick(db.btnTest, Qt::LeftButton);
            SaveScreenshot(db, folder, look + "-datenbank" + suffix);
            db.close();
        }
        {
            TDatabaseSettingsForm db(&form, form.Session().Settings(),
                                     "Die Datenbank sql01 / NAV2018 ist nicht erreichbar: Der Server antwortet "
                                     "nicht.\nOhne Verbindung zur NAV-Datenbank findet „Suchen“ keine Rechnungen. "
                                     "Bitte die Verbindung einrichten und mit „Verbindung testen“ prüfen.");
            db.rbSqlServer->setChecked(true);
            db.show();
            QTest::qWaitForWindowExposed(&db);
            SaveScreenshot(db, folder, look + "-datenbank-erststart" + suffix);
            db.close();
        }

        // The mail settings dialog, each tab; the preview with a demo invoice.
        {
            TMailSettingsForm mail(&form, form.Session().Settings(), &form.Session().Data(), "Muster GmbH");
            mail.show();
            QTest::qWaitForWindowExposed(&mail);
            const char* tabs[] = {"mail-html", "mail-signatur", "mail-text", "mail-vorschau"};
            mail.edPreviewNo->setText("RE24-0001");
            for (int tab = 0; tab < 4; ++tab) {
                mail.Pages->setCurrentIndex(tab);
                SaveScreenshot(mail, folder, look + "-" + tabs[tab] + suffix);
            }
            mail.close();
        }
        {
            TAboutForm about(&form, form.Session().Settings(), "Muster GmbH", &form.Session().Data());
            about.show();
            QTest::qWaitForWindowExposed(&about);
            SaveScreenshot(about, folder, look + "-info" + suffix);
            about.close();
        }
        form.close();
    }
    return 0;
}
