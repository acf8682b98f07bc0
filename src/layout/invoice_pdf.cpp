#include "layout/invoice_pdf.h"

#include "layout/renderer.h"
#include "pdf/pdf_document.h"
#include "platform/text.h"

#include <cstdio>

namespace velkaro {

std::string MissingCharacterHint(const std::string& invoiceNo, char32_t c) {
    char code[16];
    std::snprintf(code, sizeof code, "U+%04X", static_cast<unsigned>(c));
    std::string shown;
    AppendUtf8(shown, c);
    return "  Hinweis " + invoiceNo + ": Zeichen \u201E" + shown + "\u201C (" + code +
           ") in keiner installierten Schrift vorhanden, als Ersatzzeichen gedruckt";
}

void RenderInvoicePdf(const TInvoice& invoice, const TSeller& seller, const TPrintSetup& setup,
                      const std::string& fileName, const std::string& xml, const TLogProc& log) {
    // Loaded settings always own a layout; a set-up without one prints the default.
    TLayout fallback;
    const TLayout* layout = setup.Layout;
    if (!layout) {
        fallback.SetDefaults(setup.LogoFile);
        layout = &fallback;
    }

    TPdfDocument doc(setup.IccFile);
    doc.WholeFonts = setup.WholeFonts;
    TRenderer r;
    r.Doc = &doc;
    r.Inv = &invoice;
    r.Seller = seller;
    r.TaxRules = setup.TaxRules;
    r.L = layout;
    r.PictureFolder = setup.PictureFolder;
    r.Ctx = InvoiceContext(invoice, seller, setup.TaxRules);
    r.FReg = &doc.AddFont(setup.FontName, false);
    r.FBold = &doc.AddFont(setup.FontName, true);

    const std::string kind = DocumentKindName(invoice.Kind);
    doc.Title = kind + " " + invoice.No;
    doc.Author = seller.Addr.Name;
    doc.Subject = kind + " " + invoice.No + " an " + invoice.BillTo.Name;
    doc.Keywords = kind + ", ZUGFeRD, Factur-X, " + invoice.No;
    doc.FacturX = true;
    doc.FacturXFileName = "factur-x.xml";
    doc.FacturXConformance = invoice.XRechnung ? "XRECHNUNG" : "EN 16931";

    r.Render();
    doc.AddAttachment("factur-x.xml", "text/xml", "Factur-X/ZUGFeRD Rechnungsdaten", "Alternative", xml);
    doc.SaveToFile(fileName);
    if (log)
        for (char32_t c : doc.MissingCharacters()) log(MissingCharacterHint(invoice.No, c));
}

} // namespace velkaro
