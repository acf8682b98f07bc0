#pragma once
// The one run over posted documents, for the batch and for the window alike: the
// selection, the run lock, the settings hints, producing or mailing each document with
// its error handling, the counters, the guard against two documents writing the same
// file, the rule for documents sent before, and stopping between documents. What the
// front ends do differently is said by the request (which documents, mail or produce,
// resend, how a document without an address is treated) or done by the observer (where
// the lines go, progress, the end line).
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/file_names.h"
#include "cii/en16931_check.h"
#include "invoice/invoice.h"
#include "platform/datetime.h"
#include "platform/error.h"
#include "platform/log.h"

namespace velkaro {

class TFileLock;
class TSettings;

// What producing one document reported beyond its log lines.
struct TDocumentOutcome {
    std::string PdfFile;
    TCheckFindings Findings;  // rules of EN 16931 the document breaks (already logged)
};

// What mailing one document reported.
struct TMailOutcome {
    bool Sent = false;          // handed over to the mail service
    bool Unclear = false;       // handed over, and the service's answer was lost
    bool Test = false;          // sent to the test recipient instead of the customer
    std::string Recipients;     // the addresses it went (or would have gone) to
    std::string Message;        // the error when not sent
    TDocumentOutcome Document;  // PdfFile empty when the document was not produced
};

// A mail of an earlier run whose outcome the sent log leaves open ("LAUFEND", "UNKLAR").
struct TOpenSend {
    TDateTime Time = 0;      // when it was entered
    std::string Status;      // "LAUFEND" or "UNKLAR"
    std::string Recipients;
    std::string Id;          // the id the mail carries; empty in older entries
};

// What looking for such a mail found.
struct TOpenSendCheck {
    bool Sent = false;    // found among the sent mails (now recorded as sent)
    std::string Finding;  // what was found or why nothing could be looked up; may be empty
};

// Sent-mail log and mailer of one mailing run; freed when the run ends.
class TRunMailer {
public:
    virtual ~TRunMailer() = default;
    // Raises when the sent log cannot be written; asked before the first mail.
    virtual void CheckSentLog() {}
    // Looks for an open mail of an earlier run where the mail service keeps sent mails,
    // and records it as sent when it is there. A transport that cannot look says so.
    virtual TOpenSendCheck CheckOpenSend(const std::string& company, const std::string& documentNo,
                                         const TOpenSend& open) {
        (void)company, (void)documentNo, (void)open;
        return {};
    }
    // Fetches the access token with the run's mailer (kept for the mails); raises when
    // the sign-in fails.
    virtual void SignIn() = 0;
    // Mails one invoice or credit memo. Catches the document's own errors, logs
    // "FEHLER Versand …" itself and reports them in the outcome; raises ESentLogFailed
    // when the sent log cannot be written.
    virtual TMailOutcome MailInvoice(const std::string& company, const std::string& invoiceNo, const TLogProc& log,
                                     TDocumentKind kind) = 0;
};

// The workflows of one run, bound to its settings.
class TRunSession {
public:
    virtual ~TRunSession() = default;
    // Company names of the database in ascending order (opens the connection).
    virtual std::vector<std::string> Companies() = 0;
    // What a run's log says of the database once the company is known (its product and
    // version, the hint of a half-migrated company); nothing unless the session knows.
    virtual std::vector<std::string> DatabaseNotes(const std::string& company) {
        (void)company;
        return {};
    }
    // Numbers of the posted documents of the kind posted from `dateFrom` to `dateTo`
    // (whole days, inclusive), oldest first, all of them.
    virtual std::vector<std::string> FindDocuments(TDocumentKind kind, const std::string& company,
                                                   TDateTime dateFrom, TDateTime dateTo) = 0;
    // True, with the time, when the sent-mail log holds a successful send of the document.
    virtual bool LastSent(const std::string& company, const std::string& documentNo, TDateTime& when) = 0;
    // True, with the entry, when the document's last sent-log entry leaves its mail open.
    virtual bool OpenSend(const std::string& company, const std::string& documentNo, TOpenSend& open) {
        (void)company, (void)documentNo, (void)open;
        return false;
    }
    // Produces one invoice or credit memo; errors raise velkaro::Exception.
    virtual TDocumentOutcome GenerateInvoicePdf(const std::string& company, const std::string& invoiceNo,
                                                const TLogProc& log, TDocumentKind kind) = 0;
    // Opens the sent-mail log and creates the mailer; errors raise (they end the run).
    virtual std::unique_ptr<TRunMailer> CreateMailer() = 0;
    // The findings of the EN 16931 check of one document, loaded and checked without
    // being produced; errors of loading raise.
    virtual TCheckFindings CheckDocument(const std::string& company, const std::string& documentNo,
                                         TDocumentKind kind) = 0;
};

// One document of a run.
struct TRunDocument {
    TDocumentKind Kind = bkInvoice;
    std::string No;
    bool Named = true;            // named by the user rather than selected by date
    bool WithoutAddress = false;  // known to have no invoice e-mail (the window's list knows it)
};

// Which documents a run works on: the named ones, then those posted in the date range
// that were not named.
struct TRunSelection {
    std::vector<TRunDocument> Named;
    std::optional<TDateTime> DateFrom;  // a whole day
    std::optional<TDateTime> DateTo;
    bool OnlyNew = false;               // only documents without a successful send
    bool ByDate() const { return DateFrom || DateTo || OnlyNew; }
};

// What one run is to do.
struct TRunRequest {
    std::string Company;  // as the database spells it
    TRunOptions Options;  // where the files go (the collision guard compares these names)
    TRunSelection Selection;
    bool Mail = false;    // mail each document (which produces it afresh); else produce
    // Documents selected by date that were sent before are mailed again; named ones always are.
    bool Resend = false;
    // Test mode of the mailing: everything goes to the test recipient.
    bool TestMode = false;
    // Outside test mode, a document known to have no address is skipped with a line
    // instead of being produced and failing at the mailing.
    bool SkipWithoutAddress = false;
};

// The state of a run as the front ends count it.
struct TRunCounts {
    size_t Total = 0;  // documents selected
    size_t Done = 0;   // documents handled so far, whatever the outcome
    int Produced = 0;  // PDFs written
    int Mailed = 0;    // handed over to the mail service (test mode included)
    int Skipped = 0;
    int Errors = 0;
    int WithFindings = 0;
    int Unclear = 0;  // mails that may have gone out (this run's or an earlier one's)
    bool Stopped = false;  // stopped before its last document
};

// What became of one document. dsUnclear: its mail may have gone out (an answer lost,
// or an earlier run's mail whose outcome is open); it is not sent again unasked.
enum TDocumentStatus { dsProduced, dsSent, dsTest, dsSkipped, dsFailed, dsUnclear };
// "erzeugt", "versendet", "TEST", "übersprungen", "FEHLER", "UNKLAR": the batch's result
// file and the window's status column say it so.
std::string DocumentStatusText(TDocumentStatus status);

struct TDocumentResult {
    TDocumentStatus Status = dsFailed;
    TDocumentOutcome Outcome;  // PdfFile empty when nothing was written
    std::string Recipients;    // mailing: the addresses
    std::string Message;       // the error, or why the document was skipped
};

// The sent log could not be written around a mail: the run stops at once, since every
// further mail would go out unrecorded. The message names what became of the mail.
class ESentLogFailed : public Exception {
public:
    ESentLogFailed(const std::string& message, TDocumentStatus status) : Exception(message), Status(status) {}
    TDocumentStatus Status;  // what became of the mail: dsFailed when it never left
};

// The front end's side of a run.
class TRunObserver {
public:
    virtual ~TRunObserver() = default;
    // One log line, complete.
    virtual void Log(const std::string& line) = 0;
    // Looked at before each document but the first: true stops the run there.
    virtual bool ShouldStop() = 0;
    // Before each document: its place in the run, from 1.
    virtual void Progress(size_t step, size_t count) { (void)step, (void)count; }
    // After each document, also a skipped or failed one.
    virtual void DocumentDone(const TRunDocument& doc, const TDocumentResult& result) { (void)doc, (void)result; }
};

// Why a run ended before its documents, with the German message.
enum TRunStopReason {
    rsLockHeld,         // another run with the same settings keeps the run lock
    rsMailNotSetUp,     // the mailer could not be created
    rsSignInFailed,     // the mail service refused the sign-in
    rsSelectionFailed,  // the documents could not be selected
    rsSentLogFailed,    // the sent-mail log cannot be written (before or during the mailing)
};

class ERunStop : public Exception {
public:
    ERunStop(TRunStopReason reason, const std::string& message) : Exception(message), Reason(reason) {}
    TRunStopReason Reason;
};

// Runs one step whose failure ends a run: any error of it is raised again as
// `TStop(code, context + message)`; a TStop passes unchanged.
template <typename TStop, typename TCode, typename TStep>
auto StopOnError(TCode code, const std::string& context, TStep step) -> decltype(step()) {
    try {
        return step();
    } catch (const TStop&) {
        throw;
    } catch (const std::exception& e) {
        throw TStop(code, context + ErrorMessage(e));
    } catch (...) {
        throw TStop(code, context + "Unbekannter Fehler.");
    }
}

// The run lock shared by every run with the same settings file (the batch's and the
// window's). Waits up to `wait`, telling `onWait` once when it has to wait; raises
// ERunStop(rsLockHeld) with `heldMessage` when the lock stays taken, or as soon as
// `stop` says so while waiting.
std::unique_ptr<TFileLock> TakeRunLock(const std::string& lockFile, std::chrono::milliseconds wait,
                                       const std::string& heldMessage, const TLogProc& onWait = {},
                                       const std::function<bool()>& stop = {});

// Logs the findings of the settings check (settings_check.h), one line each beginning
// with "  Hinweis Einstellungen: "; once per run, before its first document.
void LogSettingsHints(const TSettings& settings, const TLogProc& log);

// The documents of the selection: the named ones (each once), then those found by
// date that were not named; one "  Auswahl: …" line per kind searched. Raises
// ERunStop(rsSelectionFailed) when the search fails.
std::vector<TRunDocument> SelectDocuments(const TRunSelection& selection, const std::string& company,
                                          TRunSession& session, const TLogProc& log);

// "Buchungsdatum 01.03.2024 bis 31.03.2024", "… ab …", "… bis …"; "jedes Buchungsdatum".
std::string PostingDateText(const TRunSelection& selection);

// Produces or mails `docs` of the request one after the other and counts what became
// of them. The errors of a document are logged and counted; the run goes on. A run that
// cannot begin its work raises ERunStop (the counts then say how far it came, in
// `counts`), also a mailing whose sent log fails (rsSentLogFailed). A document selected
// by date whose last mail is open ("LAUFEND", "UNKLAR") is not mailed unless `Resend`:
// it is looked up among the sent mails, else logged as
// "  Unklar <no>: … in „Gesendete Elemente“ prüfen, dann /erneut" and counted as unclear.
// The settings are only read (file names of the collision guard).
void RunDocuments(const TRunRequest& request, const std::vector<TRunDocument>& docs, const TSettings& settings,
                  TRunSession& session, TRunObserver& observer, TRunCounts& counts);

} // namespace velkaro
