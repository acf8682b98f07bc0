#include <gtest/gtest.h>

#include "layoutmodel/layout_model.h"

using namespace velkaro;

namespace {

struct DefaultRow {
    TElementKind Kind;
    double X, Y, W, H, Size;
    bool Bold;
    TPageScope Scope;
    TBlockAlign Align;
};

const DefaultRow kDefaultTable[] = {
    {ekLogo, 145, 10, 50, 25, 10, false, psAll, baLeft},
    {ekSenderName, 20, 16, 110, 12, 16, true, psAll, baLeft},
    {ekSenderLine, 20, 45.5, 85, 4.5, 7, false, psFirst, baLeft},
    {ekAddress, 20, 52, 85, 38, 10, false, psFirst, baLeft},
    {ekInfo, 125, 52, 70, 42, 9, false, psFirst, baLeft},
    {ekTitle, 20, 96, 175, 12, 15, true, psFirst, baLeft},
    {ekTable, 20, 110, 175, 152, 8.5, false, psFirst, baLeft},
    {ekFollowTitle, 20, 35, 175, 7, 11, true, psFollow, baLeft},
    {ekFollowTable, 20, 44, 175, 218, 8.5, false, psFollow, baLeft},
    {ekFooter, 20, 270, 175, 16, 7, false, psAll, baLeft},
    {ekPageNo, 145, 286, 50, 4, 7, false, psAll, baRight},
};

} // namespace

TEST(LayoutModel, DefaultsHoldOneElementPerFixedKindWithTheBuiltInGeometry) {
    TLayout layout;
    layout.AddText(true);  // must be discarded
    layout.BackgroundFirst = "alt.png";
    layout.FollowSameAsFirst = false;
    layout.SetDefaults("/bilder/logo.png");

    ASSERT_EQ(layout.Elements.size(), 11u);
    EXPECT_EQ(layout.BackgroundFirst, "");
    EXPECT_EQ(layout.BackgroundFollow, "");
    EXPECT_TRUE(layout.FollowSameAsFirst);
    for (size_t i = 0; i < std::size(kDefaultTable); ++i) {
        const DefaultRow& row = kDefaultTable[i];
        const TLayoutElement& e = *layout.Elements[i];
        SCOPED_TRACE(ElementCaption(row.Kind));
        EXPECT_EQ(e.Kind, row.Kind);
        EXPECT_DOUBLE_EQ(e.X, row.X);
        EXPECT_DOUBLE_EQ(e.Y, row.Y);
        EXPECT_DOUBLE_EQ(e.W, row.W);
        EXPECT_DOUBLE_EQ(e.H, row.H);
        EXPECT_DOUBLE_EQ(e.FontSize, row.Size);
        EXPECT_EQ(e.Bold, row.Bold);
        EXPECT_EQ(e.Scope, row.Scope);
        EXPECT_EQ(e.Align, row.Align);
        EXPECT_TRUE(e.Visible);
        EXPECT_EQ(e.Text, DefaultText(row.Kind));
    }
    EXPECT_EQ(layout.Find(ekLogo)->FileName, "/bilder/logo.png");
    EXPECT_EQ(layout.Find(ekText), nullptr);
}

TEST(LayoutModel, LogoIsHiddenWithoutLogoFile) {
    TLayout layout;
    layout.SetDefaults("");
    ASSERT_NE(layout.Find(ekLogo), nullptr);
    EXPECT_FALSE(layout.Find(ekLogo)->Visible);
    EXPECT_EQ(layout.Find(ekLogo)->FileName, "");
}

TEST(LayoutModel, DefaultTextsUseCrLfBetweenLines) {
    EXPECT_EQ(DefaultText(ekLogo), "");
    // One layout for both kinds: the reference line is empty, and left out, for invoices.
    EXPECT_EQ(DefaultText(ekTitle),
              "{Belegart} {Nr}\r\n{Bezug}\r\nLieferanschrift: {L.Adresse}");
    EXPECT_EQ(DefaultText(ekFollowTitle), "{Belegart} {Nr} (Fortsetzung)");
    EXPECT_EQ(DefaultText(ekTable), DefaultText(ekFollowTable));
    EXPECT_EQ(DefaultText(ekTable), "Pos.|Art.-Nr.|Bezeichnung|Menge|Einheit|Einzelpreis|USt.|Betrag {Waehrung}");
    EXPECT_EQ(DefaultText(ekSenderLine), "{Firma} · {Strasse} · {PLZ} {Ort}");
    EXPECT_EQ(DefaultText(ekPageNo), "Seite {Seite} von {Seiten}");
    // Seven address lines, ten info rows, four footer rows.
    auto lines = [](const std::string& s) {
        size_t n = 1;
        for (size_t p = s.find("\r\n"); p != std::string::npos; p = s.find("\r\n", p + 2)) ++n;
        return n;
    };
    EXPECT_EQ(lines(DefaultText(ekAddress)), 7u);
    EXPECT_EQ(lines(DefaultText(ekInfo)), 10u);
    EXPECT_EQ(lines(DefaultText(ekFooter)), 4u);
    EXPECT_NE(DefaultText(ekFooter).rfind("Geschäftsführung: {Geschaeftsfuehrer}|{Web}||"), std::string::npos);
}

TEST(LayoutModel, HintTexts) {
    EXPECT_EQ(HintText(ekInfo), "Je Zeile: Bezeichnung|Wert  (Wert rechtsbündig)");
    EXPECT_EQ(HintText(ekTitle), "1. Zeile im Titelformat, weitere Zeilen klein");
    EXPECT_EQ(HintText(ekTable), "Spaltenköpfe, getrennt durch |  (8 Spalten)");
    EXPECT_EQ(HintText(ekFollowTable), HintText(ekTable));
    EXPECT_EQ(HintText(ekFooter), "Spalten je Zeile durch | trennen");
    EXPECT_EQ(HintText(ekLogo), "");
    for (TElementKind k : {ekSenderName, ekSenderLine, ekAddress, ekFollowTitle, ekPageNo, ekText})
        EXPECT_EQ(HintText(k), "Text mit Platzhaltern, mehrzeilig möglich") << k;
}

TEST(LayoutModel, PerKindRules) {
    struct Row {
        TElementKind Kind;
        bool CanHide, Text, Align, Scope;
    };
    const Row rows[] = {
        {ekLogo, true, false, false, true},          {ekSenderName, true, true, true, true},
        {ekSenderLine, true, true, true, false},     {ekAddress, true, true, true, false},
        {ekInfo, true, true, false, false},          {ekTitle, true, true, true, false},
        {ekTable, false, true, false, false},        {ekFollowTitle, true, true, true, false},
        {ekFollowTable, false, true, false, false},  {ekFooter, true, true, false, true},
        {ekPageNo, true, true, true, true},          {ekText, true, true, true, true},
    };
    for (const Row& r : rows) {
        TLayoutElement e;
        e.Kind = r.Kind;
        SCOPED_TRACE(ElementCaption(r.Kind));
        EXPECT_EQ(e.CanHide(), r.CanHide);
        EXPECT_EQ(e.TextEditable(), r.Text);
        EXPECT_EQ(e.AlignEditable(), r.Align);
        EXPECT_EQ(e.ScopeEditable(), r.Scope);
    }
}

TEST(LayoutModel, OnPageFollowsScope) {
    TLayoutElement e;
    e.Scope = psFirst;
    EXPECT_TRUE(e.OnPage(true));
    EXPECT_FALSE(e.OnPage(false));
    e.Scope = psFollow;
    EXPECT_FALSE(e.OnPage(true));
    EXPECT_TRUE(e.OnPage(false));
    e.Scope = psAll;
    EXPECT_TRUE(e.OnPage(true));
    EXPECT_TRUE(e.OnPage(false));
}

TEST(LayoutModel, CaptionsOfFixedKindsAndHiddenElements) {
    TLayoutElement e;
    e.Kind = ekTable;
    EXPECT_EQ(e.Caption(), "Positionen Seite 1");
    e.Kind = ekFooter;
    EXPECT_EQ(e.Caption(), "Fußzeile");
    e.Visible = false;
    EXPECT_EQ(e.Caption(), "Fußzeile  (ausgeblendet)");
}

TEST(LayoutModel, FreeTextCaptionIsTrimmedJoinedAndCutByCharacters) {
    struct Row {
        std::string Text;
        bool Visible;
        std::string Caption;
    };
    const Row rows[] = {
        {"Sehr geehrte Damen und Herren, wir bedanken uns", false,
         "Text: Sehr geehrte Damen und He…  (ausgeblendet)"},
        {"  Zeile A\r\nZeile B \r\n", true, "Text: Zeile A Zeile B"},
        {"1234567890123456789012345", true, "Text: 1234567890123456789012345"},  // exactly 25: no cut
        {"12345678901234567890123456", true, "Text: 1234567890123456789012345…"},
        // 26 umlauts are 52 bytes: counted as characters, never split inside one.
        {"ääääääääääääääääääääääääää", true, "Text: äääääääääääääääääääääääää…"},
        {"€€€€€€€€€€€€€€€€€€€€€€€😀😀😀", true, "Text: €€€€€€€€€€€€€€€€€€€€€€€😀😀…"},
        {"", true, "Text: "},
    };
    for (const Row& r : rows) {
        TLayoutElement e;
        e.Kind = ekText;
        e.Text = r.Text;
        e.Visible = r.Visible;
        EXPECT_EQ(e.Caption(), r.Caption) << r.Text;
    }
}

TEST(LayoutModel, AddTextAppendsANewFreeText) {
    TLayout layout;
    layout.SetDefaults("");
    TLayoutElement* first = layout.AddText(true);
    TLayoutElement* follow = layout.AddText(false);
    ASSERT_EQ(layout.Elements.size(), 13u);
    EXPECT_EQ(layout.Elements[11].get(), first);
    EXPECT_EQ(layout.Elements[12].get(), follow);
    EXPECT_EQ(first->Kind, ekText);
    EXPECT_DOUBLE_EQ(first->X, 20);
    EXPECT_DOUBLE_EQ(first->Y, 140);
    EXPECT_DOUBLE_EQ(first->W, 90);
    EXPECT_DOUBLE_EQ(first->H, 10);
    EXPECT_DOUBLE_EQ(first->FontSize, 9);
    EXPECT_FALSE(first->Bold);
    EXPECT_TRUE(first->Visible);
    EXPECT_EQ(first->Align, baLeft);
    EXPECT_EQ(first->Text, "Neuer Text");
    EXPECT_EQ(first->Scope, psFirst);
    EXPECT_EQ(follow->Scope, psFollow);
    EXPECT_EQ(layout.Find(ekText), first);
}

TEST(LayoutModel, AssignMakesAnIndependentDeepCopy) {
    TLayout src;
    src.SetDefaults("logo.png");
    src.AddText(true)->Text = "Hallo";
    src.BackgroundFirst = "a.png";
    src.BackgroundFollow = "b.png";
    src.FollowSameAsFirst = false;

    TLayout dst;
    dst.SetDefaults("");
    dst.AddText(false);
    dst.AddText(false);
    dst.Assign(src);

    ASSERT_EQ(dst.Elements.size(), src.Elements.size());
    for (size_t i = 0; i < src.Elements.size(); ++i) {
        EXPECT_NE(dst.Elements[i].get(), src.Elements[i].get());
        EXPECT_EQ(dst.Elements[i]->Kind, src.Elements[i]->Kind);
        EXPECT_EQ(dst.Elements[i]->Text, src.Elements[i]->Text);
    }
    EXPECT_EQ(dst.BackgroundFirst, "a.png");
    EXPECT_EQ(dst.BackgroundFollow, "b.png");
    EXPECT_FALSE(dst.FollowSameAsFirst);

    src.Find(ekText)->Text = "geändert";
    src.Elements.clear();
    EXPECT_EQ(dst.Find(ekText)->Text, "Hallo");

    dst.Assign(dst);  // self-assignment keeps everything
    EXPECT_EQ(dst.Elements.size(), 12u);
}

TEST(LayoutModel, CloneCopiesAllFields) {
    TLayoutElement e;
    e.Kind = ekLogo;
    e.X = 1.5;
    e.Y = 2;
    e.W = 3;
    e.H = 4;
    e.FontSize = 11;
    e.Bold = true;
    e.Visible = false;
    e.Scope = psAll;
    e.Align = baCenter;
    e.Text = "t";
    e.FileName = "f.png";
    auto c = e.Clone();
    EXPECT_EQ(c->Kind, ekLogo);
    EXPECT_DOUBLE_EQ(c->X, 1.5);
    EXPECT_DOUBLE_EQ(c->H, 4);
    EXPECT_DOUBLE_EQ(c->FontSize, 11);
    EXPECT_TRUE(c->Bold);
    EXPECT_FALSE(c->Visible);
    EXPECT_EQ(c->Scope, psAll);
    EXPECT_EQ(c->Align, baCenter);
    EXPECT_EQ(c->Text, "t");
    EXPECT_EQ(c->FileName, "f.png");
}

TEST(LayoutModel, BackgroundFor) {
    TLayout layout;
    layout.BackgroundFirst = "erste.png";
    layout.BackgroundFollow = "folge.png";
    layout.FollowSameAsFirst = true;
    EXPECT_EQ(layout.BackgroundFor(true), "erste.png");
    EXPECT_EQ(layout.BackgroundFor(false), "erste.png");
    layout.FollowSameAsFirst = false;
    EXPECT_EQ(layout.BackgroundFor(true), "erste.png");
    EXPECT_EQ(layout.BackgroundFor(false), "folge.png");
}

TEST(LayoutModel, EnumerationCaptions) {
    EXPECT_EQ(PageScopeCaption(psFirst), "Nur Seite 1");
    EXPECT_EQ(PageScopeCaption(psFollow), "Nur Folgeseiten");
    EXPECT_EQ(PageScopeCaption(psAll), "Alle Seiten");
    EXPECT_EQ(BlockAlignCaption(baLeft), "Links");
    EXPECT_EQ(BlockAlignCaption(baCenter), "Zentriert");
    EXPECT_EQ(BlockAlignCaption(baRight), "Rechts");
    EXPECT_EQ(ElementSectionName(ekFooter), "Fusszeile");
    EXPECT_EQ(ElementSectionName(ekFollowTable), "TabelleFolgeseite");
    EXPECT_EQ(ElementCaption(ekFollowTable), "Positionen Folgeseiten");
}
