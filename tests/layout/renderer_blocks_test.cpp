// The layout's text elements drawn in the final pass: text blocks with alignment and the
// title rule, info rows, footer columns, and which element lands on which page.
#include <gtest/gtest.h>

#include "layoutmodel/layout_model.h"
#include "layout/renderer.h"
#include "pdf/pdf_document.h"
#include "render_fixtures.h"

namespace velkaro {
namespace {

using test::PageOps;
using test::RenderRig;
using test::TextRun;

constexpr double kEps = 0.001;

// A rig with one empty page and the invoice context, for drawing single elements.
struct BlockRig : RenderRig {
    BlockRig() {
        Prepare();
        Doc().NewPage();
    }
    double RightEnd(const TextRun& run) {
        const TPdfFont& font = run.Font == "F2" ? *Doc().Fonts()[1] : *Doc().Fonts()[0];
        return run.X + font.TextWidth(run.Text, run.Size);
    }
};

TLayoutElement Element(TElementKind kind, const std::string& text, double size = 9) {
    TLayoutElement e;
    e.Kind = kind;
    e.X = 125;
    e.Y = 52;
    e.W = 70;
    e.H = 42;
    e.FontSize = size;
    e.Text = text;
    return e;
}

TEST(DrawInfoBlock, RowsSkipEmptyPlaceholdersAndBlankRowsKeepTheirSpace) {
    struct Row {
        const char* label;
        const char* value;
        int row;  // counted from 0 in steps of size × 0.49
    };
    struct Case {
        const char* name;
        const char* text;
        std::vector<Row> rows;
    } cases[] = {
        {"row without Leitweg-ID takes no space",
         "Rechnungs-Nr.|{Nr}\r\nLeitweg-ID|{LeitwegID}\r\nTelefon|{Telefon}",
         {{"Rechnungs-Nr.", "1001", 0}, {"Telefon", "0711 123456", 1}}},
        {"a single blank leaves an empty row", "A|1\r\n \r\nB|2", {{"A", "1", 0}, {"B", "2", 2}}},
        {"an empty line takes no space", "A|1\r\n\r\nB|2", {{"A", "1", 0}, {"B", "2", 1}}},
        {"value of several cells joined with the bar", "Konto|{Bank}|{BIC}", {{"Konto", "Musterbank|BYLADEM1001", 0}}},
        {"label with an empty placeholder skips the row", "{Referenz}|x\r\nA|1", {{"A", "1", 0}}},
        {"value with one of two placeholders set stays", "Betrag|{Brutto} {Mandat}", {{"Betrag", "373,42 ", 0}}},
        {"label only", "Nur Text\nNächste|{Kunde}", {{"Nur Text", "", 0}, {"Nächste", "K100", 1}}},
        {"unknown placeholder stays literal", "Feld|{Unbekannt}", {{"Feld", "{Unbekannt}", 0}}},
    };
    for (const Case& c : cases) {
        BlockRig rig;
        rig.R().DrawInfoBlock(Element(ekInfo, c.text));
        PageOps p = rig.Page(0);
        const double first = FirstBaseline(9, 52);
        size_t runs = 0;
        for (const Row& r : c.rows) {
            const double y = first + r.row * 9 * 0.49;
            const TextRun* label = p.Find(r.label);
            ASSERT_TRUE(label) << c.name << ": " << r.label << "\n" << p.AllText();
            EXPECT_NEAR(label->X, 125, kEps) << c.name;
            EXPECT_NEAR(label->Y, y, kEps) << c.name << ": " << r.label;
            EXPECT_EQ(label->Font, "F1");
            ++runs;
            if (*r.value) {
                const TextRun* value = p.Find(r.value);
                ASSERT_TRUE(value) << c.name << ": " << r.value << "\n" << p.AllText();
                EXPECT_NEAR(rig.RightEnd(*value), 195, kEps) << c.name;
                EXPECT_NEAR(value->Y, y, kEps) << c.name;
                ++runs;
            }
        }
        EXPECT_EQ(p.Texts.size(), runs) << c.name << "\n" << p.AllText();
    }
}

TEST(DrawInfoBlock, BoldElementUsesTheBoldFontAndIgnoresAlignment) {
    BlockRig rig;
    TLayoutElement e = Element(ekInfo, "Nr.|{Nr}");
    e.Bold = true;
    e.Align = baCenter;
    rig.R().DrawInfoBlock(e);
    PageOps p = rig.Page(0);
    ASSERT_TRUE(p.Find("Nr."));
    EXPECT_EQ(p.Find("Nr.")->Font, "F2");
    EXPECT_NEAR(p.Find("Nr.")->X, 125, kEps);
}

TEST(DrawColumns, FooterCellsInEqualColumnsUnderAGreyRule) {
    BlockRig rig;
    TLayoutElement e = Element(ekFooter, "{Firma}|Tel. {Telefon}|{Bank}|USt-IdNr. {UStId}\r\n\r\n{Fax}|  |x||", 7);
    e.X = 20;
    e.Y = 270;
    e.W = 175;
    rig.R().DrawColumns(e);
    PageOps p = rig.Page(0);
    ASSERT_EQ(p.Lines.size(), 1u);
    EXPECT_NEAR(p.Lines[0].X1, 20, kEps);
    EXPECT_NEAR(p.Lines[0].Y1, 270, kEps);
    EXPECT_NEAR(p.Lines[0].X2, 195, kEps);
    EXPECT_NEAR(p.Lines[0].Width, 0.15, kEps);
    const double step = 7 * 0.47;
    struct Cell {
        const char* text;
        double x, y;
    } cells[] = {
        {"Beispiel AG", 20, 270 + step + 0.8},
        {"Tel. 0711 123456", 20 + 175.0 / 4, 270 + step + 0.8},
        {"Musterbank", 20 + 2 * 175.0 / 4, 270 + step + 0.8},
        {"USt-IdNr. DE123456789", 20 + 3 * 175.0 / 4, 270 + step + 0.8},
        // The empty line takes no space; empty and blank cells are left out; five cells.
        {"x", 20 + 2 * 175.0 / 5, 270 + 2 * step + 0.8},
    };
    for (const Cell& c : cells) {
        const TextRun* run = p.Find(c.text);
        ASSERT_TRUE(run) << c.text << "\n" << p.AllText();
        EXPECT_NEAR(run->X, c.x, kEps) << c.text;
        EXPECT_NEAR(run->Y, c.y, kEps) << c.text;
    }
    EXPECT_EQ(p.Texts.size(), 5u) << p.AllText();
    std::vector<std::string> colours = {"0.588 0.588 0.588 RG", "0.275 0.275 0.275 rg", "0 0 0 rg"};
    EXPECT_EQ(p.Colors, colours);
}

TEST(DrawTextBlock, AlignmentWrappingAndDroppedLines) {
    struct Case {
        TBlockAlign align;
        double (*end)(double x, double w, double width); // expected left edge
    } cases[] = {
        {baLeft, [](double x, double, double) { return x; }},
        {baCenter, [](double x, double w, double width) { return x + w / 2 - width / 2; }},
        {baRight, [](double x, double w, double width) { return x + w - width; }},
    };
    for (const Case& c : cases) {
        BlockRig rig;
        TLayoutElement e = Element(ekAddress, "{K.Name}\r\n{K.Name2}\r\n\r\n{K.PLZ} {K.Ort}", 10);
        e.X = 20;
        e.W = 85;
        e.Align = c.align;
        rig.R().DrawTextBlock(e);
        PageOps p = rig.Page(0);
        ASSERT_EQ(p.Texts.size(), 2u) << p.AllText();  // the empty line draws nothing
        const double first = FirstBaseline(10, 52);
        const TPdfFont& font = *rig.Doc().Fonts()[0];
        EXPECT_EQ(p.Texts[0].Text, "Muster GmbH");
        EXPECT_NEAR(p.Texts[0].Y, first, kEps);
        EXPECT_NEAR(p.Texts[0].X, c.end(20, 85, font.TextWidth("Muster GmbH", 10)), kEps) << c.align;
        // {K.Name2} is empty and dropped; the empty line keeps its space.
        EXPECT_EQ(p.Texts[1].Text, "50667 Köln");
        EXPECT_NEAR(p.Texts[1].Y, first + 2 * 10 * 0.46, kEps);
        EXPECT_NEAR(p.Texts[1].X, c.end(20, 85, font.TextWidth("50667 Köln", 10)), kEps) << c.align;
    }
}

TEST(DrawTextBlock, LongLinesWrapToTheBoxAndRunPastItsHeight) {
    BlockRig rig;
    TLayoutElement e = Element(ekText, "eins zwei drei vier fünf sechs", 10);
    e.W = 20;
    e.H = 3;
    rig.R().DrawTextBlock(e);
    PageOps p = rig.Page(0);
    ASSERT_GE(p.Texts.size(), 3u);
    for (size_t i = 0; i < p.Texts.size(); ++i) {
        EXPECT_NEAR(p.Texts[i].Y, FirstBaseline(10, 52) + static_cast<double>(i) * 10 * 0.46, kEps);
        EXPECT_LE(rig.RightEnd(p.Texts[i]), 125 + 20 + kEps) << p.Texts[i].Text;
    }
    EXPECT_GT(p.Texts.back().Y, 52 + 3);
}

TEST(DrawTextBlock, TitleFirstLineLargeFurtherLinesSmallFromFiveAndAHalfMillimetres) {
    struct Case {
        const char* name;
        std::string shipToCode;
        std::vector<std::pair<std::string, double>> lines; // text, size
    } cases[] = {
        {"no ship-to address: only the large line", "", {{"Rechnung 1001", 15}}},
        {"ship-to address: small second line",
         "LAGER",
         {{"Rechnung 1001", 15}, {"Lieferanschrift: Lager Süd, Hafenweg 3, 12345 Musterstadt", 8.5}}},
    };
    for (const Case& c : cases) {
        BlockRig rig;
        rig.Inv.ShipToCode = c.shipToCode;
        rig.Inv.ShipTo.Name = "Lager Süd";
        rig.Inv.ShipTo.Street = "Hafenweg 3";
        rig.Inv.ShipTo.PostCode = "12345";
        rig.Inv.ShipTo.City = "Musterstadt";
        rig.R().Ctx = InvoiceContext(rig.Inv, rig.Seller, rig.Setup().TaxRules);
        TLayoutElement e = *rig.Layout().Find(ekTitle);
        rig.R().DrawTextBlock(e);
        PageOps p = rig.Page(0);
        ASSERT_EQ(p.Texts.size(), c.lines.size()) << c.name << "\n" << p.AllText();
        const double first = FirstBaseline(15, 96);
        for (size_t i = 0; i < c.lines.size(); ++i) {
            EXPECT_EQ(p.Texts[i].Text, c.lines[i].first) << c.name;
            EXPECT_DOUBLE_EQ(p.Texts[i].Size, c.lines[i].second) << c.name;
            EXPECT_EQ(p.Texts[i].Font, i == 0 ? "F2" : "F1") << c.name;
            EXPECT_NEAR(p.Texts[i].Y, i == 0 ? first : first + 5.5, kEps) << c.name;
        }
    }
}

TEST(DrawFinal, ElementsByPageScopeWithPageNumbersAndGreySenderLine) {
    RenderRig rig;
    TLayoutElement* follow = rig.Layout().AddText(false);
    follow->Text = "Nur Folgeseiten {Seite}/{Seiten}";
    TLayoutElement* hidden = rig.Layout().AddText(true);
    hidden->Text = "Versteckt";
    hidden->Visible = false;
    rig.Inv.Lines.clear();
    for (int i = 0; i < 30; ++i) rig.Inv.Lines.push_back(test::Item("1", "Artikel", 1, 10, 19));
    rig.Render();
    ASSERT_EQ(rig.Doc().PageCount(), 2);
    PageOps p1 = rig.Page(0), p2 = rig.Page(1);
    for (const char* firstOnly : {"Beispiel AG · Hauptstraße 1 · 70173 Stuttgart", "Muster GmbH", "Rechnungs-Nr.",
                                  "Rechnung 1001"})
        EXPECT_TRUE(p1.Find(firstOnly) && !p2.Find(firstOnly)) << firstOnly;
    EXPECT_TRUE(!p1.Find("Nur Folgeseiten 2/2") && p2.Find("Nur Folgeseiten 2/2"));
    EXPECT_EQ(p1.AllText().find("Versteckt"), std::string::npos);
    for (const PageOps* p : {&p1, &p2}) {
        EXPECT_NE(p->Find("Beispiel AG"), nullptr);
        EXPECT_NE(p->Find("Geschäftsführung: Erika Beispiel"), nullptr) << p->AllText();  // footer
    }
    // The sender line is grey and underlined 1.2 mm below its first baseline.
    std::string c1 = rig.Doc().PageContent(0);
    size_t sender = c1.find("0.353 0.353 0.353 rg\nBT /F1 7 Tf ");
    ASSERT_NE(sender, std::string::npos);
    const double rule = FirstBaseline(7, 45.5) + 1.2;
    bool found = false;
    for (const test::LineRun& l : p1.Lines)
        if (std::abs(l.Y1 - rule) < kEps && std::abs(l.X1 - 20) < kEps && std::abs(l.X2 - 105) < kEps) found = true;
    EXPECT_TRUE(found);
    // The page number is dark grey.
    EXPECT_NE(c1.find("0.275 0.275 0.275 rg\nBT /F1 7 Tf "), std::string::npos);
}

} // namespace
} // namespace velkaro
