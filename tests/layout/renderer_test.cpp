// The flowing part of the printed invoice: table header, rows, page breaks, totals and
// notes, read back from the content operators of fixture invoices.
#include "layout/renderer.h"

#include <gtest/gtest.h>

#include "invoice/vat.h"
#include "layoutmodel/layout_model.h"
#include "pdf/pdf_document.h"
#include "platform/error.h"
#include "platform/files.h"
#include "render_fixtures.h"

namespace velkaro {
namespace {

using test::Item;
using test::PageOps;
using test::RenderRig;
using test::TextRun;

// Default layout: table at (20, 110), 175 wide and 152 high, 8.5 pt; following pages'
// table at (20, 44), 218 high.
constexpr double kLH = 8.5 * 0.447;
constexpr double kFirstRow = 110 + 4 + 6.5;   // baseline of the first row on page 1
constexpr double kFollowRow = 44 + 4 + 6.5;   // Y after the header of a following page
constexpr double kTableBottom = 110 + 152;
constexpr double kEps = 0.001;

// Where a run ends on the right, in mm.
double RightEnd(RenderRig& rig, const TextRun& run) {
    const TPdfFont& font = run.Font == "F2" ? *rig.Doc().Fonts()[1] : *rig.Doc().Fonts()[0];
    return run.X + font.TextWidth(run.Text, run.Size);
}

// The texts of the runs at x from y0 to y1 (baselines), joined by blanks.
std::string TextBetween(const PageOps& page, double x, double y0, double y1) {
    std::string out;
    for (const TextRun& t : page.Texts)
        if (std::abs(t.X - x) < kEps && t.Y >= y0 - kEps && t.Y <= y1 + kEps) out += (out.empty() ? "" : " ") + t.Text;
    return out;
}

// The run of `text`; fails the test when it is missing.
TextRun Text(const PageOps& page, const std::string& text) {
    const TextRun* r = page.Find(text);
    EXPECT_TRUE(r) << "Text fehlt: " << text << "\nSeite:\n" << page.AllText();
    return r ? *r : TextRun{};
}

TEST(Renderer, HeaderAndFirstRowsStandInTheirColumns) {
    RenderRig rig;
    rig.Render();
    PageOps p = rig.Page(0);
    ASSERT_FALSE(p.Rects.empty());
    EXPECT_NEAR(p.Rects[0].X, 20, kEps);
    EXPECT_NEAR(p.Rects[0].Y, 110, kEps);
    EXPECT_NEAR(p.Rects[0].W, 175, kEps);
    EXPECT_NEAR(p.Rects[0].H, 6, kEps);

    struct Left {
        const char* text;
        double x, y;
        const char* font;
    } lefts[] = {
        {"Pos.", 20.5, 114, "F2"},        {"Art.-Nr.", 28, 114, "F2"},
        {"Bezeichnung", 52, 114, "F2"},   {"Einheit", 133, 114, "F2"},
        {"1", 20.5, kFirstRow, "F1"},     {"1000", 28, kFirstRow, "F1"},
        {"Brotkorb Edelstahl rund", 52, kFirstRow, "F1"},
        {"Stück", 133, kFirstRow, "F1"},
        // Every item after the first begins 2 mm further down.
        {"2", 20.5, kFirstRow + kLH + 2, "F1"},
        {"Tortenplatte Glas", 52, kFirstRow + kLH + 2, "F1"},
    };
    for (const Left& l : lefts) {
        TextRun r = Text(p, l.text);
        EXPECT_NEAR(r.X, l.x, kEps) << l.text;
        EXPECT_NEAR(r.Y, l.y, kEps) << l.text;
        EXPECT_EQ(r.Font, l.font) << l.text;
        EXPECT_DOUBLE_EQ(r.Size, 8.5) << l.text;
    }
    struct Right {
        const char* text;
        double end, y;
    } rights[] = {
        {"Menge", 131, 114},        {"Einzelpreis", 165, 114}, {"USt.", 176, 114}, {"Betrag EUR", 195, 114},
        {"12", 131, kFirstRow},     {"14,90", 165, kFirstRow}, {"178,80", 195, kFirstRow},
        {"135,00", 195, kFirstRow + kLH + 2},
    };
    for (const Right& r : rights) {
        TextRun run = Text(p, r.text);
        EXPECT_NEAR(RightEnd(rig, run), r.end, kEps) << r.text;
        EXPECT_NEAR(run.Y, r.y, kEps) << r.text;
    }
    TextRun vat = p.Texts[0];
    for (const TextRun& t : p.Texts)
        if (t.Text == "19%") vat = t;
    EXPECT_NEAR(RightEnd(rig, vat), 176, kEps);
}

TEST(Renderer, ColumnsScaleWithTheTableAndANarrowTableIsDrawn100Wide) {
    struct Case {
        double x, w, scaledW;
    } cases[] = {{30, 140, 140}, {15, 80, 100}};
    for (const Case& c : cases) {
        RenderRig rig;
        TLayoutElement* table = rig.Layout().Find(ekTable);
        table->X = c.x;
        table->W = c.w;
        rig.Render();
        PageOps p = rig.Page(0);
        auto cx = [&](double offset) { return offset * c.scaledW / 175 + c.x; };
        EXPECT_NEAR(p.Rects[0].W, c.scaledW, kEps) << c.w;
        EXPECT_NEAR(Text(p, "Bezeichnung").X, cx(32), kEps) << c.w;
        EXPECT_NEAR(Text(p, "1000").X, cx(8), kEps) << c.w;
        EXPECT_NEAR(RightEnd(rig, Text(p, "Betrag EUR")), cx(175), kEps) << c.w;
        EXPECT_NEAR(RightEnd(rig, Text(p, "12")), cx(111), kEps) << c.w;
        // Totals hang from column 100 to 175.
        EXPECT_NEAR(Text(p, "Nettobetrag").X, cx(100), kEps) << c.w;
    }
}

TEST(Renderer, HeaderCellsExpandPlaceholdersAndExtraCellsAreIgnored) {
    RenderRig rig;
    rig.Inv.CurrencyCode = "chf";
    rig.Layout().Find(ekTable)->Text = "Nr|{LeitwegID}|Text|||||Summe {Waehrung}|Zu viel";
    rig.Render();
    PageOps p = rig.Page(0);
    EXPECT_NEAR(RightEnd(rig, Text(p, "Summe CHF")), 195, kEps);
    EXPECT_EQ(p.Find("Zu viel"), nullptr);
    EXPECT_EQ(p.AllText().find("{LeitwegID}"), std::string::npos);
}

TEST(Renderer, TextLinesWrapAtTheDescriptionColumnAndEmptyOnesAdvanceTwoMillimetres) {
    RenderRig rig;
    rig.Inv.Lines = {test::TextLine(""), test::TextLine("Lieferung gemäß Bestellung"),
                     Item("1000", "Brotkorb", 1, 10, 19)};
    rig.Render();
    PageOps p = rig.Page(0);
    TextRun text = Text(p, "Lieferung gemäß Bestellung");
    EXPECT_NEAR(text.X, 52, kEps);
    EXPECT_NEAR(text.Y, kFirstRow + 2, kEps);
    // The first item follows without the gap of further items.
    EXPECT_NEAR(Text(p, "Brotkorb").Y, kFirstRow + 2 + kLH, kEps);
}

TEST(Renderer, DiscountLineFollowsTheRowInASmallerSize) {
    RenderRig rig;
    rig.Inv.Lines = {Item("1000", "Beratung", 2, 100, 19, 10), Item("1010", "Reise", 1, 50, 19)};
    rig.Render();
    PageOps p = rig.Page(0);
    EXPECT_NEAR(RightEnd(rig, Text(p, "100,00")), 165, kEps);
    EXPECT_NEAR(RightEnd(rig, Text(p, "180,00")), 195, kEps);
    TextRun disc = Text(p, "abzgl. 10 % Rabatt (20,00 EUR)");
    EXPECT_NEAR(disc.X, 52, kEps);
    EXPECT_NEAR(disc.Y, kFirstRow + kLH, kEps);
    EXPECT_NEAR(disc.Size, 8.5 * 0.88, kEps);
    EXPECT_NEAR(Text(p, "Reise").Y, kFirstRow + kLH + kLH * 0.92 + 2, kEps);
}

TEST(Renderer, PricesWithVatShowTheNetPricePerUnitAndNoDiscountLine) {
    RenderRig rig;
    TInvLine line = Item("9000", "Kellnermesser", 2, 50, 19, 10);
    line.Amount = Currency::Parse("84.03");
    line.AmountInclVat = Currency::Parse("90");
    rig.Inv.PricesInclVat = true;
    rig.Inv.Lines = {line};
    rig.Render();
    PageOps p = rig.Page(0);
    EXPECT_NEAR(RightEnd(rig, Text(p, "42,015")), 165, kEps);
    EXPECT_EQ(p.AllText().find("Rabatt"), std::string::npos);
}

TEST(Renderer, LongFieldsAreCutToTheirColumns) {
    RenderRig rig;
    TInvLine line = Item("ÄÖÜ4567890123456789", "Artikel", 1, 10, 19);
    line.UnitText = "Großpackungen";
    rig.Inv.Lines = {line};
    rig.Render();
    PageOps p = rig.Page(0);
    EXPECT_NE(p.Find("ÄÖÜ45678901234"), nullptr);
    EXPECT_NE(p.Find("Großpackun"), nullptr) << p.AllText();
}

TEST(Renderer, TotalsVatLinesAndDoubleRuleWithoutRounding) {
    RenderRig rig;
    rig.Render();
    PageOps p = rig.Page(0);
    // Two items; the block starts 2 + 2 mm below the last row.
    const double y = kFirstRow + 2 * kLH + 2 + 4;
    struct Row {
        const char* label;
        const char* amount;
        double baseline;
        const char* font;
    } rows[] = {
        {"Nettobetrag", "313,80 EUR", y + 1, "F1"},
        {"USt. 19 % auf 313,80", "59,62 EUR", y + 6, "F1"},
        {"Rechnungsbetrag", "373,42 EUR", y + 13, "F2"},
    };
    for (const Row& r : rows) {
        TextRun label = Text(p, r.label);
        TextRun amount = Text(p, r.amount);
        EXPECT_NEAR(label.X, 120, kEps) << r.label;
        EXPECT_NEAR(label.Y, r.baseline, kEps) << r.label;
        EXPECT_EQ(label.Font, r.font) << r.label;
        EXPECT_NEAR(amount.Y, r.baseline, kEps) << r.label;
        EXPECT_NEAR(RightEnd(rig, amount), 195, kEps) << r.label;
    }
    EXPECT_EQ(p.Find("Rundungsdifferenz"), nullptr);
    EXPECT_EQ(p.Find("Zahlbetrag"), nullptr);
    std::vector<double> rules;
    for (const test::LineRun& l : p.Lines)
        if (std::abs(l.X1 - 120) < kEps && std::abs(l.X2 - 195) < kEps) rules.push_back(l.Y1);
    std::vector<double> expected = {y - 3, y + 10 - 1.5, y + 10 + 5, y + 10 + 5.6};
    ASSERT_EQ(rules.size(), expected.size());
    for (size_t i = 0; i < rules.size(); ++i) EXPECT_NEAR(rules[i], expected[i], kEps) << i;
    // The payment sentence starts 13 mm below the grand total's row, wrapped to the table.
    const TextRun* pay = p.FindPrefix("Zahlungsbedingungen:");
    ASSERT_TRUE(pay);
    EXPECT_NEAR(pay->X, 20, kEps);
    EXPECT_NEAR(pay->Y, y + 10 + 13, kEps);
    EXPECT_NEAR(pay->Size, 8.5, kEps);
    EXPECT_EQ(TextBetween(p, 20, pay->Y, pay->Y + 8.5 * 0.47 * 1.5),
              "Zahlungsbedingungen: 14 Tage netto. Bitte überweisen Sie den Betrag bis zum 08.12.2026 unter Angabe "
              "der Rechnungsnummer 1001.");
}

TEST(Renderer, RoundingDifferenceAddsRoundingAndPayableLines) {
    RenderRig rig;
    // Three lines of 0.03 at 19 % post 0.01 tax each; the group computes 0.02.
    rig.Inv.Lines = {Item("1", "A", 1, 0.03, 19), Item("2", "B", 1, 0.03, 19), Item("3", "C", 1, 0.03, 19)};
    rig.Render();
    ASSERT_EQ(rig.Inv.Rounding, Currency::Parse("0.01"));
    PageOps p = rig.Page(0);
    double grand = Text(p, "Rechnungsbetrag").Y;
    EXPECT_NEAR(Text(p, "Rundungsdifferenz").Y, grand + 5, kEps);
    EXPECT_EQ(Text(p, "Rundungsdifferenz").Font, "F1");
    EXPECT_NEAR(Text(p, "0,01 EUR").Y, grand + 5, kEps);
    EXPECT_NEAR(Text(p, "Zahlbetrag").Y, grand + 10, kEps);
    EXPECT_EQ(Text(p, "Zahlbetrag").Font, "F2");
    EXPECT_NEAR(Text(p, "0,12 EUR").Y, grand + 10, kEps);
}

TEST(Renderer, ReverseChargeGroupAndNoteWithTheBuyersVatId) {
    RenderRig rig;
    TInvLine line = Item("M", "Montage", 8, 78, 0);
    line.VatCalcType = 1;
    rig.Inv.Lines = {line};
    rig.Inv.BuyerVatID = "DE298765432";
    rig.Render();
    PageOps p = rig.Page(0);
    TextRun group = Text(p, "USt. 0 % (AE) auf 624,00");
    EXPECT_NEAR(RightEnd(rig, Text(p, "0,00 EUR")), 195, kEps);
    TextRun note = Text(p, "Steuerschuldnerschaft des Leistungsempfängers (Reverse Charge) – USt-IdNr. "
                          "Leistungsempfänger: DE298765432");
    EXPECT_NEAR(note.X, 20, kEps);
    EXPECT_NEAR(note.Y, group.Y - 1 + 5 + 13, kEps);
    // The payment sentence follows the note.
    ASSERT_TRUE(p.FindPrefix("Zahlungsbedingungen:"));
    EXPECT_NEAR(p.FindPrefix("Zahlungsbedingungen:")->Y, note.Y + 8.5 * 0.47, kEps);
}

TEST(Renderer, ClosingNoteIsGreyAndTheColourReturnsToBlack) {
    RenderRig rig;
    rig.Render();
    std::string content = rig.Doc().PageContent(0);
    size_t grey = content.find("0.392 0.392 0.392 rg\nBT /F1 7 Tf ");
    ASSERT_NE(grey, std::string::npos);
    // The note's glyphs, as the page shows them (the operand goes on after these).
    std::vector<uint16_t> glyphs;
    for (const TShownGlyph& g : rig.R().FReg->Glyphs("Diese Rechnung enthält die strukturierten")) glyphs.push_back(g.Glyph);
    std::string start = PdfGlyphString(glyphs);
    start.pop_back();
    size_t note = content.find(" Td " + start, grey);
    EXPECT_NE(note, std::string::npos);
    EXPECT_NE(content.find("0 0 0 rg", note), std::string::npos);
}

// n items of one line each.
std::vector<TInvLine> Items(int n) {
    std::vector<TInvLine> lines;
    for (int i = 1; i <= n; ++i) lines.push_back(Item(std::to_string(i), "Artikel " + std::to_string(i), 1, 10, 19));
    return lines;
}

TEST(Renderer, RowsBreakToAFollowingPageWithItsTableTitleAndPageNumbers) {
    RenderRig rig;
    rig.Inv.Lines = Items(30);
    rig.Render();
    ASSERT_EQ(rig.Doc().PageCount(), 2);
    PageOps p1 = rig.Page(0), p2 = rig.Page(1);
    // Row k of page 1 stands at kFirstRow + (k - 1) × (LH + 2); a row is moved on when
    // it and its gap do not fit above the table bottom: 24 rows fit.
    TextRun last = Text(p1, "Artikel 24");
    EXPECT_NEAR(last.Y, kFirstRow + 23 * (kLH + 2), kEps);
    EXPECT_EQ(p1.Find("Artikel 25"), nullptr);
    TextRun next = Text(p2, "Artikel 25");
    EXPECT_NEAR(next.Y, kFollowRow + 2, kEps);
    EXPECT_NEAR(Text(p2, "25").X, 20.5, kEps);

    // Following page: its own table header, the follow title, no address or info block.
    ASSERT_FALSE(p2.Rects.empty());
    EXPECT_NEAR(p2.Rects[0].Y, 44, kEps);
    EXPECT_NEAR(Text(p2, "Bezeichnung").Y, 48, kEps);
    TextRun title = Text(p2, "Rechnung 1001 (Fortsetzung)");
    EXPECT_NEAR(title.Y, FirstBaseline(11, 35), kEps);
    EXPECT_EQ(title.Font, "F2");
    EXPECT_EQ(p2.Find("Muster GmbH"), nullptr);
    EXPECT_EQ(p2.Find("Rechnungs-Nr."), nullptr);
    EXPECT_NE(p2.Find("Beispiel AG"), nullptr);  // sender name on all pages
    EXPECT_EQ(p1.Find("Rechnung 1001 (Fortsetzung)"), nullptr);

    TextRun no1 = Text(p1, "Seite 1 von 2");
    TextRun no2 = Text(p2, "Seite 2 von 2");
    EXPECT_NEAR(RightEnd(rig, no1), 195, kEps);
    EXPECT_NEAR(no2.Y, FirstBaseline(7, 286), kEps);
    EXPECT_NE(p2.Find("Nettobetrag"), nullptr);
}

TEST(Renderer, AWrappedItemAsksForAllItsLinesAndKeepsTheNumbersOnTheFirstBaseline) {
    const std::string longText =
        "Edelstahl-Arbeitstisch mit Grundboden, Aufkantung hinten und seitlich, höhenverstellbaren Füßen";
    for (bool wrapped : {false, true}) {
        RenderRig rig;
        rig.Inv.Lines = Items(23);
        rig.Inv.Lines.push_back(Item("W", wrapped ? longText : std::string("Kurz"), 3, 10, 19));
        rig.Render();
        // After 23 rows Y is 251.888: one more line (LH + 2) fits, three (3 LH + 2) do not.
        PageOps page = rig.Page(wrapped ? 1 : 0);
        TextRun no = Text(page, "24");
        double expectedY = wrapped ? kFollowRow + 2 : kFirstRow + 23 * (kLH + 2);
        EXPECT_NEAR(no.Y, expectedY, kEps) << wrapped;
        EXPECT_NEAR(Text(page, "W").Y, expectedY, kEps);
        EXPECT_NEAR(Text(page, "30,00").Y, expectedY, kEps);
        if (wrapped) {
            std::vector<double> ys;
            for (const TextRun& t : page.Texts)
                if (std::abs(t.X - 52) < kEps && t.Y > 50 && t.Y < 80) ys.push_back(t.Y);
            ASSERT_EQ(ys.size(), 3u);
            EXPECT_NEAR(ys[1], expectedY + kLH, kEps);
            EXPECT_NEAR(ys[2], expectedY + 2 * kLH, kEps);
        }
    }
}

TEST(Renderer, ARowTallerThanAPageRunsPastTheTableOnOneNewPage) {
    RenderRig rig;
    std::string huge;
    // One word per line: each is wider than half the description column.
    for (int i = 0; i < 60; ++i) huge += "Zeile" + std::to_string(i) + "-abcdefghijklmnopqrstu ";
    rig.Inv.Lines = {Item("1", "Kurz", 1, 10, 19), Item("2", huge, 1, 10, 19)};
    rig.Render();
    PageOps p2 = rig.Page(1);
    EXPECT_NEAR(Text(p2, "2").Y, kFollowRow + 2, kEps);
    TextRun last = Text(p2, "Zeile59-abcdefghijklmnopqrstu");
    EXPECT_NEAR(last.Y, kFollowRow + 2 + 59 * kLH, kEps);
    EXPECT_GT(last.Y, 44 + 218);
    // The totals start the third page, below its header.
    ASSERT_EQ(rig.Doc().PageCount(), 3);
    EXPECT_NEAR(Text(rig.Page(2), "Nettobetrag").Y, kFollowRow + 2 + 1, kEps);
}

TEST(Renderer, NeedSpaceStartsOneFollowingPageAndResetsTheColour) {
    RenderRig rig;
    rig.Prepare();
    rig.R().PageHeader(true);
    rig.R().Y = kTableBottom - 1;
    rig.R().NeedSpace(1);
    EXPECT_EQ(rig.Doc().PageCount(), 1);
    rig.Doc().SetColor(100, 100, 100);
    rig.R().NeedSpace(1.01);
    EXPECT_EQ(rig.Doc().PageCount(), 2);
    EXPECT_NEAR(rig.R().Y, kFollowRow, kEps);
    EXPECT_EQ(rig.R().TabEl, rig.Layout().Find(ekFollowTable));
    rig.R().FlowText("weiter", 7);
    PageOps p = rig.Page(1);
    ASSERT_FALSE(p.Colors.empty());
    EXPECT_EQ(p.Colors.back(), "0 0 0 rg");
    EXPECT_NEAR(Text(p, "weiter").Y, kFollowRow, kEps);
}

TEST(Renderer, LogoFitsItsBoxFlushRightAndTopOnItsPagesOnly) {
    struct Case {
        int width, height;
        double x, w, h;
    } cases[] = {
        {200, 100, 145, 50, 25},   // exactly the box's proportions
        {100, 100, 170, 25, 25},   // too tall: height limits, flush right
        {400, 100, 145, 50, 12.5}, // wide: width limits
    };
    for (const Case& c : cases) {
        RenderRig rig;
        std::string file = rig.Folder() + "logo.jpg";
        WriteFileBytes(file, test::FakeJpeg(c.width, c.height));
        TLayoutElement* logo = rig.Layout().Find(ekLogo);
        logo->Visible = true;
        logo->FileName = file;
        logo->Scope = psFirst;
        rig.Inv.Lines = Items(30);
        rig.Render();
        PageOps p = rig.Page(0);
        ASSERT_EQ(p.Images.size(), 1u);
        EXPECT_NEAR(p.Images[0].X, c.x, kEps) << c.width << "x" << c.height;
        EXPECT_NEAR(p.Images[0].Y, 10, kEps);
        EXPECT_NEAR(p.Images[0].W, c.w, kEps);
        EXPECT_NEAR(p.Images[0].H, c.h, kEps);
        EXPECT_TRUE(rig.Page(1).Images.empty());
    }
}

TEST(Renderer, BackgroundCoversEveryPageAndIsStoredOnce) {
    RenderRig rig;
    std::string file = rig.Folder() + "briefbogen.jpg";
    WriteFileBytes(file, test::FakeJpeg(2480, 3508));
    rig.Layout().BackgroundFirst = file;
    rig.Inv.Lines = Items(30);
    rig.Render();
    ASSERT_EQ(rig.Doc().PageCount(), 2);
    for (int i = 0; i < 2; ++i) {
        PageOps p = rig.Page(i);
        ASSERT_EQ(p.Images.size(), 1u) << i;
        EXPECT_NEAR(p.Images[0].X, 0, kEps);
        EXPECT_NEAR(p.Images[0].Y, 0, kEps);
        EXPECT_NEAR(p.Images[0].W, 210, kEps);
        EXPECT_NEAR(p.Images[0].H, 297, kEps);
        // Drawn first, under everything else.
        EXPECT_EQ(rig.Doc().PageContent(i).rfind("q ", 0), 0u);
    }
    EXPECT_EQ(rig.Doc().Images().size(), 1u);
}

// Names written relative in the layout file mean the settings folder, not the folder
// the program happens to run in.
TEST(Renderer, RelativePictureNamesAreFoundInThePictureFolder) {
    RenderRig rig;
    WriteFileBytes(rig.Folder() + "briefbogen.jpg", test::FakeJpeg(248, 351));
    WriteFileBytes(rig.Folder() + "logo.jpg", test::FakeJpeg(200, 100));
    rig.Layout().BackgroundFirst = "briefbogen.jpg";
    TLayoutElement* logo = rig.Layout().Find(ekLogo);
    logo->Visible = true;
    logo->FileName = "logo.jpg";
    rig.R().PictureFolder = rig.Folder();
    rig.Render();
    EXPECT_EQ(rig.Page(0).Images.size(), 2u);
}

TEST(Renderer, RefusesADocumentThatAlreadyHasPages) {
    RenderRig rig;
    rig.Prepare();
    rig.Doc().NewPage();
    EXPECT_THROW(rig.R().Render(), Exception);
}

} // namespace
} // namespace velkaro
