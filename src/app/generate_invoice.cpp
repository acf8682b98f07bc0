#include "app/generate_invoice.h"

#include <memory>

#include "app/file_names.h"
#include "cii/cii_document.h"
#include "config/settings.h"
#include "erp/nav_data.h"
#include "invoice/money_text.h"
#include "layout/invoice_pdf.h"
#include "platform/error.h"
#include "platform/files.h"

namespace velkaro {

std::vector<std::string> InvoiceHintLines(const TInvoice& invoice, const TSeller& seller,
                                          const std::string& requestedNo) {
    std::vector<std::string> lines;
    for (const std::string& warning : invoice.Warnings)
        lines.push_back("  Hinweis " + requestedNo + ": " + warning);
    if (!invoice.InvoiceEmail.empty())
        lines.push_back("  Rechnungs-E-Mail: " + invoice.InvoiceEmail + "  (Quelle: " + invoice.InvoiceEmailSource + ")");
    else
        lines.push_back("  Hinweis: keine Rechnungs-E-Mail beim Kunden " + invoice.CustomerNo + " gefunden");
    if (seller.IBAN.empty())
        lines.push_back("  Hinweis: keine IBAN des Verk\u00E4ufers hinterlegt (INI [Verkaeufer] IBAN=)");
    if (invoice.DirectDebit && invoice.BuyerIBAN.empty())
        lines.push_back("  Hinweis: Lastschrift ohne Kunden-IBAN");
    return lines;
}

std::vector<std::string> FindingLines(const TCheckFindings& findings, const std::string& requestedNo) {
    std::vector<std::string> lines;
    for (const TCheckFinding& f : findings.Items())
        lines.push_back("  Pr\u00FCfung " + requestedNo + ": " + f.Rule + " " + FindingSentence(f));
    return lines;
}

std::string InvoiceResultLine(const TInvoice& invoice, const std::string& pdfFile) {
    return invoice.No + " erzeugt: " + pdfFile + "  (Netto " + FormatUserMoney(invoice.LineTotal) + ", Brutto " +
           FormatUserMoney(invoice.DuePayable) + " " + invoice.InvCurrency() + ")";
}

TPrintSetup PrintSetupOf(const TSettings& settings) {
    return TPrintSetup{.FontName = settings.FontName,
                       .IccFile = settings.IccFile,
                       .WholeFonts = settings.WholeFonts,
                       .Layout = settings.Layout.get(),
                       .LogoFile = settings.LogoFile,
                       .PictureFolder = ExtractFilePath(AbsolutePath(settings.FFileName)),
                       .TaxRules = TaxRulesOf(settings)};
}

TCheckFindings DocumentFindings(const TInvoice& invoice, const TSeller& seller, const TTaxRules& rules) {
    return invoice.XRechnung ? CheckInvoice(invoice, seller, rules, {&kEn16931Rules, &kXRechnungRules, &kNavPostingRules})
                             : CheckInvoice(invoice, seller, rules, {&kEn16931Rules, &kNavPostingRules});
}

TCheckFindings CheckDocument(TNavData& data, const TSettings& settings, const std::string& company,
                             const std::string& documentNo, TDocumentKind kind) {
    const TSeller seller = data.LoadSeller(company);
    return DocumentFindings(*data.LoadInvoice(company, documentNo, kind), seller, TaxRulesOf(settings));
}

namespace {

std::string GenerateWith(TNavData& data, const TSettings& settings, const TRunOptions& options, const TPrintSetup& print,
                         const std::string& company, const std::string& invoiceNo, TDocumentKind kind,
                         const TLogProc& log, TGeneratedInvoice& result) {
    result = TGeneratedInvoice{};
    const TSeller seller = data.LoadSeller(company);
    const std::shared_ptr<const TInvoice> invoice = data.LoadInvoice(company, invoiceNo, kind);
    // Before anything is printed: the time and memory of one document stay bounded.
    if (invoice->Lines.size() > static_cast<size_t>(settings.MaxInvoiceLines))
        throw Exception("Der Beleg hat " + std::to_string(invoice->Lines.size()) + " Zeilen, mehr als die " +
                        std::to_string(settings.MaxInvoiceLines) +
                        ", die [PDF] MaxPositionen erlaubt; er wird nicht erzeugt.");

    for (const std::string& line : InvoiceHintLines(*invoice, seller, invoiceNo))
        log(line);
    // A finding does not stop the invoice: the printed form stays useful, and the
    // mailing decides whether the e-invoice may leave.
    result.XRechnung = invoice->XRechnung;
    result.Findings = DocumentFindings(*invoice, seller, print.TaxRules);
    for (const std::string& line : FindingLines(result.Findings, invoiceNo))
        log(line);

    const std::string xml = BuildCiiXml(*invoice, seller, print.TaxRules);

    // The name is checked before the folder is created, so that a rejected folder name
    // leaves nothing behind. A folder that cannot be created fails the invoice with the
    // reason instead of a later, vaguer write error.
    const std::string base = DocumentFileBase(settings, options, kind, invoice->No);
    ForceDirectories(options.OutDir);
    const std::string pdfFile = base + ".pdf";

    RenderInvoicePdf(*invoice, seller, print, pdfFile, xml, log);

    // The mail attachment needs the file as well, even when no XML file is wanted.
    if (options.SaveXml || settings.MailAttachXml) {
        const std::string xmlFile = base + ".xml";
        WriteFileBytes(xmlFile, xml, kOwnDataFileMode);
        result.XmlFile = xmlFile;
    }

    log(InvoiceResultLine(*invoice, pdfFile));

    result.InvoiceNo = invoice->No;
    result.CustomerNo = invoice->CustomerNo;
    result.CustomerName = invoice->BillTo.Name;
    result.PdfFile = pdfFile;
    if (invoice->XRechnung) result.XRechnungXml = xml;
    result.Recipients = invoice->InvoiceEmail;
    result.RecipientSource = invoice->InvoiceEmailSource;
    result.Invoice = invoice;
    result.Seller = seller;
    return pdfFile;
}

} // namespace

std::string GenerateInvoice(TNavData& data, const TSettings& settings, const TRunOptions& options,
                            const std::string& company, const std::string& invoiceNo, const TLogProc& log,
                            TGeneratedInvoice& result, TDocumentKind kind) {
    return GenerateWith(data, settings, options, PrintSetupOf(settings), company, invoiceNo, kind, log, result);
}

std::string GenerateInvoicePdf(TNavData& data, const TSettings& settings, const std::string& company,
                               const std::string& invoiceNo, const TLogProc& log, TDocumentKind kind) {
    TGeneratedInvoice discarded;
    return GenerateInvoice(data, settings, RunOptionsOf(settings), company, invoiceNo, log, discarded, kind);
}

std::string GenerateInvoicePdf(TNavData& data, const TSettings& settings, const TRunOptions& options,
                               const TLayout& layout, const std::string& company, const std::string& invoiceNo,
                               const TLogProc& log, TDocumentKind kind) {
    TPrintSetup print = PrintSetupOf(settings);
    print.Layout = &layout;
    TGeneratedInvoice discarded;
    return GenerateWith(data, settings, options, print, company, invoiceNo, kind, log, discarded);
}

} // namespace velkaro
