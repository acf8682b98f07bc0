#include "layout/invoice_pdf.h"

#include "layout/renderer.h"
#include "pdf/pdf_document.h"

namespace velkaro {

void RenderInvoicePdf(const TInvoice& invoice, const TSeller& seller, const TPrintSetup& setup,
                      const std::string& fileName, const std::string& xml) {
    // Loaded settings always own a layout; a set-up without one prints the default.
    TLayout fallback;
    const TLayout* layout = setup.Layout;
    if (!layout) {
        fallback.SetDefaults(setup.LogoFile);
        layout = &fallback;
    }

    TPdfDocument doc(setup.IccFile);
    TRenderer r;
    r.Doc = &doc;
    r.Inv = &invoice;
    r.Seller = seller;
    r.TaxRules = setup.TaxRules;
    r.L = layout;
    r.Ctx = InvoiceContext(invoice, seller, setup.TaxRules);
    r.FReg = &doc.AddFont(setup.FontName, false);
    r.FBold = &doc.AddFont(setup.FontName, true);

    doc.Title = "Rechnung " + invoice.No;
    doc.Author = seller.Addr.Name;
    doc.Subject = "Rechnung " + invoice.No + " an " + invoice.BillTo.Name;
    doc.Keywords = "Rechnung, ZUGFeRD, Factur-X, " + invoice.No;
    doc.FacturX = true;
    doc.FacturXFileName = "factur-x.xml";
    doc.FacturXConformance = "EN 16931";

    r.Render();
    doc.AddAttachment("factur-x.xml", "text/xml", "Factur-X/ZUGFeRD Rechnungsdaten", "Alternative", xml);
    doc.SaveToFile(fileName);
}

} // namespace velkaro
