#pragma once
// The command-line batch run: selects documents (named with "/rg" and "/gs", by posting date with
// "/von" and "/bis", not yet sent with "/neu"), produces or mails each once without a
// window, one run per settings file at a time, and writes the batch log into the state
// folder of the settings (state_folder.h) line by line as it goes.
#include <chrono>
#include <csignal>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "invoice/invoice.h"
#include "platform/datetime.h"
#include "platform/log.h"

namespace velkaro {

class TSettings;

// What producing one document reported beyond its log lines.
struct TDocumentOutcome {
    std::string PdfFile;
    int FindingCount = 0;  // check findings logged for the document
    std::string FindingRules;  // their rule ids joined by ", "
};

// What mailing one document reported.
struct TMailOutcome {
    bool Sent = false;         // handed over to the mail service
    bool Test = false;         // sent to the test recipient instead of the customer
    std::string Recipients;    // the addresses it went (or would have gone) to
    std::string Message;       // the error when not sent
    TDocumentOutcome Document;  // PdfFile empty when the document was not produced
};

// Sent-mail log and Graph mailer of one mailing run; freed when the run ends.
class TBatchMailer {
public:
    virtual ~TBatchMailer() = default;
    // Fetches the access token with the run's mailer (kept for the mails); raises when
    // the sign-in fails.
    virtual void SignIn() = 0;
    // Mails one invoice or credit memo. Catches the document's own errors, logs
    // "FEHLER Versand …" itself and reports them in the outcome.
    virtual TMailOutcome MailInvoice(const std::string& company, const std::string& invoiceNo, const TLogProc& log,
                                     TDocumentKind kind) = 0;
};

// The workflows of one batch run, bound to its settings and owning its database object.
class TBatchSession {
public:
    virtual ~TBatchSession() = default;
    // Company names of the database in ascending order (opens the connection).
    virtual std::vector<std::string> Companies() = 0;
    // Numbers of the posted documents of the kind posted from `dateFrom` to `dateTo`
    // (whole days, inclusive), oldest first, all of them.
    virtual std::vector<std::string> FindDocuments(TDocumentKind kind, const std::string& company,
                                                   TDateTime dateFrom, TDateTime dateTo) = 0;
    // True, with the time, when the sent-mail log holds a successful send of the document.
    virtual bool LastSent(const std::string& company, const std::string& documentNo, TDateTime& when) = 0;
    // Produces one invoice or credit memo; errors raise velkaro::Exception.
    virtual TDocumentOutcome GenerateInvoicePdf(const std::string& company, const std::string& invoiceNo,
                                                const TLogProc& log, TDocumentKind kind) = 0;
    // Opens the sent-mail log and creates the mailer; errors raise (they end the run).
    virtual std::unique_ptr<TBatchMailer> CreateMailer() = 0;
};

// Creates the session on the run's settings. An empty function means this build has
// no production workflow.
using TBatchSessionFactory = std::function<std::unique_ptr<TBatchSession>(TSettings& settings)>;

// Exit codes of a batch run (a stop signal gives 128 + the signal).
inline constexpr int kExitOk = 0;
inline constexpr int kExitSomeFailed = 1;  // some documents failed
inline constexpr int kExitUsage = 2;       // command line or settings unusable; nothing done
inline constexpr int kExitNotStarted = 3;  // database, sign-in or another run kept it from its work

// How the run is embedded in the process.
struct TBatchOptions {
    // Looked at between documents: once it is not 0 (a signal handler stores the signal
    // number), the run stops after the current document.
    const volatile std::sig_atomic_t* StopSignal = nullptr;
    // How long a second run with the same settings waits for the first one.
    std::chrono::milliseconds LockWait = std::chrono::minutes(1);
    // What "heute" means; 0 for the current local date.
    TDateTime Today = 0;
    // Lines for the operator while the run goes on (waiting for the lock).
    TLogProc Notice;
    // "/geheimnis": reads the client secret (standard input); nullopt when reading failed.
    std::function<std::optional<std::string>()> ReadSecret;
};

struct TBatchResult {
    bool Ran = false;        // a batch, the help or the version: the window must not open
    int ExitCode = 0;        // kExit… or 128 + signal
    int ErrorCount = 0;      // failed documents
    std::string Output;      // for stdout: the help, the version or the run's "Ende: …" line
    std::string FatalError;  // the error that ended the run (or the command line's), for stderr
    std::string LogFile;     // where the batch log was written; empty when none was
    int StopSignal = 0;      // the signal that stopped the run before its last document
    std::string StopLine;    // "Abgebrochen nach <n> von <m> Belegen", also the log's last line
};

// Logs the findings of the settings check (settings_check.h), one line each beginning
// with "  Hinweis Einstellungen: "; once per run, before its first document.
void LogSettingsHints(const TSettings& settings, const TLogProc& log);

// The batch log: the settings file's name with the extension ".log" in its state folder
// (state_folder.h).
std::string BatchLogFilePath();
// The lock file of batch runs and of the window's production and mailing: the settings
// file's name with the extension ".lock" in its state folder.
std::string RunLockFilePath(const std::string& settingsFile);
// The previous runs' logs kept as velkaro.log.1 (newest) to velkaro.log.7.
inline constexpr int kKeptBatchLogs = 7;

// Runs the program's command line (the process arguments after the program path).
// Without a batch selection, help or version nothing is done and Ran is false.
TBatchResult RunCommandLine(const std::vector<std::string>& args, const TBatchSessionFactory& openSession,
                            const TBatchOptions& options = {});

} // namespace velkaro
