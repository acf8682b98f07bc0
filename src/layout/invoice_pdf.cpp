#include "layout/invoice_pdf.h"

#include "config/settings.h"
#include "layout/renderer.h"
#include "pdf/pdf_document.h"

namespace velkaro {

void RenderInvoicePdf(const TInvoice& invoice, const TSeller& seller, const TSettings& settings,
                      const std::string& fileName, const std::string& xml) {
    // Settings always own a layout once loaded; a bare settings object gets the default.
    TLayout fallback;
    const TLayout* layout = settings.Layout.get();
    if (!layout) {
        fallback.SetDefaults(settings.LogoFile);
        layout = &fallback;
    }

    TPdfDocument doc(settings.IccFile);
    TRenderer r;
    r.Doc = &doc;
    r.Inv = &invoice;
    r.Seller = seller;
    r.Settings = &settings;
    r.L = layout;
    r.Ctx = InvoiceContext(invoice, seller, settings);
    r.FReg = &doc.AddFont(settings.FontName, false);
    r.FBold = &doc.AddFont(settings.FontName, true);

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
