#pragma once
// The command-line batch run: produces or mails the invoices named with "/rg" one after
// the other, without a window, and writes the batch log next to the settings file.
#include <csignal>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/log.h"

namespace velkaro {

class TSettings;

// Sent-mail log and Graph mailer of one mailing run; freed when the run ends.
class TBatchMailer {
public:
    virtual ~TBatchMailer() = default;
    // Mails one invoice. Catches the invoice's own errors, logs "FEHLER Versand …" itself
    // and returns false for them.
    virtual bool MailInvoice(const std::string& company, const std::string& invoiceNo, const TLogProc& log) = 0;
};

// What producing one document reported beyond its log lines.
struct TDocumentOutcome {
    std::string PdfFile;
    int FindingCount = 0;  // check findings logged for the document
};

// The workflows of one batch run, bound to its settings and owning its database object.
class TBatchSession {
public:
    virtual ~TBatchSession() = default;
    // Company names of the database in ascending order (opens the connection).
    virtual std::vector<std::string> Companies() = 0;
    // Produces one invoice; errors raise velkaro::Exception.
    virtual TDocumentOutcome GenerateInvoicePdf(const std::string& company, const std::string& invoiceNo,
                                                const TLogProc& log) = 0;
    // Opens the sent-mail log and creates the mailer; errors raise (they end the run).
    virtual std::unique_ptr<TBatchMailer> CreateMailer() = 0;
};

// Creates the session on the run's settings. An empty function means this build has
// no production workflow.
using TBatchSessionFactory = std::function<std::unique_ptr<TBatchSession>(TSettings& settings)>;

struct TBatchResult {
    bool Ran = false;        // an invoice was named: the batch ran and wrote its log
    int ExitCode = 0;        // 0 when every invoice succeeded, else 1; 128 + signal when stopped
    int ErrorCount = 0;      // failed invoices
    std::string FatalError;  // error outside the per-invoice steps that ended the run
    std::string LogFile;     // where the batch log was written
    int StopSignal = 0;      // the signal that stopped the run before its last invoice
    std::string StopLine;    // "Abgebrochen nach <n> von <m> Belegen", also the log's last line
};

// The batch log: the settings file's path with the extension ".log".
std::string BatchLogFilePath();

// Runs the batch for the process arguments (after the program path). Without "/rg"
// nothing is created and Ran is false. `stopSignal`, when given, is looked at between
// invoices: once it is not 0 (a signal handler stores the signal number), the run stops
// after the current invoice, ends its log with the StopLine and exits with 128 + signal.
TBatchResult RunCommandLine(const std::vector<std::string>& args, const TBatchSessionFactory& openSession,
                            const volatile std::sig_atomic_t* stopSignal = nullptr);

} // namespace velkaro
