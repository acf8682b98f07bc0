#include "app/document_run.h"

#include <algorithm>
#include <map>

#include "app/file_names.h"
#include "config/settings.h"
#include "platform/file_lock.h"
#include "platform/text.h"

namespace velkaro {

namespace {

constexpr const char* kUnknownError = "Unbekannter Fehler.";

// Without a date the selection reaches from NAV's first real date to a day no posting
// date comes near (and that every database still compares as a date).
const TDateTime kFirstDate = EncodeDate(1754, 1, 2);
const TDateTime kLastDate = EncodeDate(2999, 12, 31);

// One step whose failure ends the run with `reason`, the message prefixed with `context`.
template <typename TStep>
auto Essential(TRunStopReason reason, const std::string& context, TStep step) -> decltype(step()) {
    return StopOnError<ERunStop>(reason, context, step);
}

// The output files a document gives, without extension; empty when the file-name
// pattern fails, which the workflow then reports for the document itself.
std::string ExpectedOutputBase(const TSettings& settings, const TRunOptions& options, const TRunDocument& doc) {
    try {
        return DocumentFileBase(settings, options, doc.Kind, doc.No);
    } catch (const std::exception&) {
        return {};
    }
}

// The counting and reporting of one run.
class TRun {
public:
    TRun(const TRunRequest& request, TRunSession& session, TRunObserver& observer, TRunCounts& counts)
        : Request(request), Session(session), Observer(observer), Counts(counts),
          Log([&observer](const std::string& line) { observer.Log(line); }) {}

    // True when the run is to stop before the document `index`; says so to the observer first.
    bool Begin(size_t index) {
        if (Observer.ShouldStop()) {
            Counts.Stopped = true;
            return false;
        }
        Observer.Progress(index + 1, Counts.Total);
        return true;
    }
    void Done(const TRunDocument& doc, const TDocumentResult& result) {
        ++Counts.Done;
        if (!result.Outcome.PdfFile.empty()) ++Counts.Produced;
        if (!result.Outcome.Findings.Empty()) ++Counts.WithFindings;
        switch (result.Status) {
            case dsSent:
            case dsTest: ++Counts.Mailed; break;
            case dsSkipped: ++Counts.Skipped; break;
            case dsFailed: ++Counts.Errors; break;
            case dsUnclear: ++Counts.Unclear; break;
            case dsProduced: break;
        }
        Observer.DocumentDone(doc, result);
    }

    const TRunRequest& Request;
    TRunSession& Session;
    TRunObserver& Observer;
    TRunCounts& Counts;
    const TLogProc Log;
};

// Output files written in this run, by path with ASCII letter case ignored (as Windows
// shares compare names). Two numbers that differ only in characters a file name cannot
// hold ("RE/1", "RE:1") would otherwise replace each other's files.
class TCollisionGuard {
public:
    TCollisionGuard(const TSettings& settings, const TRunOptions& options) : FSettings(settings), FOptions(options) {}

    // Raises when `doc` would write the files of another document of this run.
    std::string Check(const TRunDocument& doc) const {
        const std::string base = ExpectedOutputBase(FSettings, FOptions, doc);
        const auto first = FWritten.find(LowerAscii(base));
        if (base.empty() || first == FWritten.end()) return base;
        const TRunDocument& other = first->second.Doc;
        if (other.Kind != doc.Kind || !SameText(other.No, doc.No))
            throw Exception(DocumentKindName(doc.Kind) + " " + doc.No + " ergibt denselben Dateinamen wie " +
                            DocumentKindName(other.Kind) + " " + other.No + " aus diesem Lauf; " +
                            first->second.Base + ".pdf wird nicht überschrieben");
        return base;
    }
    void Written(const TRunDocument& doc, const std::string& base) {
        if (!base.empty()) FWritten.emplace(LowerAscii(base), TWritten{doc, base});
    }

private:
    struct TWritten {
        TRunDocument Doc;
        std::string Base;
    };
    const TSettings& FSettings;
    const TRunOptions& FOptions;
    std::map<std::string, TWritten> FWritten;
};

void ProduceDocuments(const std::vector<TRunDocument>& docs, const TSettings& settings, TRun& run) {
    TCollisionGuard guard(settings, run.Request.Options);
    for (size_t i = 0; i < docs.size(); ++i) {
        const TRunDocument& doc = docs[i];
        if (!run.Begin(i)) return;
        TDocumentResult result;
        try {
            const std::string base = guard.Check(doc);
            result.Outcome = run.Session.GenerateInvoicePdf(run.Request.Company, doc.No, run.Log, doc.Kind);
            guard.Written(doc, base);
            result.Status = dsProduced;
        } catch (const std::exception& e) {
            result.Message = ErrorMessage(e);
        } catch (...) {
            result.Message = kUnknownError;
        }
        if (result.Status == dsFailed) run.Log("FEHLER " + doc.No + ": " + result.Message);
        run.Done(doc, result);
    }
}

// "Versand vom 11.12.2026 10:05 an a@b.de ohne Ergebnis (LAUFEND), <finding>"
std::string OpenSendText(const TOpenSend& open, const TOpenSendCheck& check) {
    return "Versand vom " + FormatDisplayDateTime(open.Time) +
           (open.Recipients.empty() ? std::string() : " an " + open.Recipients) + " ohne Ergebnis (" + open.Status +
           ")" + (check.Finding.empty() ? std::string() : ", " + check.Finding);
}

class TMailing {
public:
    explicit TMailing(TRun& run) : FRun(run) {}

    void Run(const std::vector<TRunDocument>& docs) {
        const TRunRequest& request = FRun.Request;
        FMailer = Essential(rsMailNotSetUp, "", [&] { return FRun.Session.CreateMailer(); });
        for (size_t i = 0; i < docs.size(); ++i) {
            const TRunDocument& doc = docs[i];
            if (!FRun.Begin(i)) return;
            // Selected by date, so sent before means done; a number named explicitly is
            // meant to go out again.
            TDateTime sent = 0;
            if (!doc.Named && !request.Resend && FRun.Session.LastSent(request.Company, doc.No, sent)) {
                FRun.Log("  " + doc.No + " übersprungen: am " + FormatDisplayDateTime(sent) +
                         " bereits versendet (erneut mit /erneut)");
                FRun.Done(doc, {dsSkipped, {}, {}, "bereits versendet am " + FormatDisplayDateTime(sent)});
                continue;
            }
            TOpenSend open;
            if (!doc.Named && !request.Resend && FRun.Session.OpenSend(request.Company, doc.No, open)) {
                Settle(doc, open);
                continue;
            }
            if (request.SkipWithoutAddress && !request.TestMode && doc.WithoutAddress) {
                FRun.Log("Übersprungen " + doc.No + ": keine Rechnungs-E-Mail");
                FRun.Done(doc, {dsSkipped, {}, {}, "keine Rechnungs-E-Mail"});
                continue;
            }
            Prepare();
            TMailOutcome outcome;
            try {
                outcome = FMailer->MailInvoice(request.Company, doc.No, FRun.Log, doc.Kind);
            } catch (const ESentLogFailed& e) {
                Stop(doc, e);
            }
            const TDocumentStatus status = outcome.Unclear ? dsUnclear
                                           : !outcome.Sent ? dsFailed
                                           : outcome.Test  ? dsTest
                                                           : dsSent;
            FRun.Done(doc, {status, outcome.Document, outcome.Recipients, outcome.Message});
        }
    }

private:
    TRun& FRun;
    std::unique_ptr<TRunMailer> FMailer;
    bool FReady = false;

    // Before the first document that reaches the mail service: no mail may go out
    // unrecorded, and one token serves the run (a wrong secret ends it here instead of
    // failing every document).
    void Prepare() {
        if (FReady) return;
        Essential(rsSentLogFailed, "Das Versandprotokoll ist nicht beschreibbar, es wird nichts versendet: ",
                  [&] { FMailer->CheckSentLog(); });
        Essential(rsSignInFailed, "", [&] { FMailer->SignIn(); });
        FReady = true;
    }

    // An earlier mail of the document whose outcome is open: never sent again unasked.
    void Settle(const TRunDocument& doc, const TOpenSend& open) {
        Prepare();
        TOpenSendCheck check;
        try {
            check = FMailer->CheckOpenSend(FRun.Request.Company, doc.No, open);
        } catch (const ESentLogFailed& e) {
            Stop(doc, e);
        }
        if (check.Sent) {
            FRun.Log("  " + doc.No + " übersprungen: Mail " + check.Finding + ", gilt als versendet (erneut mit /erneut)");
            FRun.Done(doc, {dsSkipped, {}, open.Recipients, "Mail " + check.Finding});
            return;
        }
        const std::string text = OpenSendText(open, check);
        FRun.Log("  Unklar " + doc.No + ": " + text + "; in \u201EGesendete Elemente\u201C prüfen, dann /erneut");
        FRun.Done(doc, {dsUnclear, {}, open.Recipients, text});
    }

    // The sent log failed around the document's mail: the run ends here.
    [[noreturn]] void Stop(const TRunDocument& doc, const ESentLogFailed& e) {
        FRun.Done(doc, {e.Status, {}, {}, e.what()});
        throw ERunStop(rsSentLogFailed, e.what());
    }
};

void MailDocuments(const std::vector<TRunDocument>& docs, TRun& run) { TMailing(run).Run(docs); }

} // namespace

std::string DocumentStatusText(TDocumentStatus status) {
    switch (status) {
    case dsProduced: return "erzeugt";
    case dsSent: return "versendet";
    case dsTest: return "TEST";
    case dsSkipped: return "übersprungen";
    case dsUnclear: return "UNKLAR";
    case dsFailed: break;
    }
    return "FEHLER";
}

std::unique_ptr<TFileLock> TakeRunLock(const std::string& lockFile, std::chrono::milliseconds wait,
                                       const std::string& heldMessage, const TLogProc& onWait,
                                       const std::function<bool()>& stop) {
    std::unique_ptr<TFileLock> lock =
        Essential(rsLockHeld, "", [&] { return std::make_unique<TFileLock>(lockFile); });
    const bool locked = Essential(rsLockHeld, "", [&] {
        return lock->Acquire(wait, [&] {
            if (onWait) onWait("Ein anderer Lauf mit denselben Einstellungen arbeitet gerade; warte bis zu " +
                               std::to_string(wait.count() / 1000) + " s.");
        }, stop);
    });
    if (!locked) throw ERunStop(rsLockHeld, heldMessage);
    return lock;
}

void LogSettingsHints(const TSettings& settings, const TLogProc& log) {
    for (const std::string& finding : settings.Findings) log("  Hinweis Einstellungen: " + finding);
}

std::string PostingDateText(const TRunSelection& selection) {
    if (selection.DateFrom && selection.DateTo)
        return "Buchungsdatum " + FormatDisplayDate(*selection.DateFrom) + " bis " +
               FormatDisplayDate(*selection.DateTo);
    if (selection.DateFrom) return "Buchungsdatum ab " + FormatDisplayDate(*selection.DateFrom);
    if (selection.DateTo) return "Buchungsdatum bis " + FormatDisplayDate(*selection.DateTo);
    return "jedes Buchungsdatum";
}

std::vector<TRunDocument> SelectDocuments(const TRunSelection& selection, const std::string& company,
                                          TRunSession& session, const TLogProc& log) {
    std::vector<TRunDocument> docs;
    for (const TRunDocument& named : selection.Named) {
        const bool twice = std::any_of(docs.begin(), docs.end(), [&](const TRunDocument& d) {
            return d.Kind == named.Kind && SameText(d.No, named.No);
        });
        if (!twice) docs.push_back(named);
    }
    if (!selection.ByDate()) return docs;
    const TDateTime from = selection.DateFrom.value_or(kFirstDate);
    const TDateTime to = selection.DateTo.value_or(kLastDate);
    const size_t namedCount = docs.size();
    for (const TDocumentKind kind : {bkInvoice, bkCreditMemo}) {
        const std::vector<std::string> found =
            Essential(rsSelectionFailed, "Die Belege können nicht gesucht werden: ",
                      [&] { return session.FindDocuments(kind, company, from, to); });
        size_t kept = 0;
        for (const std::string& no : found) {
            TDateTime sent = 0;
            if (selection.OnlyNew &&
                Essential(rsSelectionFailed, "", [&] { return session.LastSent(company, no, sent); }))
                continue;
            ++kept;
            const bool named = std::any_of(docs.begin(), docs.begin() + static_cast<std::ptrdiff_t>(namedCount),
                                           [&](const TRunDocument& d) { return d.Kind == kind && SameText(d.No, no); });
            if (!named) docs.push_back({kind, no, false, false});
        }
        // Credit memos are told only when there are some: a run over invoices alone reads
        // as it always did.
        if (kind == bkCreditMemo && found.empty()) continue;
        log("  Auswahl: " + std::to_string(found.size()) + " " + DocumentKindName(kind) +
            (found.size() == 1 ? "" : "en") + ", " + PostingDateText(selection) +
            (selection.OnlyNew ? ", davon " + std::to_string(kept) + " noch nicht versendet" : ""));
    }
    return docs;
}

void RunDocuments(const TRunRequest& request, const std::vector<TRunDocument>& docs, const TSettings& settings,
                  TRunSession& session, TRunObserver& observer, TRunCounts& counts) {
    counts = TRunCounts{};
    counts.Total = docs.size();
    TRun run(request, session, observer, counts);
    if (request.Mail)
        MailDocuments(docs, run);  // mailing produces each PDF itself
    else
        ProduceDocuments(docs, settings, run);
}

} // namespace velkaro
