#pragma once
// The one road from a posted NAV sales invoice to its e-invoice files: load, hint lines,
// Cross Industry Invoice XML, PDF/A-3 with the XML embedded, XML file on request and
// result line. The mail is no part of it: the mailing composes it from the loaded
// invoice, so that mail templates never hold up the production of a document.
#include <memory>
#include <string>
#include <vector>

#include "app/file_names.h"
#include "cii/en16931_check.h"
#include "invoice/invoice.h"
#include "layout/print_setup.h"
#include "platform/log.h"

namespace velkaro {

class TLayout;
class TNavData;
class TSettings;

// Everything the mailing needs of one produced invoice. Filled only by GenerateInvoice.
struct TGeneratedInvoice {
    std::string InvoiceNo;        // as stored in NAV
    std::string CustomerNo;       // bill-to customer
    std::string CustomerName;     // bill-to name
    std::string PdfFile;
    std::string XmlFile;          // empty when no XML file was written
    std::string Recipients;       // resolved invoice e-mail addresses; may be empty
    std::string RecipientSource;  // where they came from
    std::shared_ptr<const TInvoice> Invoice;  // the loaded, calculated document
    TSeller Seller;                           // the company that issued it
    TCheckFindings Findings;  // rules of EN 16931 the e-invoice breaks; empty when it passes
    bool XRechnung = false;   // the XML follows XRechnung and is always mailed beside the PDF
    std::string XRechnungXml; // that XML, for the mail when no XML file was written
};

// Produces one invoice of `company` and returns the PDF path. Errors of any step
// propagate unchanged; the log then holds the lines written so far, and files already
// written stay.
// A credit memo (`kind`) runs the same road under its own file-name pattern. The files go
// where `options` say; the settings are only read.
std::string GenerateInvoice(TNavData& data, const TSettings& settings, const TRunOptions& options,
                            const std::string& company, const std::string& invoiceNo, const TLogProc& log,
                            TGeneratedInvoice& result, TDocumentKind kind = bkInvoice);

// Producing without mailing, with the user's output options of the settings: GenerateInvoice
// with the record discarded.
std::string GenerateInvoicePdf(TNavData& data, const TSettings& settings, const std::string& company,
                               const std::string& invoiceNo, const TLogProc& log, TDocumentKind kind = bkInvoice);
// The same printed with `layout` instead of the settings' one into the folder of
// `options` (the layout designer's preview of its working copy).
std::string GenerateInvoicePdf(TNavData& data, const TSettings& settings, const TRunOptions& options,
                               const TLayout& layout, const std::string& company, const std::string& invoiceNo,
                               const TLogProc& log, TDocumentKind kind = bkInvoice);

// Font, ICC profile, layout, logo and VAT rules of the settings: the one place that
// fills TPrintSetup from TSettings.
TPrintSetup PrintSetupOf(const TSettings& settings);

// The hint lines a user should see before sending, in order: calculation warnings
// (with the number as requested), the invoice e-mail or its absence, a missing seller
// IBAN, a direct debit without the customer's IBAN.
std::vector<std::string> InvoiceHintLines(const TInvoice& invoice, const TSeller& seller,
                                          const std::string& requestedNo);

// One line per finding after the hints: "  Prüfung <no>: <rule> <sentence>", with the
// number as requested.
std::vector<std::string> FindingLines(const TCheckFindings& findings, const std::string& requestedNo);

// "<no> erzeugt: <pdf>  (Netto <net>, Brutto <due> <currency>)", amounts with two
// decimals and the user's decimal separator.
std::string InvoiceResultLine(const TInvoice& invoice, const std::string& pdfFile);

} // namespace velkaro
