#pragma once
// Draws one calculated invoice onto the pages of a PDF document by the layout: page 1
// with background, logo and line table, following pages when the table area is full,
// totals, VAT lines, notes and payment sentence, and finally the layout's text elements
// on every page once the page count is known. Millimetres from the top-left corner.
#include <string>
#include <vector>

#include "invoice/invoice.h"
#include "invoice/placeholders.h"
#include "layoutmodel/layout_model.h"
#include "layout/render_format.h"

namespace velkaro {

class TPdfDocument;
class TPdfFont;

class TRenderer {
public:
    // Filled by the caller before Render; the pointers are not owned.
    TPdfDocument* Doc = nullptr;
    const TPdfFont* FReg = nullptr;
    const TPdfFont* FBold = nullptr;
    const TInvoice* Inv = nullptr;
    TSeller Seller;
    TTaxRules TaxRules;
    const TLayout* L = nullptr;
    std::string PictureFolder;  // where relatively named pictures lie
    TPlaceholderContext Ctx;

    // Working state of the flowing content on the current page.
    double Y = 0;          // baseline, mm from the top
    double TabL = 0;       // left edge of the table
    double TabW = 0;       // width of the table, never below 100
    double TabBottom = 0;  // lower limit of the flowing content
    double TabSize = 0;    // font size of the table, points
    double LH = 0;         // line height of the table
    const TLayoutElement* TabEl = nullptr;

    // Draws the whole invoice into a document without pages.
    void Render();

    // The element of kind K, or nullptr when it is hidden and may be hidden.
    const TLayoutElement* Vis(TElementKind K) const;
    const TPdfFont& F(const TLayoutElement& E) const;
    // A column position given on the reference width of 175 mm, scaled to the table.
    double CX(double Offset) const { return Offset * TabW / 175 + TabL; }

    void PageHeader(bool First);
    void TableHeader();
    // The only page break: a new following page when H does not fit above TabBottom.
    void NeedSpace(double H);
    void FlowText(const std::string& S, double Size);
    void AlignedText(const TLayoutElement& E, double YY, const std::string& S);
    void DrawBackground(bool First);
    void DrawLogo(bool First);
    void DrawTextBlock(const TLayoutElement& E);
    void DrawInfoBlock(const TLayoutElement& E);
    void DrawColumns(const TLayoutElement& E);
    void DrawFinal(int PageNo, int PageTotal);

private:
    void DrawTextLine(const TInvLine& line);
    void DrawItemLine(const TInvLine& line, int itemNo, bool firstItem, const std::string& currency);
    void DrawTotals(const std::string& currency);
    void DrawNotes();
    const TLayoutElement& TableElement(bool First) const;
};

// The unit price printed in a row: the net amount per unit where the posted unit price
// would not multiply to the printed amount (prices with VAT, an invoice discount share,
// quantity 0 — then the amount itself).
double ShownUnitPrice(const TInvLine& line, bool pricesInclVat);
// UnitPrice × Quantity − Amount, rounded to four decimals with halves to even.
Currency LineDiscountAmount(const TInvLine& line);
// The exemption notes of the invoice's VAT groups, in group order.
std::vector<std::string> ExemptionNotes(const TInvoice& invoice, const TTaxRules& rules);
// Payment terms, direct debit or transfer request, and cash discount, as one text; for a
// credit memo the sentence that the amount is paid back or set off.
std::string PaymentSentence(const TInvoice& invoice, const TSeller& seller);
// The grey note at the end of every document.
std::string ZugferdNote(TDocumentKind kind);
// The label of the gross total: "Rechnungsbetrag", "Korrekturbetrag".
std::string GrandTotalLabel(TDocumentKind kind);

} // namespace velkaro
