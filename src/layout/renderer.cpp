#include "layout/renderer.h"

#include <algorithm>

#include "invoice/money_text.h"
#include "invoice/vat.h"
#include "pdf/pdf_document.h"
#include "platform/error.h"
#include "platform/files.h"
#include "platform/text.h"

namespace velkaro {

const TLayoutElement* TRenderer::Vis(TElementKind K) const {
    const TLayoutElement* e = L->Find(K);
    if (e && !e->Visible && e->CanHide()) return nullptr;
    return e;
}

const TPdfFont& TRenderer::F(const TLayoutElement& E) const { return E.Bold ? *FBold : *FReg; }

const TLayoutElement& TRenderer::TableElement(bool First) const {
    TElementKind kind = First ? ekTable : ekFollowTable;
    const TLayoutElement* e = L->Find(kind);
    if (!e) throw Exception("Das Layout enthält kein Element \"" + ElementCaption(kind) + "\".");
    return *e;
}

void TRenderer::NeedSpace(double H) {
    if (Y + H > TabBottom) PageHeader(false);
}

void TRenderer::PageHeader(bool First) {
    Doc->NewPage();
    DrawBackground(First);
    Doc->SetColor(0, 0, 0);
    DrawLogo(First);
    TabEl = &TableElement(First);
    TabL = TabEl->X;
    TabW = std::max(TabEl->W, 100.0);
    TabBottom = TabEl->Y + TabEl->H;
    TabSize = TabEl->FontSize;
    LH = TabSize * kTableLineFactor;
    Y = TabEl->Y + 4;
    TableHeader();
}

void TRenderer::TableHeader() {
    std::vector<std::string> cells = SplitCells(TabEl->Text);
    cells.resize(8);
    for (std::string& cell : cells) cell = ExpandPlaceholders(cell, Ctx).Text;
    Doc->SetColor(230, 230, 230);
    Doc->FillRect(TabL, Y - 4, TabW, 6);
    Doc->SetColor(0, 0, 0);
    Doc->SetFont(*FBold, TabSize);
    for (size_t i = 0; i < cells.size(); ++i) {
        if (kTableColumnHeads[i].EndsThere)
            Doc->TextRight(CX(kTableColumnHeads[i].Offset), Y, cells[i]);
        else
            Doc->TextOut(CX(kTableColumnHeads[i].Offset), Y, cells[i]);
    }
    Y += 6.5;
}

void TRenderer::DrawBackground(bool First) {
    const std::string file = PathBeside(PictureFolder, L->BackgroundFor(First));
    if (file.empty() || !FileExists(file)) return;
    Doc->DrawImage(Doc->AddImageFile(file), 0, 0, 210, 297);
}

void TRenderer::DrawLogo(bool First) {
    const TLayoutElement* e = Vis(ekLogo);
    const std::string file = e ? PathBeside(PictureFolder, e->FileName) : std::string();
    if (!e || !e->OnPage(First) || file.empty() || !FileExists(file)) return;
    const TPdfImage& img = Doc->AddImageFile(file);
    const TMmRect box = LogoPlacement(*e, img.Width(), img.Height());
    Doc->DrawImage(img, box.X, box.Y, box.W, box.H);
}

void TRenderer::FlowText(const std::string& S, double Size) {
    Doc->SetFont(*FReg, Size);
    for (const std::string& line : Doc->WrapText(S, TabW)) {
        NeedSpace(Size * kColumnLineFactor);
        Doc->SetFont(*FReg, Size);
        Doc->TextOut(TabL, Y, line);
        Y += Size * kColumnLineFactor;
    }
}

void TRenderer::Render() {
    if (!Doc || !FReg || !FBold || !Inv || !L)
        throw Exception("Rechnung kann nicht gezeichnet werden: Dokument, Schriften, Rechnung oder Layout fehlen.");
    if (Doc->PageCount() != 0) throw Exception("Rechnung kann nur in ein leeres Dokument gezeichnet werden.");
    const std::string c = Inv->InvCurrency();
    PageHeader(true);
    int items = 0;
    for (const TInvLine& line : Inv->Lines) {
        Doc->SetFont(*FReg, TabSize);
        if (IsTextLine(line)) {
            DrawTextLine(line);
        } else {
            ++items;
            DrawItemLine(line, items, items == 1, c);
        }
    }
    DrawTotals(c);
    DrawNotes();

    Y += 2;
    NeedSpace(4);
    Doc->SetColor(100, 100, 100);
    FlowText(ZugferdNote(Inv->Kind), 7);
    Doc->SetColor(0, 0, 0);

    const int pages = Doc->PageCount();
    for (int i = 1; i <= pages; ++i) {
        Doc->SelectPage(i - 1);
        Doc->SetColor(0, 0, 0);
        DrawFinal(i, pages);
    }
}

void TRenderer::DrawTextLine(const TInvLine& line) {
    std::string t = LineText(line);
    if (t.empty()) {
        Y += 2;
        return;
    }
    for (const std::string& piece : Doc->WrapText(t, CX(175) - CX(32))) {
        NeedSpace(LH);
        Doc->SetFont(*FReg, TabSize);
        Doc->TextOut(CX(32), Y, piece);
        Y += LH;
    }
}

void TRenderer::DrawItemLine(const TInvLine& line, int itemNo, bool firstItem, const std::string& currency) {
    std::vector<std::string> description =
        Doc->WrapText(JoinNonEmpty({line.Description, line.Description2}, " "), CX(94) - CX(32));
    const double n = static_cast<double>(description.size());
    NeedSpace(n * LH + 2);
    if (!firstItem) Y += 2;
    Doc->SetFont(*FReg, TabSize);
    Doc->TextOut(CX(0.5), Y, std::to_string(itemNo));
    Doc->TextOut(CX(8), Y, Utf8Left(line.ItemNo, 14));
    for (size_t i = 0; i < description.size(); ++i) Doc->TextOut(CX(32), Y + static_cast<double>(i) * LH, description[i]);
    Doc->TextRight(CX(111), Y, FormatQuantity(line.Quantity));
    Doc->TextOut(CX(113), Y, Utf8Left(line.UnitText, 10));
    Doc->TextRight(CX(145), Y, FormatPrice(ShownUnitPrice(line, Inv->PricesInclVat)));
    Doc->TextRight(CX(156), Y, FormatPercent(line.VatPct) + "%");
    Doc->TextRight(CX(175), Y, FormatGermanMoney(line.Amount));
    Y += n * LH;

    if (line.LineDiscPct != 0 && !Inv->PricesInclVat && line.InvDiscAmount.IsZero()) {
        Doc->SetFont(*FReg, TabSize * 0.88);
        Doc->TextOut(CX(32), Y,
                     "abzgl. " + FormatPercent(line.LineDiscPct) + " % Rabatt (" +
                         FormatGermanMoney(LineDiscountAmount(line)) + " " + currency + ")");
        Y += LH * 0.92;
    }
}

void TRenderer::DrawTotals(const std::string& c) {
    Y += 2;
    NeedSpace(5.0 * static_cast<double>(Inv->VatGroups.size()) + 24);
    const double xL = CX(100);
    const double xR = CX(175);
    Y += 2;

    Doc->SetStrokeColor(0, 0, 0);
    Doc->Line(xL, Y - 3, xR, Y - 3, 0.25);
    Doc->SetFont(*FReg, 9);
    Doc->TextOut(xL, Y + 1, "Nettobetrag");
    Doc->TextRight(xR, Y + 1, FormatGermanMoney(Inv->LineTotal) + " " + c);
    Y += 5;
    for (const TVatGroup& g : Inv->VatGroups) {
        std::string label = g.Category == vcS
                                ? "USt. " + FormatPercent(g.Rate) + " % auf " + FormatGermanMoney(g.Basis)
                                : "USt. 0 % (" + CategoryCode(g.Category) + ") auf " + FormatGermanMoney(g.Basis);
        Doc->TextOut(xL, Y + 1, label);
        Doc->TextRight(xR, Y + 1, FormatGermanMoney(g.Tax) + " " + c);
        Y += 5;
    }
    Doc->Line(xL, Y - 1.5, xR, Y - 1.5, 0.25);
    Doc->SetFont(*FBold, 10);
    Doc->TextOut(xL, Y + 3, GrandTotalLabel(Inv->Kind));
    Doc->TextRight(xR, Y + 3, FormatGermanMoney(Inv->GrandTotal) + " " + c);
    if (!Inv->Rounding.IsZero()) {
        Y += 5;
        Doc->SetFont(*FReg, 9);
        Doc->TextOut(xL, Y + 3, "Rundungsdifferenz");
        Doc->TextRight(xR, Y + 3, FormatGermanMoney(Inv->Rounding) + " " + c);
        Y += 5;
        Doc->SetFont(*FBold, 10);
        Doc->TextOut(xL, Y + 3, "Zahlbetrag");
        Doc->TextRight(xR, Y + 3, FormatGermanMoney(Inv->DuePayable) + " " + c);
    }
    Doc->Line(xL, Y + 5, xR, Y + 5, 0.25);
    Doc->Line(xL, Y + 5.6, xR, Y + 5.6, 0.25);
    Y += 13;
}

void TRenderer::DrawNotes() {
    for (const std::string& note : ExemptionNotes(*Inv, TaxRules)) FlowText(note, 8.5);
    std::string p = PaymentSentence(*Inv, Seller);
    if (!p.empty()) FlowText(p, 8.5);
}

} // namespace velkaro
