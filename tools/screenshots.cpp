// Pictures of the windows for looking at them: the main window in both looks, after a
// search, with ticked and selected rows, and the log after producing three invoices;
// the mail settings dialog with each tab (the preview of a demo invoice) and the about
// dialog.
// Usage: velkaro_screenshots <settings file> <picture folder> <name suffix>
#include <QApplication>
#include <QComboBox>
#include <QDateEdit>
#include <QDir>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTableView>
#include <QTest>
#include <cstdio>

#include "ui/about_form.h"
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

        QTest::mouseClick(form.findChild<QPushButton*>("btnGenerate"), Qt::LeftButton);
        SaveScreenshot(form, folder, look + "-protokoll" + suffix);

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
