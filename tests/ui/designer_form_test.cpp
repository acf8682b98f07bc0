// The layout designer's wiring on the demo database: mouse, keys and fields reach the
// presenter, the page and the live view follow. The rules themselves are tested in
// tests/uimodel.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QTableView>
#include <QTest>
#include <QTimer>

#include "app/demo_mail_setup.h"
#include "app/generate_demo_setup.h"
#include "config/settings.h"
#include "erp/nav_data.h"
#include "platform/files.h"
#include "support/test_support.h"
#include "ui/designer_canvas.h"
#include "ui/designer_form.h"
#include "ui/main_form.h"
#include "ui/pdf_live_view.h"
#include "ui/theme_qt.h"
#include "uimodel/layout_history.h"

using namespace velkaro;

namespace {

// Answers the next message box that opens (modal, so from a timer) and records its text.
void AnswerNextMessageBox(QMessageBox::StandardButton answer, std::string* text = nullptr) {
    auto* poll = new QTimer(qApp);
    QObject::connect(poll, &QTimer::timeout, poll, [poll, answer, text] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box) return;
        poll->stop();
        poll->deleteLater();
        if (text) *text = box->text().toStdString();
        box->button(answer)->click();
    });
    poll->start(10);
}

class DesignerFormTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!test::CommandExists("sqlite3")) VELKARO_SKIP_UNLESS_CI() << "sqlite3 fehlt (Paket sqlite3)";
        test::WriteProductionSettings(Ini, test::DemoDatabase(), Dir.File("Ausgabe"));
        Settings = std::make_unique<TSettings>(Ini);
        Data = std::make_unique<TNavData>(*Settings);
    }

    std::unique_ptr<TDesignerForm> Open(const std::string& previewNo = "") {
        auto form = std::make_unique<TDesignerForm>(nullptr, *Settings, *Data, "Muster GmbH", previewNo);
        form->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(form.get()));
        form->activateWindow();
        return form;
    }

    template <class T> static T* Child(QWidget& form, const char* name) {
        T* child = form.findChild<T*>(name);
        EXPECT_NE(child, nullptr) << name;
        return child;
    }

    static int IndexOf(TDesignerForm& form, TElementKind kind) {
        const auto& elements = form.Presenter().Layout().Elements;
        for (size_t i = 0; i < elements.size(); ++i)
            if (elements[i]->Kind == kind) return static_cast<int>(i);
        return -1;
    }
    static const TLayoutElement& Element(TDesignerForm& form, TElementKind kind) {
        return *form.Presenter().Layout().Elements[IndexOf(form, kind)];
    }
    // The canvas pixel of a point on the page, in mm.
    static QPoint Pixel(TDesignerForm& form, double x, double y) {
        const double ppm = form.Presenter().PixelsPerMmNow();
        return {MmToPixels(x, ppm) + kPageMarginPx, MmToPixels(y, ppm) + kPageMarginPx};
    }

    test::TempFolder Dir;
    std::string Ini = Dir.File("velkaro.ini");
    std::unique_ptr<TSettings> Settings;
    std::unique_ptr<TNavData> Data;
};

TEST_F(DesignerFormTest, DraggingWithTheMouseMovesSnapsUndoesAndRefreshesTheLiveView) {
    auto form = Open("RE24-0001");
    TDesignerCanvas& canvas = form->Canvas();
    // The live view shows the demo invoice shortly after opening.
    ASSERT_TRUE(QTest::qWaitFor([&] { return form->LiveView().PagesShown() == 1; }, 5000))
        << form->LiveView().Message().toStdString();
    const int refreshes = form->LiveView().Refreshes();

    QTest::mousePress(&canvas, Qt::LeftButton, {}, Pixel(*form, 30, 60));
    QTest::mouseMove(&canvas, Pixel(*form, 35, 62));
    QTest::mouseMove(&canvas, Pixel(*form, 40.6, 63.2));
    // Never refreshed during a drag.
    QTest::qWait(400);
    EXPECT_EQ(form->LiveView().Refreshes(), refreshes);
    QTest::mouseRelease(&canvas, Qt::LeftButton, {}, Pixel(*form, 40.6, 63.2));
    EXPECT_DOUBLE_EQ(Element(*form, ekAddress).X, 30.5);
    EXPECT_DOUBLE_EQ(Element(*form, ekAddress).Y, 55);
    EXPECT_EQ(Child<QLineEdit>(*form, "edX")->text().toStdString(), "30,5");
    EXPECT_TRUE(QTest::qWaitFor([&] { return form->LiveView().Refreshes() > refreshes; }, 5000));
    EXPECT_EQ(form->LiveView().PagesShown(), 1);

    QTest::keyClick(form.get(), Qt::Key_Z, Qt::ControlModifier);
    EXPECT_DOUBLE_EQ(Element(*form, ekAddress).X, 20);
    EXPECT_EQ(Child<QLineEdit>(*form, "edX")->text().toStdString(), "20,0");
    QTest::keyClick(form.get(), Qt::Key_Y, Qt::ControlModifier);
    EXPECT_DOUBLE_EQ(Element(*form, ekAddress).X, 30.5);
}

TEST_F(DesignerFormTest, TypedValuesAndArrowKeysReachTheSelectedElement) {
    auto form = Open();
    QLineEdit* x = Child<QLineEdit>(*form, "edX");
    QLineEdit* width = Child<QLineEdit>(*form, "edW");
    x->setFocus();
    x->selectAll();
    QTest::keyClicks(x, "12.5");
    EXPECT_DOUBLE_EQ(Element(*form, ekAddress).X, 12.5);
    width->setFocus();
    width->selectAll();
    QTest::keyClicks(width, "1,5");
    EXPECT_DOUBLE_EQ(Element(*form, ekAddress).W, 85);  // below 2 mm: ignored
    EXPECT_EQ(width->text().toStdString(), "1,5");      // the field keeps what was typed

    // In a text field the arrow keys move the caret, not the element.
    QTest::keyClick(x, Qt::Key_Left);
    EXPECT_DOUBLE_EQ(Element(*form, ekAddress).X, 12.5);
    // On the page they move it, with Shift by 5 mm, beyond the page's edge too.
    form->Canvas().setFocus();
    QTest::keyClick(&form->Canvas(), Qt::Key_Left);
    EXPECT_DOUBLE_EQ(Element(*form, ekAddress).X, 12);
    for (int i = 0; i < 4; ++i) QTest::keyClick(&form->Canvas(), Qt::Key_Left, Qt::ShiftModifier);
    EXPECT_DOUBLE_EQ(Element(*form, ekAddress).X, -8);
    EXPECT_EQ(x->text().toStdString(), "-8,0");
}

TEST_F(DesignerFormTest, ListSelectionSwitchesThePageAndZoomReloadsTheBackgroundOnce) {
    auto form = Open();
    form->Presenter().BackgroundsChanged(test::SourceDir() + "/tests/data/layout/briefpapier.png", "", true);
    QTest::qWait(20);
    const int loads = form->Canvas().BackgroundLoads();
    EXPECT_GE(loads, 1);
    const int width75 = form->Canvas().width();

    QListWidget* list = Child<QListWidget>(*form, "lbElements");
    list->setCurrentRow(IndexOf(*form, ekFollowTitle));
    EXPECT_TRUE(Child<QRadioButton>(*form, "rbFollow")->isChecked());
    EXPECT_FALSE(form->Presenter().ShowFirst());
    Child<QRadioButton>(*form, "rbFirst")->click();
    EXPECT_TRUE(form->Presenter().ShowFirst());
    EXPECT_EQ(form->Presenter().Selected(), -1);

    QTest::qWait(20);
    const int before = form->Canvas().BackgroundLoads();
    Child<QComboBox>(*form, "cbZoom")->setCurrentIndex(4);  // 150 %
    form->Canvas().repaint();
    form->Canvas().repaint();
    EXPECT_NEAR(form->Canvas().width() - 2 * kPageMarginPx, 2 * (width75 - 2 * kPageMarginPx), 1);
    EXPECT_EQ(form->Canvas().BackgroundLoads(), before + 1);
}

TEST_F(DesignerFormTest, PlaceholdersReplaceTheSelectionAndFreeTextsComeAndGo) {
    auto form = Open();
    const size_t fixed = form->Presenter().Layout().Elements.size();
    QTest::mouseClick(Child<QPushButton>(*form, "btnAddText"), Qt::LeftButton);
    ASSERT_EQ(form->Presenter().Layout().Elements.size(), fixed + 1);
    QPlainTextEdit* text = Child<QPlainTextEdit>(*form, "mmText");
    EXPECT_TRUE(text->hasFocus());
    EXPECT_EQ(text->textCursor().selectedText().toStdString(), "Neuer Text");  // typing replaces it
    // Select "Text" and put the invoice number in its place.
    QTextCursor cursor = text->textCursor();
    cursor.setPosition(6);
    cursor.setPosition(10, QTextCursor::KeepAnchor);
    text->setTextCursor(cursor);
    QComboBox* placeholders = Child<QComboBox>(*form, "cbPlaceholder");
    int nr = placeholders->findText("{Nr}", Qt::MatchStartsWith);
    ASSERT_GE(nr, 0);
    placeholders->activated(nr);
    EXPECT_EQ(form->Presenter().Layout().Elements.back()->Text, "Neuer {Nr}");
    EXPECT_EQ(placeholders->currentIndex(), -1);
    EXPECT_EQ(Child<QListWidget>(*form, "lbElements")->item(static_cast<int>(fixed))->text().toStdString(),
              "Text: Neuer {Nr}");
    QTest::mouseClick(Child<QPushButton>(*form, "btnDelete"), Qt::LeftButton);
    EXPECT_EQ(form->Presenter().Layout().Elements.size(), fixed);
    EXPECT_EQ(Child<QListWidget>(*form, "lbElements")->count(), static_cast<int>(fixed));
}

TEST_F(DesignerFormTest, CancelAsksAboutChangesAndSaveWritesTheFile) {
    auto form = Open();
    QLineEdit* x = Child<QLineEdit>(*form, "edX");
    x->selectAll();
    QTest::keyClicks(x, "44");
    std::string asked;
    AnswerNextMessageBox(QMessageBox::No, &asked);
    QTest::keyClick(form.get(), Qt::Key_Escape);
    EXPECT_EQ(asked, "Änderungen am Layout verwerfen?");
    EXPECT_TRUE(form->isVisible());
    EXPECT_FALSE(FileExists(Settings->LayoutFile));
    EXPECT_DOUBLE_EQ(Settings->Layout->Find(ekAddress)->X, 20);

    QTest::mouseClick(Child<QPushButton>(*form, "btnSave"), Qt::LeftButton);
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(form->result(), QDialog::Accepted);
    EXPECT_TRUE(FileExists(Settings->LayoutFile));
    EXPECT_DOUBLE_EQ(Settings->Layout->Find(ekAddress)->X, 44);
}

TEST_F(DesignerFormTest, TheLiveViewDrawsWhitePaperInTheDarkLookAndZoomsOnItsOwn) {
    ApplyTheme(false);  // the dark look, no letter paper
    ASSERT_TRUE(Settings->Layout->BackgroundFirst.empty());
    auto form = Open("RE24-0010");
    TPdfLiveView& live = form->LiveView();
    ASSERT_TRUE(QTest::qWaitFor([&] { return live.PagesShown() > 0; }, 10000)) << live.Message().toStdString();
    const QImage page = live.PageImage(0);
    ASSERT_FALSE(page.isNull());
    // A corner of the page, where nothing is printed: paper, not the dark window behind.
    for (const QPoint p : {QPoint(3, 3), QPoint(page.width() - 4, page.height() - 4)})
        EXPECT_EQ(page.pixelColor(p), QColor(Qt::white)) << p.x() << "," << p.y();
    int printed = 0;  // the invoice is on it: dark text on the paper
    for (int y = 0; y < page.height(); y += 4)
        for (int x = 0; x < page.width(); x += 4) printed += QColor(page.pixel(x, y)).lightness() < 100;
    EXPECT_GT(printed, 50);

    // "Seitenbreite": as wide as the pane; "200 %": twice the printed size, scrolled.
    auto* zoom = Child<QComboBox>(*form, "cbLiveZoom");
    auto* area = Child<QScrollArea>(*form, "liveArea");
    EXPECT_EQ(zoom->currentText().toStdString(), "Seitenbreite");
    EXPECT_LE(page.width() / page.devicePixelRatio(), area->viewport()->width());
    zoom->setCurrentIndex(zoom->findText("200 %"));
    const QImage large = live.PageImage(0);
    EXPECT_EQ(qRound(large.width() / large.devicePixelRatio()), qRound(595.28 * 96 / 72 * 2));
    QTest::qWait(50);
    EXPECT_GT(area->horizontalScrollBar()->maximum(), 0);
    zoom->setCurrentIndex(0);  // the choice is remembered: leave the default for other tests
}

TEST_F(DesignerFormTest, EndSessionKeepsUnsavedChangesInTheRecoveryCopyWithoutAsking) {
    auto form = Open();
    QLineEdit* x = Child<QLineEdit>(*form, "edX");
    x->selectAll();
    QTest::keyClicks(x, "57");
    ASSERT_TRUE(form->Presenter().HasChanges());
    const std::string recovery = form->Presenter().RecoveryFile();
    ASSERT_FALSE(FileExists(recovery));
    form->EndSession();  // a message box would block here: none may open
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(form->result(), QDialog::Rejected);
    ASSERT_TRUE(FileExists(recovery));
    TLayout kept;
    kept.LoadFromFile(recovery, "");
    EXPECT_TRUE(SameLayout(kept, form->Presenter().Layout()));
    EXPECT_DOUBLE_EQ(kept.Find(ekAddress)->X, 57);
    EXPECT_FALSE(FileExists(Settings->LayoutFile));
    EXPECT_DOUBLE_EQ(Settings->Layout->Find(ekAddress)->X, 20);

    // The next opening offers it; "Ja" brings the change back as unsaved.
    std::string asked;
    AnswerNextMessageBox(QMessageBox::Yes, &asked);
    auto next = Open();
    EXPECT_NE(asked.find("Wiederherstellen?"), std::string::npos) << asked;
    EXPECT_DOUBLE_EQ(Element(*next, ekAddress).X, 57);
    EXPECT_EQ(Child<QLineEdit>(*next, "edX")->text().toStdString(), "57,0");
    EXPECT_TRUE(next->Presenter().HasChanges());
    EXPECT_FALSE(FileExists(recovery));
    next->EndSession();
    EXPECT_TRUE(FileExists(recovery));
}

TEST_F(DesignerFormTest, PreviewWithoutNumberAsksForOneAndFocusesTheField) {
    auto form = Open();
    std::string said;
    AnswerNextMessageBox(QMessageBox::Ok, &said);
    QTest::mouseClick(Child<QPushButton>(*form, "btnPreview"), Qt::LeftButton);
    EXPECT_EQ(said, "Bitte eine Rechnungsnummer für die Vorschau eingeben.");
    QLineEdit* number = Child<QLineEdit>(*form, "edPreviewNo");
    EXPECT_EQ(form->focusWidget(), number);  // the field the window gives the focus back to
    EXPECT_TRUE(QTest::qWaitFor([&] { return !form->LiveView().Message().isEmpty(); }, 3000));
    EXPECT_TRUE(form->LiveView().Message().startsWith("Keine Ansicht: "));
}

TEST_F(DesignerFormTest, CtrlLInTheMainWindowOpensTheDesignerWithTheSelectedDocument) {
    TMainForm main(Ini);
    main.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&main));
    auto* table = main.findChild<QTableView*>("lvInvoices");
    ASSERT_TRUE(QTest::qWaitFor([&] { return main.findChild<QComboBox*>("cbCompany")->count() > 0; }));
    main.Presenter().SetDateFrom(EncodeDate(2024, 1, 1));
    main.Presenter().SetDateTo(EncodeDate(2024, 12, 31));
    main.Presenter().DoSearch();
    const TInvoiceListModel& list = main.Presenter().Invoices();
    ASSERT_GE(table->model()->rowCount(), 3);
    int memo = -1;
    for (size_t i = 0; i < list.Count() && memo < 0; ++i)
        if (list.Row(i).Item.Kind == bkCreditMemo) memo = static_cast<int>(i);
    ASSERT_GE(memo, 0);

    // The designer as it opens: its number, its kind and what the live view shows.
    struct TOpened {
        std::string No, Message;
        TDocumentKind Kind = bkInvoice;
        int Pages = 0;
    };
    auto openDesigner = [&] {
        TOpened opened;
        QTimer::singleShot(50, [&] {
            auto* designer = qobject_cast<TDesignerForm*>(QApplication::activeModalWidget());
            ASSERT_NE(designer, nullptr);
            EXPECT_EQ(designer->windowTitle().toStdString(), kDesignerTitle);
            opened.No = designer->findChild<QLineEdit*>("edPreviewNo")->text().toStdString();
            opened.Kind = designer->Presenter().PreviewKind();
            QTest::qWaitFor([&] { return designer->LiveView().Refreshes() > 0; }, 10000);
            opened.Pages = designer->LiveView().PagesShown();
            opened.Message = designer->LiveView().Message().toStdString();
            designer->reject();  // no changes: closes without asking
        });
        main.activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&main));
        QTest::keyClick(&main, Qt::Key_L, Qt::ControlModifier);
        return opened;
    };

    table->selectRow(memo);
    const TOpened credit = openDesigner();
    EXPECT_EQ(credit.No, list.Row(memo).No());
    EXPECT_EQ(credit.Kind, bkCreditMemo);
    EXPECT_GT(credit.Pages, 0) << credit.Message;  // no "… nicht gefunden"

    table->clearSelection();
    const TOpened newest = openDesigner();
    EXPECT_EQ(newest.No, DesignerPreviewDocument(list).No);
    EXPECT_EQ(newest.No, list.Row(0).No());  // the search comes newest first
    EXPECT_GT(newest.Pages, 0) << newest.Message;
}

} // namespace
