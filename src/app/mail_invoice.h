#pragma once
// Mailing one posted invoice: produced afresh, addressed to the customer's invoice
// addresses (or, in test mode, to the test recipient), sent on the chosen route (Graph or SMTP) and
// recorded in the sent-mail log whatever the outcome.
#include <memory>
#include <string>

#include "app/file_names.h"
#include "cii/en16931_check.h"
#include "invoice/invoice.h"
#include "app/mail_transport.h"
#include "mail/graph_mailer.h"
#include "mail/sent_log.h"
#include "platform/log.h"

namespace velkaro {

class TNavData;
class TSettings;

// CreateMailer, MailEndpoints and IsMailSetUp: mail_transport.h.

// Test mode: MailTestRecipient, trimmed, is not empty (read anew at every call).
bool IsMailTestMode(const TSettings& settings);

// What one mailing attempt did: the sent-log entry and the PDF (empty when it was not
// produced).
struct TMailRecord {
    TSentEntry Entry;
    std::string PdfFile;
    TCheckFindings Findings;  // rules of the EN 16931 check the invoice broke
};

// Mails one invoice. Every error of the invoice is caught here: logged as
// "FEHLER Versand <no>: <message>", recorded with status "FEHLER" and reported as false;
// a mail handed over whose answer was lost is logged "UNKLAR Versand <no>: …" and
// recorded "UNKLAR". Before the hand-over the sent log gets a "LAUFEND" entry with the
// mail's id, which the mail carries. Only a failure to write the sent log (when one is
// passed) propagates, as ESentLogFailed naming what became of the mail.
// `record`, when given, receives what was done. A credit memo (`kind`) is mailed the
// same way and logged under its number.
// The PDF is written where `options` say.
bool MailInvoice(TNavData& data, const TSettings& settings, const TRunOptions& options, IMailer& mailer,
                 TSentLog* sentLog,
                 const std::string& company, const std::string& invoiceNo, const TLogProc& log,
                 TMailRecord* record = nullptr, TDocumentKind kind = bkInvoice);

} // namespace velkaro
