#pragma once
// Producing and mailing invoices as the windows need it, behind an interface
// so that presenters can be tested without database and PDF writer.
#include <memory>
#include <string>

#include "app/batch_run.h"
#include "cii/en16931_check.h"
#include "platform/log.h"

namespace velkaro {

class TFileLock;
class TNavData;
class TSentLog;
class TSettings;

// One produced invoice: its PDF and what the EN 16931 check found (already logged).
struct TProducedInvoice {
    std::string PdfFile;
    TCheckFindings Findings;
};

class TInvoiceProducer {
public:
    virtual ~TInvoiceProducer() = default;
    // Produces the invoice or credit memo; errors of any step raise, the log then holds
    // the lines written so far.
    virtual TProducedInvoice GenerateInvoicePdf(const std::string& company, const std::string& invoiceNo,
                                                const TLogProc& log, TDocumentKind kind) = 0;
    // The lock that batch runs with the same settings take, held by the caller for one
    // production or mailing run (never while the window is merely open); raises with a
    // German message when a batch run keeps it. Null where nothing else can interfere.
    virtual std::unique_ptr<TFileLock> LockRun() = 0;
    // The mailer of one mailing run (the batch's: sign-in check, then one invoice after
    // the other), recording in the window's `sentLog`. Raises when the mail settings are
    // incomplete.
    virtual std::unique_ptr<TBatchMailer> CreateMailer(TSentLog& sentLog) = 0;
};

// The program's generation workflow on `data` and `settings` (both must outlive it).
std::unique_ptr<TInvoiceProducer> WorkflowInvoiceProducer(TNavData& data, const TSettings& settings);

} // namespace velkaro
