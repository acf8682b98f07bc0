// The main window's wiring on the demo database: its widgets reach the presenter and
// show what it says. The logic itself is tested in tests/uimodel.
#include <gtest/gtest.h>

#include <QAbstractItemModel>
#include <QApplication>
#include <QDialog>
#include <QAction>
#include <QComboBox>
#include <QDateEdit>
#include <QDesktopServices>
#include <QFrame>
#include <QHeaderView>
#include <QRegularExpression>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QTableView>
#include <QTest>
#include <QTimer>

#include "app/demo_mail_setup.h"
#include "app/generate_demo_setup.h"
#include "config/settings.h"
#include "mail/sent_log.h"
#include "platform/files.h"
#include "platform/number_format.h"
#include "support/test_support.h"
#include "ui/german_texts.h"
#include "ui/main_form.h"
#include "ui/theme_qt.h"

using namespace velkaro;

namespace {

using Strings = std::vector<std::string>;

// Records what the window hands to the desktop instead of starting a program.
class TOpenRecorder : public QObject {
    Q_OBJECT
public:
    Strings Opened;
public slots:
    void Open(const QUrl& url) { Opened.push_back(url.toLocalFile().toStdString()); }
};

class MainFormTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!test::CommandExists("sqlite3")) VELKARO_SKIP_UNLESS_CI() << "sqlite3 fehlt (Paket sqlite3)";
        SetDecimalSeparatorOverride(",");
        SetThousandsSeparatorOverride(".");
        QDesktopServices::setUrlHandler("file", &Recorder, "Open");
        ApplyTheme(false);
    }
    void TearDown() override {
        QDesktopServices::unsetUrlHandler("file");
        ResetDecimalSeparatorOverride();
        ResetThousandsSeparatorOverride();
    }

    void WriteSettings(const std::vector<test::TIniValue>& changes = {}) {
        test::WriteProductionSettings(Ini, test::DemoDatabase(), Out, changes);
    }

    // The window on screen and connected.
    std::unique_ptr<TMainForm> OpenWindow() {
        auto form = std::make_unique<TMainForm>(Ini);
        form->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(form.get()));
        QPlainTextEdit* log = form->findChild<QPlainTextEdit*>("mmLog");
        EXPECT_TRUE(QTest::qWaitFor([&] { return !log->toPlainText().isEmpty(); }));
        return form;
    }

    template <class T> static T* Child(TMainForm& form, const char* name) {
        T* child = form.findChild<T*>(name);
        EXPECT_NE(child, nullptr) << name;
        return child;
    }

    static Strings LogTexts(TMainForm& form) {
        Strings lines;
        for (const QString& line : Child<QPlainTextEdit>(form, "mmLog")->toPlainText().split('\n'))
            lines.push_back(line.mid(9).toStdString());  // without "hh:nn:ss "
        return lines;
    }

    // Searches March 2024 by typing into the fields and pressing Enter.
    static void SearchMarch(TMainForm& form, const char* text = "") {
        Child<QDateEdit>(form, "dtFrom")->setDate(QDate(2024, 3, 1));
        Child<QDateEdit>(form, "dtTo")->setDate(QDate(2024, 3, 31));
        QLineEdit* search = Child<QLineEdit>(form, "edSearch");
        search->clear();
        QTest::keyClicks(search, text);
        QTest::keyClick(search, Qt::Key_Return);
    }

    static void TickRowWithSpace(QTableView& table, int row) {
        table.setFocus();
        table.setCurrentIndex(table.model()->index(row, 3));
        QTest::keyClick(&table, Qt::Key_Space);
    }

    test::TempFolder Dir;
    std::string Ini = Dir.File("velkaro.ini");
    std::string Out = Dir.File("Ausgabe");
    TOpenRecorder Recorder;
};

TEST_F(MainFormTest, OpensWithTheCompaniesOfTheDatabase) {
    WriteSettings();
    auto form = OpenWindow();
    EXPECT_EQ(form->windowTitle().toStdString(), kMainWindowTitle);
    QComboBox* companies = Child<QComboBox>(*form, "cbCompany");
    ASSERT_GE(companies->count(), 1);
    EXPECT_EQ(companies->currentText().toStdString(), "Muster GmbH");
    EXPECT_EQ(LogTexts(*form), (Strings{"Verbunden mit " + test::DemoDatabase()}));
    EXPECT_EQ(Child<QLabel>(*form, "status2")->text().toStdString(), "Ausgabe: " + Out);
}

TEST_F(MainFormTest, AnUnreachableDatabaseLeavesTwoLinesAndAnEmptyList) {
    WriteSettings({{"Datenbank", "Datenbank", Dir.File("fehlt/keine.db")}});
    // The first start asks for the database in its dialog; cancelled here.
    std::string asked;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
            asked = dialog->windowTitle().toStdString();
            dialog->reject();
        }
    });
    poll.start(10);
    auto form = OpenWindow();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !asked.empty(); }));
    EXPECT_NE(asked.find("Datenbank"), std::string::npos) << asked;
    const Strings log = LogTexts(*form);
    ASSERT_EQ(log.size(), 2u);
    EXPECT_TRUE(log[0].starts_with("FEHLER bei der Datenbankverbindung: ")) << log[0];
    EXPECT_TRUE(log[1].starts_with("  Verbindung eintragen: ")) << log[1];
    EXPECT_EQ(Child<QComboBox>(*form, "cbCompany")->count(), 0);
    QTest::mouseClick(Child<QPushButton>(*form, "btnSearch"), Qt::LeftButton);
    EXPECT_EQ(Child<QTableView>(*form, "lvInvoices")->model()->rowCount(), 0);
}

TEST_F(MainFormTest, SearchFillsTheTableAndASingleHitIsTicked) {
    WriteSettings();
    auto form = OpenWindow();
    QTableView* table = Child<QTableView>(*form, "lvInvoices");
    SearchMarch(*form);
    QAbstractItemModel* model = table->model();
    ASSERT_GE(model->rowCount(), 2);
    EXPECT_EQ(model->columnCount(), 12);
    EXPECT_EQ(model->headerData(6, Qt::Horizontal).toString().toStdString(), "Brutto");
    EXPECT_EQ(model->index(0, 0).data().toString().toStdString(), "RE24-0013");
    EXPECT_EQ(model->headerData(1, Qt::Horizontal).toString().toStdString(), "Art");
    EXPECT_EQ(model->index(0, 1).data().toString().toStdString(), "Rechnung");
    EXPECT_EQ(model->index(0, 2).data().toString().toStdString(), "31.03.2024");
    EXPECT_TRUE(model->index(0, 6).data().toString().contains(QRegularExpression(",\\d\\d$")));
    EXPECT_TRUE(model->index(0, 6).data(Qt::TextAlignmentRole).value<Qt::Alignment>() & Qt::AlignRight);
    EXPECT_FALSE(model->index(0, 4).data(Qt::TextAlignmentRole).value<Qt::Alignment>() & Qt::AlignRight);
    EXPECT_EQ(model->index(0, 0).data(Qt::CheckStateRole).toInt(), Qt::Unchecked);
    EXPECT_EQ(Child<QLabel>(*form, "lblCount")->text().toStdString(),
              std::to_string(model->rowCount()) + " Rechnung(en)");

    // Sorting by a header click: the amounts as numbers.
    table->horizontalHeader()->setSortIndicator(6, Qt::AscendingOrder);
    for (int row = 1; row < model->rowCount(); ++row) {
        auto amount = [&](int r) {
            return model->index(r, 6).data().toString().remove('.').replace(',', '.').toDouble();
        };
        EXPECT_LE(amount(row - 1), amount(row)) << row;
    }

    SearchMarch(*form, "RE24-0012");
    ASSERT_EQ(model->rowCount(), 1);
    EXPECT_EQ(model->index(0, 0).data(Qt::CheckStateRole).toInt(), Qt::Checked);
    EXPECT_EQ(Child<QLabel>(*form, "lblCount")->text().toStdString(), "1 Rechnung(en)");
}

TEST_F(MainFormTest, SentColumnShowsALoggedSend) {
    WriteSettings();
    TSentLog(TSettings(Ini).MailLogFile)
        .Add({EncodeDateTime({2024, 4, 2, 8, 30, 0, 0}), "Muster GmbH", "RE24-0012", "a@b.de", "OK", "", ""});
    auto form = OpenWindow();
    SearchMarch(*form);
    QAbstractItemModel* model = Child<QTableView>(*form, "lvInvoices")->model();
    ASSERT_GE(model->rowCount(), 2);
    for (int row = 0; row < model->rowCount(); ++row) {
        const bool sent = model->index(row, 0).data().toString() == "RE24-0012";
        EXPECT_EQ(model->index(row, 10).data().toString().toStdString(), sent ? "02.04.2024 08:30" : "") << row;
    }
}

TEST_F(MainFormTest, TickedRowsAreProducedWithFilesAndLogLines) {
    WriteSettings();
    auto form = OpenWindow();
    QTableView* table = Child<QTableView>(*form, "lvInvoices");
    SearchMarch(*form);
    ASSERT_GE(table->model()->rowCount(), 3);
    TickRowWithSpace(*table, 0);
    TickRowWithSpace(*table, 2);
    table->selectRow(1);  // ticked rows win over the selection
    // March's third row is the credit memo GS24-0004: it is written under its own name.
    const auto pdfOf = [&](int row) {
        const bool credit = table->model()->index(row, 1).data().toString() == "Korrektur";
        return (credit ? "Rechnungskorrektur_" : "Rechnung_") + table->model()->index(row, 0).data().toString().toStdString() +
               ".pdf";
    };
    const std::string first = pdfOf(0), third = pdfOf(2);
    EXPECT_EQ(third, "Rechnungskorrektur_GS24-0004.pdf");

    QTest::mouseClick(Child<QPushButton>(*form, "btnGenerate"), Qt::LeftButton);
    EXPECT_TRUE(FileExists(CombinePath(Out, first)));
    EXPECT_TRUE(FileExists(CombinePath(Out, third)));
    const Strings log = LogTexts(*form);
    EXPECT_EQ(log.back(), "Fertig: 2 erzeugt, 0 Fehler.");
    EXPECT_EQ(std::count_if(log.begin(), log.end(), [](const std::string& l) { return l.find(" erzeugt: ") != l.npos; }),
              2);
    EXPECT_TRUE(Child<QPushButton>(*form, "btnGenerate")->isEnabled());
    EXPECT_FALSE(Child<QProgressBar>(*form, "progress")->isVisible());
    EXPECT_TRUE(Recorder.Opened.empty());

    // "Alle an/abwählen": the first row is ticked, so all are cleared.
    QTest::mouseClick(Child<QPushButton>(*form, "btnAll"), Qt::LeftButton);
    for (int row = 0; row < table->model()->rowCount(); ++row)
        EXPECT_EQ(table->model()->index(row, 0).data(Qt::CheckStateRole).toInt(), Qt::Unchecked) << row;
}

TEST_F(MainFormTest, CancelStopsTheRunAfterTheCurrentInvoice) {
    WriteSettings();
    auto form = OpenWindow();
    QTableView* table = Child<QTableView>(*form, "lvInvoices");
    SearchMarch(*form);
    ASSERT_GE(table->model()->rowCount(), 3);
    for (int row = 0; row < 3; ++row) TickRowWithSpace(*table, row);
    QPushButton* cancel = Child<QPushButton>(*form, "btnCancel");
    QProgressBar* progress = Child<QProgressBar>(*form, "progress");
    std::string shown;
    // Clicked while the window processes its events after the first invoice.
    QTimer::singleShot(0, cancel, [&] {
        shown = progress->isVisible() && cancel->isVisible() ? progress->text().toStdString() : "hidden";
        QTest::mouseClick(cancel, Qt::LeftButton);
    });
    QTest::mouseClick(Child<QPushButton>(*form, "btnGenerate"), Qt::LeftButton);
    EXPECT_EQ(shown, "1 von 3");
    const Strings log = LogTexts(*form);
    ASSERT_GE(log.size(), 2u);
    EXPECT_EQ(log[log.size() - 2], "Abgebrochen nach 1 von 3 Rechnungen.");
    EXPECT_EQ(log.back(), "Fertig: 1 erzeugt, 0 Fehler.");
    EXPECT_FALSE(cancel->isVisible());
}

TEST_F(MainFormTest, ClosingSavesUserValuesAndWindowState) {
    WriteSettings({{"Ausgabe", "XmlSpeichern", "0"}});
    {
        auto form = OpenWindow();
        Child<QAction>(*form, "miXml")->trigger();
        EXPECT_EQ(Child<QLabel>(*form, "status3")->text().toStdString(), "PDF + XML");
        Child<QAction>(*form, "miSkinLight")->trigger();
        form->resize(900, 600);
        form->close();
    }
    TSettings saved(Ini);
    EXPECT_TRUE(saved.SaveXml);
    EXPECT_EQ(saved.Skin, "Hell");
    EXPECT_EQ(saved.Company, "Muster GmbH");
    auto again = OpenWindow();
    EXPECT_EQ(again->size(), QSize(900, 600));
    EXPECT_TRUE(Child<QAction>(*again, "miXml")->isChecked());
}

TEST_F(MainFormTest, ReloadReconnectsWithTheChangedDatabase) {
    WriteSettings();
    auto form = OpenWindow();
    ASSERT_GE(Child<QComboBox>(*form, "cbCompany")->count(), 1);
    WriteSettings({{"Datenbank", "Datenbank", Dir.File("fehlt/keine.db")}});
    for (QAction* action : form->findChildren<QAction*>())
        if (action->text() == QString::fromUtf8("Einstellungsdatei &neu laden")) action->trigger();
    const Strings log = LogTexts(*form);
    ASSERT_GE(log.size(), 3u);
    EXPECT_EQ(log[log.size() - 3], "Einstellungsdatei neu geladen: " + Ini);
    EXPECT_TRUE(log[log.size() - 2].starts_with("FEHLER bei der Datenbankverbindung: ")) << log[log.size() - 2];
    EXPECT_EQ(Child<QComboBox>(*form, "cbCompany")->count(), 0);
}

TEST_F(MainFormTest, ThemeSwitchChangesPaletteStripAndCheckBoxes) {
    WriteSettings();
    auto form = OpenWindow();
    QFrame* strip = Child<QFrame>(*form, "pnAccent");
    QTableView* table = Child<QTableView>(*form, "lvInvoices");
    EXPECT_TRUE(strip->isVisible());
    EXPECT_FALSE(table->showGrid());
    EXPECT_EQ(QApplication::palette().color(QPalette::Highlight), QColor(0xE8, 0x73, 0x0C));
    EXPECT_EQ(strip->palette().color(QPalette::Window), QColor(0xE8, 0x73, 0x0C));

    Child<QAction>(*form, "miSkinLight")->trigger();
    EXPECT_TRUE(Child<QAction>(*form, "miSkinLight")->isChecked());
    EXPECT_FALSE(strip->isVisible());
    EXPECT_TRUE(table->showGrid());
    EXPECT_NE(QApplication::palette().color(QPalette::Highlight), QColor(0xE8, 0x73, 0x0C));
    EXPECT_LT(QApplication::palette().color(QPalette::Window).lightness(), 256);
    EXPECT_GT(QApplication::palette().color(QPalette::Base).lightness(), 200);

    Child<QAction>(*form, "miSkinDark")->trigger();
    EXPECT_TRUE(strip->isVisible());
    EXPECT_LT(QApplication::palette().color(QPalette::Base).lightness(), 60);
}

// --- keys, focus and room

// The main window that records the opening of the mail settings instead of showing the
// modal dialog.
class TMailSettingsRecordingForm : public TMainForm {
public:
    using TMainForm::TMainForm;
    int MailSettingsOpened = 0;

private:
    bool OpenMailSettings() override {
        ++MailSettingsOpened;
        return false;
    }
};

// A text field's key bindings as on X11, where Ctrl+E moves the cursor to the line end:
// the field claims the key before the window's shortcuts are asked (the offscreen
// platform binds keys as Windows does).
class TClaimsCtrlE : public QObject {
protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::ShortcutOverride &&
            static_cast<QKeyEvent*>(event)->keyCombination() == QKeyCombination(Qt::ControlModifier, Qt::Key_E)) {
            event->accept();
            return true;
        }
        return false;
    }
};

// The window active, so that keys go to the control with the focus.
void Activate(QWidget& window) {
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
}

// A key as the user types it: to the control that has the focus after `target` took it.
void TypeKey(QWidget* target, Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    target->setFocus();
    QWidget* focused = QApplication::focusWidget();
    ASSERT_NE(focused, nullptr);
    QTest::keyClick(focused, key, modifiers);
}

// Enter searches from the company box and a date field (typed by hand) as from the
// search field, like a dialog's default button.
TEST_F(MainFormTest, EnterInTheCompanyBoxOrADateFieldSearches) {
    WriteSettings();
    auto form = OpenWindow();
    Activate(*form);
    QAbstractItemModel* model = Child<QTableView>(*form, "lvInvoices")->model();
    QDateEdit* from = Child<QDateEdit>(*form, "dtFrom");
    from->setDate(QDate(2024, 3, 1));
    Child<QDateEdit>(*form, "dtTo")->setDate(QDate(2024, 3, 31));
    ASSERT_EQ(model->rowCount(), 0);
    TypeKey(Child<QComboBox>(*form, "cbCompany"), Qt::Key_Return);
    const int march = model->rowCount();
    ASSERT_GE(march, 3);

    // "15.03.2024" typed over the day part, then Enter: the second half of March.
    from->setFocus();
    from->setSelectedSection(QDateTimeEdit::DaySection);
    QTest::keyClicks(from, "15");
    TypeKey(from, Qt::Key_Enter);
    EXPECT_EQ(from->date(), QDate(2024, 3, 15));
    const int second = model->rowCount();
    EXPECT_GT(second, 0);
    EXPECT_LT(second, march);
    for (int row = 0; row < second; ++row)
        EXPECT_GE(QDate::fromString(model->index(row, 2).data().toString(), "dd.MM.yyyy"), QDate(2024, 3, 15)) << row;

    // From the list as well.
    from->setDate(QDate(2024, 3, 1));
    TypeKey(Child<QTableView>(*form, "lvInvoices"), Qt::Key_Return);
    EXPECT_EQ(model->rowCount(), march);
}

// Ctrl+E opens the mail settings also where the focus is after a search (the search
// field, whose own key binding would move the cursor) or in a date field.
TEST_F(MainFormTest, WindowShortcutsWorkFromTheSearchAndDateFields) {
    WriteSettings();
    auto form = std::make_unique<TMailSettingsRecordingForm>(Ini);
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    Activate(*form);
    TClaimsCtrlE x11Keys;
    Child<QLineEdit>(*form, "edSearch")->installEventFilter(&x11Keys);
    for (QWidget* part : Child<QDateEdit>(*form, "dtFrom")->findChildren<QWidget*>()) part->installEventFilter(&x11Keys);
    TypeKey(Child<QLineEdit>(*form, "edSearch"), Qt::Key_E, Qt::ControlModifier);
    EXPECT_EQ(form->MailSettingsOpened, 1);
    TypeKey(Child<QDateEdit>(*form, "dtFrom"), Qt::Key_E, Qt::ControlModifier);
    EXPECT_EQ(form->MailSettingsOpened, 2);
    // A key the window does not use stays the field's.
    QLineEdit* search = Child<QLineEdit>(*form, "edSearch");
    search->setText("RE24");
    search->setCursorPosition(0);
    TypeKey(search, Qt::Key_End);
    EXPECT_EQ(search->cursorPosition(), 4);
}

// During a run only "Abbrechen" and reading stay usable; afterwards the focus is on the
// list, not on the next button.
TEST_F(MainFormTest, ARunDisablesTheCommandsAndLeavesTheFocusOnTheList) {
    WriteSettings();
    auto form = OpenWindow();
    Activate(*form);
    QTableView* table = Child<QTableView>(*form, "lvInvoices");
    SearchMarch(*form, "RE24-0012");
    ASSERT_EQ(table->model()->rowCount(), 1);
    const auto actionNamed = [&](const char* text) {
        for (QAction* action : form->findChildren<QAction*>())
            if (action->text() == QString::fromUtf8(text)) return action;
        ADD_FAILURE() << text;
        return static_cast<QAction*>(nullptr);
    };
    std::string during;
    QTimer::singleShot(0, form.get(), [&] {
        for (const char* name : {"btnSearch", "btnGenerate", "btnMail", "btnAll", "edSearch", "cbCompany", "btnCancel"})
            during += std::string(name) + (Child<QWidget>(*form, name)->isEnabled() ? "+ " : "- ");
        for (const char* text : {"Einstellungsdatei &neu laden", "&Layout / Briefpapier...", "&E-Mail-Einstellungen...",
                                 "&Info...", "Ausgabeordner &öffnen"})
            during += std::string(text) + (actionNamed(text)->isEnabled() ? "+ " : "- ");
    });
    QPushButton* generate = Child<QPushButton>(*form, "btnGenerate");
    generate->setFocus();
    QTest::keyClick(generate, Qt::Key_Space);
    EXPECT_EQ(during,
              "btnSearch- btnGenerate- btnMail- btnAll- edSearch- cbCompany- btnCancel+ "
              "Einstellungsdatei &neu laden- &Layout / Briefpapier...- &E-Mail-Einstellungen...- &Info...+ "
              "Ausgabeordner &öffnen+ ");
    EXPECT_EQ(LogTexts(*form).back(), "Fertig: 1 erzeugt, 0 Fehler.");
    EXPECT_TRUE(generate->isEnabled());
    EXPECT_TRUE(Child<QPushButton>(*form, "btnMail")->isEnabled());
    EXPECT_TRUE(actionNamed("Einstellungsdatei &neu laden")->isEnabled());
    EXPECT_EQ(QApplication::focusWidget(), table);
}

// The count label's limit note never widens the window; the number column makes room
// for the warning mark; a new search clears the sort arrow.
TEST_F(MainFormTest, LimitNoteWarningMarkAndSortArrowKeepTheirPlace) {
    WriteSettings({{"Datenbank", "MaxZeilen", "2"}});
    auto form = OpenWindow();
    form->resize(900, 600);
    QTest::qWait(10);
    const int width = form->width();
    SearchMarch(*form);
    QLabel* count = Child<QLabel>(*form, "lblCount");
    EXPECT_EQ(count->text().toStdString(), "2 Rechnung(en) (Limit erreicht - Filter einschränken)");
    EXPECT_EQ(count->toolTip(), count->text());
    QTest::qWait(10);
    EXPECT_EQ(form->width(), width);
    EXPECT_LE(form->minimumSizeHint().width(), width);

    QTableView* table = Child<QTableView>(*form, "lvInvoices");
    const std::string no = table->model()->index(1, 0).data().toString().toStdString();
    form->Presenter().Invoices().SetFindings(no, "BR-CO-10 Summe der Positionen stimmt nicht");
    const QModelIndex marked = table->model()->index(1, 0);
    EXPECT_FALSE(marked.data(Qt::DecorationRole).isNull());
    EXPECT_GE(table->columnWidth(0), table->sizeHintForIndex(marked).width());
    EXPECT_GT(table->columnWidth(0), 110);

    QHeaderView* header = table->horizontalHeader();
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                      QPoint(header->sectionViewportPosition(6) + 10, header->height() / 2));
    EXPECT_TRUE(header->isSortIndicatorShown());
    EXPECT_EQ(header->sortIndicatorSection(), 6);
    SearchMarch(*form);
    EXPECT_FALSE(header->isSortIndicatorShown());
}

TEST(CheckBoxImages, AccentBoxWithWhiteMarkAtTheScreensScale) {
    for (bool light : {false, true}) {
        ApplyTheme(light);
        const QColor accent = ToQColor(ThemeColors(light).Accent);
        for (const auto& [ratio, pixels] : {std::pair{1.0, 16}, std::pair{1.5, 24}}) {
            SCOPED_TRACE(std::to_string(light) + " " + std::to_string(ratio));
            const QImage on = CheckBoxPixmap(true, ratio).toImage();
            const QImage off = CheckBoxPixmap(false, ratio).toImage();
            EXPECT_EQ(on.size(), QSize(pixels, pixels));
            const int margin = pixels / 8;
            EXPECT_EQ(on.pixelColor(0, 0).alpha(), 0);                        // outside the box
            EXPECT_EQ(on.pixelColor(margin, margin).rgb(), accent.rgb());     // frame corner
            EXPECT_EQ(on.pixelColor(margin + 1, pixels - margin - 2).rgb(), accent.rgb());
            const TCheckBoxGeometry g = CheckBoxGeometry(96 * ratio);
            EXPECT_EQ(on.pixelColor(g.Mark[1].X, g.Mark[1].Y).rgb(), QColor(Qt::white).rgb());  // on the mark
            EXPECT_EQ(off.pixelColor(margin, margin).rgb(), ToQColor(ThemeColors(light).UncheckedFrame).rgb());
            EXPECT_EQ(off.pixelColor(pixels / 2, pixels / 2).rgb(), QApplication::palette().color(QPalette::Base).rgb());
        }
    }
    ApplyTheme(false);
}

TEST(GermanDialogTexts, MessageBoxButtonsReadGerman) {
    ASSERT_TRUE(InstallGermanQtTexts(*QCoreApplication::instance())) << "qtbase_de.qm fehlt (qt6-translations-l10n)";
    QMessageBox box(QMessageBox::Question, "Bestätigung", "Senden?", QMessageBox::Yes | QMessageBox::No);
    box.addButton(QMessageBox::Cancel);
    EXPECT_EQ(box.button(QMessageBox::Yes)->text().toStdString(), "&Ja");
    EXPECT_EQ(box.button(QMessageBox::No)->text().toStdString(), "&Nein");
    EXPECT_EQ(box.button(QMessageBox::Cancel)->text().toStdString(), "Abbrechen");
}

} // namespace

#include "main_form_test.moc"
