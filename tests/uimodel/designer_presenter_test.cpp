// The layout designer's presenter: selection and pages, the property rules, dragging
// and keys, free texts, the default layout, undo and redo, saving and the previews.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <memory>
#include <type_traits>

#include <sys/stat.h>

#include "app/demo_mail_setup.h"
#include "app/generate_demo_setup.h"
#include "config/settings.h"
#include "erp/nav_data.h"
#include "fake_main_window.h"
#include "platform/error.h"
#include "platform/files.h"
#include "platform/private_temp.h"
#include "platform/text.h"
#include "support/test_support.h"
#include "uimodel/designer_presenter.h"
#include "uimodel/invoice_list.h"
#include "uimodel/layout_history.h"

using namespace velkaro;

namespace {

class FakeDesignerView : public TDesignerView {
public:
    void ElementListChanged() override { ++ListUpdates; }
    void SelectionChanged() override { ++SelectionUpdates; }
    void PageChanged() override { ++PageUpdates; }
    void ZoomChanged() override { ++ZoomUpdates; }
    void BackgroundsChanged() override { ++BackgroundUpdates; }
    void CanvasChanged() override { ++Repaints; }
    void LayoutEdited() override { ++Edits; }

    int ListUpdates = 0, SelectionUpdates = 0, PageUpdates = 0, ZoomUpdates = 0, BackgroundUpdates = 0, Repaints = 0,
        Edits = 0;
};

// Documents by number and kind; the "PDF" is a text file naming what was printed.
class FakeDesignerDocuments : public TDesignerDocuments {
public:
    TSeller LoadSeller() override { throw Exception("Keine Datenbank."); }
    std::string PrintPreview(const TLayout& layout, const TPreviewDocument& document,
                             const std::string& folder) override {
        Printed.push_back(document);
        const auto found = Documents.find(document.No);
        if (found == Documents.end() || found->second != document.Kind)
            throw Exception(DocumentKindName(document.Kind) + " " + document.No + " nicht gefunden");
        ForceDirectories(folder);
        const std::string pdf = CombinePath(folder, document.No + ".pdf");
        WriteFileBytes(pdf, DocumentKindName(document.Kind) + " mit " + std::to_string(layout.Elements.size()) +
                                " Elementen");
        return pdf;
    }

    std::map<std::string, TDocumentKind> Documents;
    std::vector<TPreviewDocument> Printed;
};

// A designer without a database (the sample seller), its layout file in a fresh folder.
class DesignerPresenterTest : public ::testing::Test {
protected:
    DesignerPresenterTest() {
        Original.SetDefaults("");
        Designer = Open();
    }

    TDesignerInputs Inputs(TPreviewDocument preview = {}) const {
        return {Folder.File("velkaro.layout.ini"), Folder.Path(), "", &Original, std::move(preview)};
    }
    std::unique_ptr<TDesignerPresenter> Open(TDesignerInputs inputs) {
        return std::make_unique<TDesignerPresenter>(View, Services, Documents, std::move(inputs));
    }
    std::unique_ptr<TDesignerPresenter> Open() { return Open(Inputs()); }

    int IndexOf(TElementKind kind) const {
        const auto& elements = Designer->Layout().Elements;
        for (size_t i = 0; i < elements.size(); ++i)
            if (elements[i]->Kind == kind) return static_cast<int>(i);
        return -1;
    }
    const TLayoutElement& Element(TElementKind kind) const { return *Designer->Layout().Elements[IndexOf(kind)]; }
    // The pixel at (x, y) mm on the page at the designer's zoom.
    TPixelPoint Pixel(double x, double y) const {
        const double ppm = Designer->PixelsPerMmNow();
        return {MmToPixels(x, ppm) + kPageMarginPx, MmToPixels(y, ppm) + kPageMarginPx};
    }
    // A drag with the left button from one point to another (in mm on the page).
    void Drag(double fromX, double fromY, double toX, double toY) {
        Designer->MouseDown(Pixel(fromX, fromY));
        Designer->MouseMove(Pixel((fromX + toX) / 2, (fromY + toY) / 2));
        Designer->MouseMove(Pixel(toX, toY));
        Designer->MouseUp();
    }

    test::TempFolder Folder;
    test::FakeMainWindow Window;
    TViewServices Services = Window.Services();
    FakeDesignerView View;
    FakeDesignerDocuments Documents;
    TLayout Original;  // the program's layout, which the designer only copies
    std::unique_ptr<TDesignerPresenter> Designer;
};

TEST_F(DesignerPresenterTest, StartsOnPageOneWithTheAddressSelectedAndTheSampleCompany) {
    EXPECT_TRUE(Designer->ShowFirst());
    EXPECT_EQ(Designer->Selected(), IndexOf(ekAddress));
    EXPECT_EQ(Designer->SampleValues().at("Firma"), SampleSeller().Addr.Name);
    EXPECT_DOUBLE_EQ(Designer->ZoomFactor(), 0.75);
    EXPECT_EQ(Designer->ElementCaptions().size(), Designer->Layout().Elements.size());
    EXPECT_FALSE(Designer->HasChanges());
    EXPECT_TRUE(Designer->ConfirmDiscard());
    EXPECT_TRUE(Window.Asked.empty());
}

TEST_F(DesignerPresenterTest, ThePropertyPanelFollowsTheKindOfTheSelection) {
    struct Case {
        TElementKind Kind;
        bool Size, Bold, Visible, Scope, File, Text, Align, Delete;
    };
    Designer->AddText();
    for (const Case& c : {Case{ekLogo, false, false, true, true, true, false, false, false},
                          Case{ekTable, true, false, false, false, false, true, false, false},
                          Case{ekAddress, true, true, true, false, false, true, true, false},
                          Case{ekText, true, true, true, true, false, true, true, true}}) {
        Designer->SelectElement(IndexOf(c.Kind));
        const TDesignerControls controls = Designer->Controls();
        EXPECT_TRUE(controls.HasSelection) << ElementCaption(c.Kind);
        EXPECT_EQ(controls.SizeEnabled, c.Size) << ElementCaption(c.Kind);
        EXPECT_EQ(controls.BoldEnabled, c.Bold) << ElementCaption(c.Kind);
        EXPECT_EQ(controls.VisibleEnabled, c.Visible) << ElementCaption(c.Kind);
        EXPECT_EQ(controls.ScopeEnabled, c.Scope) << ElementCaption(c.Kind);
        EXPECT_EQ(controls.FileEnabled, c.File) << ElementCaption(c.Kind);
        EXPECT_EQ(controls.TextEnabled, c.Text) << ElementCaption(c.Kind);
        EXPECT_EQ(controls.AlignEnabled, c.Align) << ElementCaption(c.Kind);
        EXPECT_EQ(controls.DeleteEnabled, c.Delete) << ElementCaption(c.Kind);
        EXPECT_EQ(controls.Help, HintText(c.Kind));
    }
    Designer->SelectElement(IndexOf(ekInfo));
    const TDesignerControls info = Designer->Controls();
    EXPECT_EQ(info.X, "125,0");
    EXPECT_EQ(info.FontSize, "9,0");
    EXPECT_EQ(info.Text, Element(ekInfo).Text);
    Designer->SelectElement(-1);
    EXPECT_FALSE(Designer->Controls().HasSelection);
    EXPECT_FALSE(Designer->Controls().TextEnabled);
}

TEST_F(DesignerPresenterTest, TypedValuesTakeOnlyWhatTheFieldAccepts) {
    struct Case {
        TDesignerField Field;
        const char* Text;
        double X, W, Size;  // the address after the edit (starts 20, 85, 10)
    };
    for (const Case& c : {Case{dfX, "12.5", 12.5, 85, 10}, Case{dfX, "12,5", 12.5, 85, 10},
                          Case{dfX, "-7", -7, 85, 10}, Case{dfX, "zwölf", 20, 85, 10},
                          Case{dfWidth, "1,5", 20, 85, 10}, Case{dfWidth, "2", 20, 2, 10},
                          Case{dfFontSize, "3", 20, 85, 10}, Case{dfFontSize, "73", 20, 85, 10},
                          Case{dfFontSize, "4", 20, 85, 4}, Case{dfFontSize, "72", 20, 85, 72},
                          Case{dfFontSize, "10,5", 20, 85, 10.5}}) {
        Designer->SelectElement(IndexOf(ekAddress));
        Designer->FieldChanged(c.Field, c.Text);
        const TLayoutElement& address = Element(ekAddress);
        EXPECT_DOUBLE_EQ(address.X, c.X) << c.Text;
        EXPECT_DOUBLE_EQ(address.W, c.W) << c.Text;
        EXPECT_DOUBLE_EQ(address.FontSize, c.Size) << c.Text;
        while (Designer->CanUndo()) Designer->Undo();
    }
    // A height below 2 mm is ignored like a width.
    Designer->FieldChanged(dfHeight, "0,5");
    EXPECT_DOUBLE_EQ(Element(ekAddress).H, 38);
    EXPECT_FALSE(Designer->HasChanges());
}

TEST_F(DesignerPresenterTest, TablesCannotBeHiddenAndTheLogoBecomesVisibleWithItsFile) {
    Designer->SelectElement(IndexOf(ekTable));
    Designer->VisibleChanged(false);
    EXPECT_TRUE(Element(ekTable).Visible);
    Designer->SelectElement(IndexOf(ekLogo));
    ASSERT_FALSE(Element(ekLogo).Visible);  // no logo file in the settings
    const int listUpdates = View.ListUpdates;
    Designer->LogoChosen(" /bilder/logo.png ");
    EXPECT_TRUE(Element(ekLogo).Visible);
    EXPECT_EQ(Element(ekLogo).FileName, "/bilder/logo.png");
    EXPECT_GT(View.ListUpdates, listUpdates);  // "(ausgeblendet)" left the caption
}

TEST_F(DesignerPresenterTest, SelectingAnElementOfTheOtherPageSwitchesThePage) {
    Designer->SelectElement(IndexOf(ekFollowTitle));
    EXPECT_FALSE(Designer->ShowFirst());
    EXPECT_EQ(Designer->Selected(), IndexOf(ekFollowTitle));
    // Back to page 1 by hand: the follow title is not there, so nothing stays selected.
    Designer->ShowPage(true);
    EXPECT_EQ(Designer->Selected(), -1);
    // The footer appears on every page and stays selected.
    Designer->SelectElement(IndexOf(ekFooter));
    Designer->ShowPage(false);
    EXPECT_EQ(Designer->Selected(), IndexOf(ekFooter));
}

TEST_F(DesignerPresenterTest, DraggingSnapsAndKeepsFiveMillimetresOnThePage) {
    // The address (20, 52, 85 × 38) dragged by 10.6 mm right and 3.2 mm down.
    Drag(30, 60, 40.6, 63.2);
    EXPECT_DOUBLE_EQ(Element(ekAddress).X, 30.5);
    EXPECT_DOUBLE_EQ(Element(ekAddress).Y, 55);
    // Far to the left and up: 5 mm of it stay on the page.
    Drag(40, 60, -300, -300);
    EXPECT_DOUBLE_EQ(Element(ekAddress).X, 5 - 85);
    EXPECT_DOUBLE_EQ(Element(ekAddress).Y, 5 - 38);
    // Far to the right and down: it starts 5 mm before the page's edge.
    Designer->FieldChanged(dfX, "20");
    Designer->FieldChanged(dfY, "52");
    Drag(30, 60, 600, 900);
    EXPECT_DOUBLE_EQ(Element(ekAddress).X, 205);
    EXPECT_DOUBLE_EQ(Element(ekAddress).Y, 292);
}

TEST_F(DesignerPresenterTest, ResizingByTheHandleNeverGoesBelowTwoMillimetres) {
    const TLayoutElement& address = Element(ekAddress);
    Drag(105, 90, 60.2, 71.9);  // from the bottom-right corner
    EXPECT_DOUBLE_EQ(address.W, 40);
    EXPECT_DOUBLE_EQ(address.H, 20);
    EXPECT_DOUBLE_EQ(address.X, 20);
    Drag(60, 72, -100, -100);
    EXPECT_DOUBLE_EQ(address.W, 2);
    EXPECT_DOUBLE_EQ(address.H, 2);
    EXPECT_EQ(Designer->MouseMove(Pixel(22, 54)), ccResize);
    EXPECT_EQ(Designer->MouseMove(Pixel(150, 200)), ccDefault);
}

TEST_F(DesignerPresenterTest, ArrowKeysMoveByHalfOrFiveMillimetresWithoutLimit) {
    EXPECT_TRUE(Designer->MoveByKey(-1, 0, false));
    EXPECT_DOUBLE_EQ(Element(ekAddress).X, 19.5);
    for (int i = 0; i < 10; ++i) Designer->MoveByKey(-1, 1, true);
    EXPECT_DOUBLE_EQ(Element(ekAddress).X, -30.5);  // beyond the 5-mm limit of the mouse
    EXPECT_DOUBLE_EQ(Element(ekAddress).Y, 102);
    // The key presses on one element are one step.
    Designer->Undo();
    EXPECT_DOUBLE_EQ(Element(ekAddress).X, 20);
    EXPECT_FALSE(Designer->CanUndo());
    Designer->SelectElement(-1);
    EXPECT_FALSE(Designer->MoveByKey(1, 0, false));
}

TEST_F(DesignerPresenterTest, UndoAndRedoGoByDragAndByField) {
    // Undo and redo replace the elements: look the address up each time.
    auto address = [&]() -> const TLayoutElement& { return Element(ekAddress); };
    Drag(30, 60, 40, 60);
    ASSERT_DOUBLE_EQ(address().X, 30);
    for (const char* typed : {"1", "12", "12,", "12,5"}) Designer->FieldChanged(dfY, typed);
    Designer->FieldChanged(dfX, "44");
    EXPECT_TRUE(Designer->HasChanges());
    EXPECT_GT(View.Edits, 0);

    Designer->Undo();  // the X field
    EXPECT_DOUBLE_EQ(address().X, 30);
    EXPECT_DOUBLE_EQ(address().Y, 12.5);
    Designer->Undo();  // all the typing into Y
    EXPECT_DOUBLE_EQ(address().Y, 52);
    Designer->Undo();  // the drag
    EXPECT_DOUBLE_EQ(address().X, 20);
    EXPECT_FALSE(Designer->CanUndo());
    EXPECT_FALSE(Designer->HasChanges());

    Designer->Redo();
    Designer->Redo();
    EXPECT_DOUBLE_EQ(address().X, 30);
    EXPECT_DOUBLE_EQ(address().Y, 12.5);
    EXPECT_TRUE(Designer->HasChanges());
    // A new edit drops what could have been redone.
    Designer->FieldChanged(dfWidth, "50");
    EXPECT_FALSE(Designer->CanRedo());
    // A click without a move is no step.
    Drag(25, 15, 25, 15);
    Designer->Undo();
    EXPECT_DOUBLE_EQ(address().W, 85);
}

TEST_F(DesignerPresenterTest, FreeTextsAreAddedEditedAndRemovedWithUndo) {
    const size_t fixed = Designer->Layout().Elements.size();
    Designer->ShowPage(false);
    Designer->AddText();
    ASSERT_EQ(Designer->Layout().Elements.size(), fixed + 1);
    EXPECT_EQ(Designer->Selected(), static_cast<int>(fixed));
    EXPECT_EQ(Designer->Layout().Elements.back()->Scope, psFollow);
    const int listUpdates = View.ListUpdates;
    Designer->FieldChanged(dfText, "Zahlbar ohne Abzug\r\nDanke");
    EXPECT_EQ(Designer->ElementCaptions().back(), "Text: Zahlbar ohne Abzug Danke");
    EXPECT_GT(View.ListUpdates, listUpdates);
    Designer->RemoveText();
    EXPECT_EQ(Designer->Layout().Elements.size(), fixed);
    EXPECT_EQ(Designer->Selected(), -1);
    Designer->Undo();
    ASSERT_EQ(Designer->Layout().Elements.size(), fixed + 1);
    EXPECT_EQ(Designer->Layout().Elements.back()->Text, "Zahlbar ohne Abzug\r\nDanke");
    // Fixed elements are never removed.
    Designer->SelectElement(IndexOf(ekTitle));
    Designer->RemoveText();
    EXPECT_EQ(Designer->Layout().Elements.size(), fixed + 1);
}

TEST_F(DesignerPresenterTest, TheDefaultLayoutAsksAndDropsBackgroundsAndFreeTexts) {
    Designer->BackgroundsChanged(" /briefpapier.png ", "/folge.png", false);
    EXPECT_EQ(Designer->Layout().BackgroundFirst, "/briefpapier.png");
    EXPECT_EQ(Designer->Layout().BackgroundFor(false), "/folge.png");
    Designer->AddText();
    Window.AskAnswer = false;
    Designer->ResetToDefaults();
    ASSERT_EQ(Window.Asked.size(), 1u);
    EXPECT_EQ(Window.Asked[0], "Alle Positionen auf das Standardlayout zurücksetzen? Hintergrundbilder und freie "
                               "Texte gehen verloren.");
    EXPECT_EQ(Designer->Layout().Elements.size(), size_t(FixedElementKindCount) + 1);

    Window.AskAnswer = true;
    Designer->ResetToDefaults();
    EXPECT_EQ(Designer->Layout().Elements.size(), size_t(FixedElementKindCount));
    EXPECT_EQ(Designer->Layout().BackgroundFirst, "");
    EXPECT_TRUE(Designer->Layout().FollowSameAsFirst);
    EXPECT_EQ(Designer->Selected(), -1);
    Designer->Undo();
    EXPECT_EQ(Designer->Layout().BackgroundFirst, "/briefpapier.png");
    EXPECT_EQ(Designer->Layout().Elements.size(), size_t(FixedElementKindCount) + 1);
}

TEST_F(DesignerPresenterTest, CancellingLeavesFileAndProgramLayoutAlone) {
    Designer->FieldChanged(dfX, "99");
    Window.AskAnswer = false;
    EXPECT_FALSE(Designer->ConfirmDiscard());
    EXPECT_EQ(Window.Asked, std::vector<std::string>{"Änderungen am Layout verwerfen?"});
    Window.AskAnswer = true;
    EXPECT_TRUE(Designer->ConfirmDiscard());
    EXPECT_FALSE(FileExists(Folder.File("velkaro.layout.ini")));
    EXPECT_DOUBLE_EQ(Original.Find(ekAddress)->X, 20);
}

TEST_F(DesignerPresenterTest, SavingWritesTheFileAndEndsTheChanges) {
    Designer->FieldChanged(dfX, "33,5");
    ASSERT_TRUE(Designer->Save());
    EXPECT_FALSE(Designer->HasChanges());
    TLayout reread;
    reread.LoadFromFile(Folder.File("velkaro.layout.ini"), "");
    EXPECT_DOUBLE_EQ(reread.Find(ekAddress)->X, 33.5);
    EXPECT_DOUBLE_EQ(Original.Find(ekAddress)->X, 20);  // the window hands the saved copy on
    Designer->FieldChanged(dfX, "40");
    EXPECT_TRUE(Designer->HasChanges());
}

TEST_F(DesignerPresenterTest, AFailedSaveSaysWhyAndKeepsTheWindowOpen) {
    TDesignerInputs inputs = Inputs();
    inputs.LayoutFile = Folder.File("gibt-es-nicht") + "/velkaro.layout.ini";
    Designer = Open(inputs);
    Designer->FieldChanged(dfX, "33,5");
    EXPECT_FALSE(Designer->Save());
    ASSERT_EQ(Window.Errors.size(), 1u);
    EXPECT_TRUE(Window.Errors[0].starts_with("Layout konnte nicht gespeichert werden: ")) << Window.Errors[0];
    EXPECT_TRUE(Designer->HasChanges());
}

TEST_F(DesignerPresenterTest, PreviewWithoutNumberAsksForOneAndMakesNothing) {
    Designer->SetPreviewNumber("   ");
    EXPECT_FALSE(Designer->Preview());
    EXPECT_EQ(Window.Informed, std::vector<std::string>{"Bitte eine Rechnungsnummer für die Vorschau eingeben."});
    EXPECT_TRUE(Window.Opened.empty());
    EXPECT_TRUE(Designer->RenderLiveView().Message.starts_with("Keine Ansicht: "));
    EXPECT_TRUE(Documents.Printed.empty());
}

// The document the designer opens with, chosen from the main window's list.
TEST(DesignerPreviewDocument, TheSelectedRowElseTheNewestCreditMemosIncluded) {
    auto row = [](const char* no, TDocumentKind kind, int day, bool selected = false) {
        TInvoiceListItem item;
        item.No = no;
        item.Kind = kind;
        item.PostingDate = EncodeDate(2024, 3, day);
        TInvoiceRow r = MakeInvoiceRow(item, 0);
        r.Selected = selected;
        return r;
    };
    struct Case {
        const char* Name;
        std::vector<TInvoiceRow> Rows;
        std::string No;
        TDocumentKind Kind;
    };
    const Case cases[] = {
        {"an empty list", {}, "", bkInvoice},
        {"no selection: the newest, though sorted by number",
         {row("GS24-0001", bkCreditMemo, 2), row("RE24-0001", bkInvoice, 1), row("RE24-0007", bkInvoice, 9)},
         "RE24-0007", bkInvoice},
        {"no selection: a credit memo as the newest",
         {row("RE24-0007", bkInvoice, 9), row("GS24-0002", bkCreditMemo, 10)}, "GS24-0002", bkCreditMemo},
        {"equal dates: the first in list order",
         {row("RE24-0008", bkInvoice, 9), row("RE24-0009", bkInvoice, 9)}, "RE24-0008", bkInvoice},
        {"the first selected row, a credit memo",
         {row("RE24-0007", bkInvoice, 9), row("GS24-0001", bkCreditMemo, 2, true), row("RE24-0001", bkInvoice, 1, true)},
         "GS24-0001", bkCreditMemo},
    };
    for (const Case& c : cases) {
        TInvoiceListModel list;
        list.Assign(c.Rows);
        const TPreviewDocument chosen = DesignerPreviewDocument(list);
        EXPECT_EQ(chosen.No, c.No) << c.Name;
        EXPECT_EQ(chosen.Kind, c.Kind) << c.Name;
    }
}

TEST_F(DesignerPresenterTest, PreviewsPrintTheKindGivenAndFindATypedNumberOfTheOtherKind) {
    Documents.Documents = {{"GS24-0001", bkCreditMemo}, {"RE24-0003", bkInvoice}};
    Designer = Open(Inputs({"GS24-0001", bkCreditMemo}));
    const TLiveViewResult memo = Designer->RenderLiveView();
    ASSERT_EQ(memo.Message, "");
    EXPECT_EQ(ReadFileBytes(memo.PdfFile), "Rechnungskorrektur mit 11 Elementen");
    ASSERT_EQ(Documents.Printed.size(), 1u);  // straight as a credit memo

    Designer->SetPreviewNumber(" RE24-0003 ");  // typed: an invoice
    Documents.Printed.clear();
    ASSERT_EQ(Designer->RenderLiveView().Message, "");
    EXPECT_EQ(Designer->PreviewKind(), bkInvoice);
    ASSERT_EQ(Documents.Printed.size(), 2u);
    EXPECT_EQ(Documents.Printed[0].Kind, bkCreditMemo);
    EXPECT_EQ(Documents.Printed[1].No, "RE24-0003");
    Documents.Printed.clear();
    ASSERT_TRUE(Designer->Preview());
    EXPECT_EQ(Documents.Printed.size(), 1u);  // the kind found is remembered
    ASSERT_EQ(Window.Opened.size(), 1u);
    EXPECT_NE(Window.Opened[0], memo.PdfFile);  // the viewer's file is not the live view's

    // Files in this process's private folder, for this account alone.
    for (const std::string& file : {memo.PdfFile, Window.Opened[0]}) {
        EXPECT_TRUE(file.starts_with(PrivateTempFolder() + "/")) << file;
        struct stat st{};
        ASSERT_EQ(::stat(file.c_str(), &st), 0) << file;
        EXPECT_EQ(st.st_mode & 0777, 0600u) << file;
    }

    // Found as neither: the reason of the kind tried first.
    Designer->SetPreviewNumber("RE99-9999");
    EXPECT_EQ(Designer->RenderLiveView().Message, "Keine Ansicht: Rechnung RE99-9999 nicht gefunden");
    ASSERT_TRUE(Designer->Preview());
    EXPECT_EQ(Window.Errors, std::vector<std::string>{"Vorschau nicht möglich: Rechnung RE99-9999 nicht gefunden"});
    EXPECT_EQ(Window.BusyDepth, 0);
}

// Unsaved changes kept at the end of the session and offered at the next opening.
TEST_F(DesignerPresenterTest, TheRecoveryCopyKeepsUnsavedChangesUntilTheNextOpening) {
    const std::string recovery = Designer->RecoveryFile();
    EXPECT_EQ(recovery, Folder.File("velkaro.layout.ini.wiederherstellung"));
    EXPECT_EQ(Designer->SaveRecoveryCopy(), "");
    EXPECT_FALSE(FileExists(recovery));  // nothing unsaved, nothing written

    Designer->FieldChanged(dfX, "61,5");
    Designer->AddText();
    Designer->FieldChanged(dfText, "Gesichert beim Abmelden");
    ASSERT_EQ(Designer->SaveRecoveryCopy(), "");
    ASSERT_TRUE(FileExists(recovery));
    EXPECT_TRUE(Window.Asked.empty());
    TLayout kept;
    kept.LoadFromFile(recovery, "");
    EXPECT_TRUE(SameLayout(kept, Designer->Layout()));
    EXPECT_FALSE(FileExists(Folder.File("velkaro.layout.ini")));

    for (const bool restore : {false, true}) {
        SCOPED_TRACE(restore);
        if (!FileExists(recovery)) kept.SaveToFile(recovery);
        Window.Asked.clear();
        Window.AskAnswer = restore;
        auto next = Open();
        next->OfferRecovery();
        ASSERT_EQ(Window.Asked.size(), 1u);
        EXPECT_NE(Window.Asked[0].find("Wiederherstellen?"), std::string::npos) << Window.Asked[0];
        EXPECT_FALSE(FileExists(recovery));  // taken or discarded: asked once
        EXPECT_EQ(SameLayout(next->Layout(), kept), restore);
        EXPECT_EQ(next->HasChanges(), restore);  // restored, not yet saved
        if (restore) {
            next->Undo();
            EXPECT_TRUE(SameLayout(next->Layout(), Original));
        }
    }

    // A copy older than the layout file was overtaken by a later save: dropped unasked.
    kept.SaveToFile(recovery);
    Original.SaveToFile(Folder.File("velkaro.layout.ini"));
    std::filesystem::last_write_time(recovery, std::filesystem::last_write_time(Folder.File("velkaro.layout.ini")) -
                                                   std::chrono::seconds(5));
    Window.Asked.clear();
    Open()->OfferRecovery();
    EXPECT_TRUE(Window.Asked.empty());
    EXPECT_FALSE(FileExists(recovery));

    // Saving the layout makes a recovery copy needless.
    kept.SaveToFile(recovery);
    Designer->FieldChanged(dfX, "62");
    ASSERT_TRUE(Designer->Save());
    EXPECT_FALSE(FileExists(recovery));
}

TEST_F(DesignerPresenterTest, PlaceholderEntriesInsertTheirKeyWithBraces) {
    const std::vector<std::string> entries = TDesignerPresenter::PlaceholderEntries();
    ASSERT_EQ(entries.size(), PlaceholderList().size());
    EXPECT_EQ(entries[0], "{" + PlaceholderList()[0].Key + "}  " + PlaceholderList()[0].Description);
    EXPECT_EQ(TDesignerPresenter::PlaceholderToken(entries[0]), "{" + PlaceholderList()[0].Key + "}");
    EXPECT_EQ(TDesignerPresenter::PlaceholderToken("{K.Name}  Kunde {Name}"), "{K.Name}");
}

// Every public value of the settings, named, to compare two states field by field.
std::vector<std::pair<std::string, std::string>> SettingsFields(const TSettings& s) {
    std::vector<std::pair<std::string, std::string>> fields;
    auto text = [](const auto& value) {
        using T = std::decay_t<decltype(value)>;
        if constexpr (std::is_same_v<T, std::string>) return value;
        else if constexpr (std::is_same_v<T, std::vector<std::string>>) return Join(value, "\n");
        else return std::to_string(value);
    };
#define VELKARO_FIELD(name) fields.emplace_back(#name, text(s.name))
    VELKARO_FIELD(FFileName);
    VELKARO_FIELD(FOutDirAsWritten);
    VELKARO_FIELD(FOutDirAsRead);
    VELKARO_FIELD(Server);
    VELKARO_FIELD(Database);
    VELKARO_FIELD(User);
    VELKARO_FIELD(Password);
    VELKARO_FIELD(Provider);
    VELKARO_FIELD(OdbcDriver);
    VELKARO_FIELD(Encryption);
    VELKARO_FIELD(TrustServerCertificate);
    VELKARO_FIELD(ConnectOptions);
    VELKARO_FIELD(Login);
    VELKARO_FIELD(Company);
    VELKARO_FIELD(MaxRows);
    VELKARO_FIELD(OutDir);
    VELKARO_FIELD(FileNamePattern);
    VELKARO_FIELD(CreditMemoFileNamePattern);
    VELKARO_FIELD(SaveXml);
    VELKARO_FIELD(OpenPdf);
    VELKARO_FIELD(FontName);
    VELKARO_FIELD(IccFile);
    VELKARO_FIELD(LogoFile);
    VELKARO_FIELD(LogoWidthMm);
    VELKARO_FIELD(WholeFonts);
    VELKARO_FIELD(IBAN);
    VELKARO_FIELD(BIC);
    VELKARO_FIELD(BankName);
    VELKARO_FIELD(AccountHolder);
    VELKARO_FIELD(CreditorID);
    VELKARO_FIELD(ContactName);
    VELKARO_FIELD(Phone);
    VELKARO_FIELD(Email);
    VELKARO_FIELD(Web);
    VELKARO_FIELD(Management);
    VELKARO_FIELD(CommercialRegister);
    VELKARO_FIELD(DirectDebitMethods);
    VELKARO_FIELD(CmnmDocType);
    VELKARO_FIELD(GraphTenant);
    VELKARO_FIELD(GraphClientId);
    VELKARO_FIELD(GraphSecret);
    VELKARO_FIELD(GraphSecretProblem);
    VELKARO_FIELD(GraphSecretWarning);
    VELKARO_FIELD(MailSender);
    VELKARO_FIELD(MailBcc);
    VELKARO_FIELD(MailReplyTo);
    VELKARO_FIELD(MailTestRecipient);
    VELKARO_FIELD(MailSubject);
    VELKARO_FIELD(MailBody);
    VELKARO_FIELD(MailHtml);
    VELKARO_FIELD(MailBodyHtml);
    VELKARO_FIELD(MailSignatureHtml);
    VELKARO_FIELD(MailBodyHtmlFile);
    VELKARO_FIELD(MailSignatureFile);
    VELKARO_FIELD(MailImageDir);
    VELKARO_FIELD(MailSaveToSent);
    VELKARO_FIELD(MailAttachXml);
    VELKARO_FIELD(MailLogFile);
    VELKARO_FIELD(DefaultCountry);
    VELKARO_FIELD(ExemptReasonE);
    VELKARO_FIELD(SendDespiteFindings);
    VELKARO_FIELD(XRechnungUse);
    VELKARO_FIELD(Skin);
    VELKARO_FIELD(LayoutFile);
    VELKARO_FIELD(GraphLoginServer);
    VELKARO_FIELD(GraphServer);
    VELKARO_FIELD(GraphCaBundle);
    VELKARO_FIELD(LoadHint);
    VELKARO_FIELD(Findings);
    VELKARO_FIELD(StateDir);
    VELKARO_FIELD(StateHint);
    VELKARO_FIELD(FirstRunNote);
#undef VELKARO_FIELD
    fields.emplace_back("Layout", s.Layout ? std::to_string(s.Layout->Elements.size()) : "-");
    return fields;
}

// The previews on the demo database, with the real generation.
TEST(DesignerPresenterDemo, PreviewAndLiveViewPrintTheWorkingCopy) {
    if (!test::CommandExists("sqlite3")) VELKARO_SKIP_UNLESS_CI() << "sqlite3 fehlt (Paket sqlite3)";
    test::TempFolder dir;
    const std::string out = dir.File("Ausgabe");
    test::WriteProductionSettings(dir.File("velkaro.ini"), test::DemoDatabase(), out,
                                  {{"Ausgabe", "XmlZusaetzlich", "1"}});
    TSettings settings(dir.File("velkaro.ini"));
    ASSERT_TRUE(settings.SaveXml);
    const auto before = SettingsFields(settings);
    TNavData data(settings);
    test::FakeMainWindow window;
    TViewServices services = window.Services();
    FakeDesignerView view;
    TNavDesignerDocuments documents(data, settings, "Muster GmbH");
    TDesignerPresenter designer(view, services, documents, DesignerInputsOf(settings, "RE24-0010"));
    EXPECT_NE(designer.SampleValues().at("Firma"), SampleSeller().Addr.Name);  // the company's own seller

    designer.SelectElement(-1);
    designer.AddText();
    designer.FieldChanged(dfText, "Vorschautext aus dem Entwurf");
    ASSERT_TRUE(designer.Preview());
    EXPECT_TRUE(window.Errors.empty()) << window.Errors[0];
    ASSERT_EQ(window.Opened.size(), 1u);
    const std::string pdf = window.Opened[0];
    EXPECT_TRUE(pdf.starts_with(PrivateTempFolder() + "/")) << pdf;
    EXPECT_TRUE(FileExists(pdf));
    EXPECT_EQ(SettingsFields(settings), before);
    EXPECT_EQ(window.BusyDepth, 0);
    EXPECT_FALSE(DirectoryExists(out));  // nothing in the real output folder
    if (test::CommandExists("pdftotext")) {
        std::string text;
        ASSERT_EQ(test::RunCommand("pdftotext " + test::ShellQuoted(pdf) + " -", text), 0);
        EXPECT_NE(text.find("Vorschautext"), std::string::npos);
    }
    if (test::CommandExists("java")) {
        std::string output;
        EXPECT_EQ(test::RunCommand(test::ShellQuoted(test::SourceDir() + "/third_party/validation/check-facturx-pdf") +
                                       " -q " + test::ShellQuoted(pdf),
                                   output),
                  0)
            << output;
    }

    const TLiveViewResult live = designer.RenderLiveView();
    EXPECT_EQ(live.Message, "");
    EXPECT_TRUE(FileExists(live.PdfFile));
    EXPECT_NE(live.PdfFile, pdf);  // the live view does not overwrite what the viewer shows

    designer.SetPreviewNumber("RE99-9999");
    ASSERT_TRUE(designer.Preview());
    ASSERT_EQ(window.Errors.size(), 1u);
    EXPECT_TRUE(window.Errors[0].starts_with("Vorschau nicht möglich: ")) << window.Errors[0];
    EXPECT_EQ(SettingsFields(settings), before);
    EXPECT_EQ(window.Opened.size(), 1u);
    EXPECT_TRUE(designer.RenderLiveView().Message.starts_with("Keine Ansicht: "));

    // A credit memo of the list previews as a credit memo.
    TDesignerPresenter memo(view, services, documents, DesignerInputsOf(settings, {"GS24-0001", bkCreditMemo}));
    const TLiveViewResult memoPdf = memo.RenderLiveView();
    ASSERT_EQ(memoPdf.Message, "");
    EXPECT_EQ(memo.PreviewKind(), bkCreditMemo);
    if (test::CommandExists("pdftotext")) {
        std::string text;
        ASSERT_EQ(test::RunCommand("pdftotext " + test::ShellQuoted(memoPdf.PdfFile) + " -", text), 0);
        EXPECT_NE(text.find("GS24-0001"), std::string::npos);
        EXPECT_NE(text.find(DocumentKindName(bkCreditMemo)), std::string::npos) << text;
    }
    EXPECT_EQ(SettingsFields(settings), before);
}

} // namespace
