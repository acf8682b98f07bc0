#include "app/batch_run.h"

#include <algorithm>
#include <map>
#include <optional>

#include "app/batch_result_file.h"
#include "app/command_line.h"
#include "app/file_names.h"
#include "app/program_version.h"
#include "app/settings_probe.h"
#include "config/settings.h"
#include "config/state_folder.h"
#include "platform/error.h"
#include "platform/file_lock.h"
#include "platform/files.h"
#include "platform/line_file.h"
#include "platform/secret_store.h"
#include "platform/text.h"

namespace velkaro {

namespace {

constexpr const char* kNoWorkflows =
    "Die Erstellung und der Versand von Rechnungen sind in dieser Ausgabe von Velkaro noch nicht verfügbar.";

constexpr const char* kUnknownError = "Unbekannter Fehler.";

// Without "/von" or "/bis" the selection reaches from NAV's first real date to a day
// no posting date comes near (and that every database still compares as a date).
const TDateTime kFirstDate = EncodeDate(1754, 1, 2);
const TDateTime kLastDate = EncodeDate(2999, 12, 31);

// An error that ends the run before (or instead of) its work, with its exit code.
class EBatchStop : public Exception {
public:
    EBatchStop(int exitCode, const std::string& message) : Exception(message), ExitCode(exitCode) {}
    int ExitCode;
};

// One step whose failure ends the run: its error becomes an EBatchStop with `exitCode`,
// the message prefixed with `context` when that is not empty.
template <typename TStep>
auto Essential(int exitCode, const std::string& context, TStep step) -> decltype(step()) {
    try {
        return step();
    } catch (const EBatchStop&) {
        throw;
    } catch (const std::exception& e) {
        throw EBatchStop(exitCode, context + e.what());
    } catch (...) {
        throw EBatchStop(exitCode, context + kUnknownError);
    }
}

struct TBatchDocument {
    TDocumentKind Kind = bkInvoice;
    std::string No;
    bool Named = false;  // named with "/rg" or "/gs" rather than selected by date
};

// Counters, log and result file of one run, and the signal that may stop it.
struct TRun {
    TRun(const TCommandLine& cmd, const volatile std::sig_atomic_t* stopSignal) : Cmd(cmd), StopSignal(stopSignal) {}

    const TCommandLine& Cmd;
    TLogProc Log;
    const volatile std::sig_atomic_t* StopSignal;
    std::unique_ptr<TBatchResultFile> Results;
    size_t Total = 0;
    size_t Done = 0;  // documents handled so far, whatever the outcome
    int Produced = 0;
    int Mailed = 0;
    int Skipped = 0;
    int Errors = 0;
    int WithFindings = 0;
    int Stopped = 0;  // the signal that stopped the run

    bool StopNow() {
        if (StopSignal && *StopSignal != 0)
            Stopped = *StopSignal;
        return Stopped != 0;
    }
    void Record(const TBatchDocument& doc, const std::string& status, const TDocumentOutcome& outcome,
                const std::string& recipients = {}, const std::string& message = {}) {
        ++Done;
        if (!outcome.PdfFile.empty()) ++Produced;
        if (outcome.FindingCount > 0) ++WithFindings;
        // The findings' rule ids stand in the result whatever else it says.
        std::string text = message;
        if (!outcome.FindingRules.empty())
            text += (text.empty() ? "" : "; ") + std::string("Befund: ") + outcome.FindingRules;
        if (Results)
            Results->Add({doc.No, DocumentKindName(doc.Kind), status, outcome.PdfFile, recipients, text});
    }
    std::string EndLine() const {
        return "Ende: " + std::to_string(Produced) + " erzeugt, " + std::to_string(Mailed) + " versendet, " +
               std::to_string(Skipped) + " übersprungen, " + std::to_string(Errors) + " Fehler, " +
               std::to_string(WithFindings) + " mit Befund";
    }
};

// "Buchungsdatum 01.03.2024 bis 31.03.2024", "… ab …", "… bis …"; "jedes Buchungsdatum".
std::string PostingDateText(const TCommandLine& cmd) {
    if (cmd.DateFrom && cmd.DateTo)
        return "Buchungsdatum " + FormatDisplayDate(*cmd.DateFrom) + " bis " + FormatDisplayDate(*cmd.DateTo);
    if (cmd.DateFrom)
        return "Buchungsdatum ab " + FormatDisplayDate(*cmd.DateFrom);
    if (cmd.DateTo)
        return "Buchungsdatum bis " + FormatDisplayDate(*cmd.DateTo);
    return "jedes Buchungsdatum";
}

// What the command line selects, as the start line tells it.
std::string SelectionText(const TCommandLine& cmd) {
    std::vector<std::string> parts;
    for (const TDocumentKind kind : {bkInvoice, bkCreditMemo}) {
        std::vector<std::string> numbers;
        for (const TDocumentRef& doc : cmd.Documents)
            if (doc.Kind == kind) numbers.push_back(doc.No);
        if (!numbers.empty())
            parts.push_back(DocumentKindName(kind) + (numbers.size() == 1 ? " " : "en ") + Join(numbers, ", "));
    }
    if (cmd.SelectsByDate())
        parts.push_back(PostingDateText(cmd));
    if (cmd.OnlyNew)
        parts.push_back("nur noch nicht versendete");
    if (cmd.Company)
        parts.push_back("Mandant " + *cmd.Company);
    parts.push_back(cmd.Mail ? (cmd.Resend ? "versenden, auch erneut" : "versenden") : "erzeugen");
    return Join(parts, "; ");
}

// The output files a document gives, without extension; empty when the file-name
// pattern fails, which the workflow then reports for the document itself.
std::string ExpectedOutputBase(const TSettings& settings, const TBatchDocument& doc) {
    try {
        return DocumentFileBase(settings, doc.Kind, doc.No);
    } catch (const std::exception&) {
        return {};
    }
}

void ProduceDocuments(const std::vector<TBatchDocument>& docs, TBatchSession& session, const TSettings& settings,
                      const std::string& company, TRun& run) {
    // Output files written in this run, by path with ASCII letter case ignored (as Windows
    // shares compare names): the number of the invoice that wrote them and their path.
    // Two numbers that differ only in characters a file name cannot hold ("RE/1", "RE:1")
    // would otherwise replace each other's files.
    struct TWritten {
        TBatchDocument Doc;
        std::string Base;
    };
    std::map<std::string, TWritten> written;
    for (const TBatchDocument& doc : docs) {
        if (run.StopNow())
            return;
        const std::string& no = doc.No;
        std::string error;
        TDocumentOutcome outcome;
        try {
            const std::string base = ExpectedOutputBase(settings, doc);
            const std::string key = LowerAscii(base);
            const auto first = written.find(key);
            const TBatchDocument& other = first != written.end() ? first->second.Doc : doc;
            if (!base.empty() && first != written.end() && (other.Kind != doc.Kind || !SameText(other.No, no)))
                throw Exception(DocumentKindName(doc.Kind) + " " + no + " ergibt denselben Dateinamen wie " +
                                DocumentKindName(other.Kind) + " " + other.No + " aus diesem Lauf; " +
                                first->second.Base + ".pdf wird nicht überschrieben");
            outcome = session.GenerateInvoicePdf(company, no, run.Log, doc.Kind);
            if (!base.empty())
                written.emplace(key, TWritten{doc, base});
        } catch (const std::exception& e) {
            error = e.what();
        } catch (...) {
            error = kUnknownError;
        }
        if (!error.empty()) {
            ++run.Errors;
            run.Log("FEHLER " + no + ": " + error);
        }
        run.Record(doc, error.empty() ? "erzeugt" : "FEHLER", outcome, {}, error);
    }
}

void MailDocuments(const std::vector<TBatchDocument>& docs, TBatchSession& session, const std::string& company,
                   TRun& run) {
    std::unique_ptr<TBatchMailer> mailer = Essential(kExitUsage, "", [&] { return session.CreateMailer(); });
    bool signedIn = false;
    for (const TBatchDocument& doc : docs) {
        if (run.StopNow())
            return;
        // Selected by date, so sent before means done; a number named explicitly is
        // meant to go out again.
        TDateTime sent = 0;
        if (!doc.Named && !run.Cmd.Resend && session.LastSent(company, doc.No, sent)) {
            run.Log("  " + doc.No + " übersprungen: am " + FormatDisplayDateTime(sent) +
                    " bereits versendet (erneut mit /erneut)");
            ++run.Skipped;
            run.Record(doc, "übersprungen", {}, {}, "bereits versendet am " + FormatDisplayDateTime(sent));
            continue;
        }
        if (!signedIn) {
            // One token for the run: a wrong secret ends it here instead of failing every document.
            Essential(kExitNotStarted, "", [&] { mailer->SignIn(); });
            signedIn = true;
        }
        const TMailOutcome outcome = mailer->MailInvoice(company, doc.No, run.Log, doc.Kind);
        if (outcome.Sent)
            ++run.Mailed;
        else
            ++run.Errors;
        run.Record(doc, outcome.Sent ? (outcome.Test ? "TEST" : "versendet") : "FEHLER", outcome.Document,
                   outcome.Recipients, outcome.Message);
    }
}

// The company as the database spells it; the run ends when there is none.
std::string ResolveCompany(const std::string& wanted, TBatchSession& session) {
    const std::vector<std::string> companies =
        Essential(kExitNotStarted, "Die Datenbank ist nicht erreichbar: ", [&] { return session.Companies(); });
    if (wanted.empty()) {
        if (companies.empty())
            throw EBatchStop(kExitNotStarted, "Die Datenbank enthält keinen Mandanten mit gebuchten Rechnungen.");
        return companies.front();
    }
    for (const std::string& c : companies)
        if (SameText(c, wanted)) return c;
    throw EBatchStop(kExitNotStarted, "Den Mandanten \"" + wanted + "\" gibt es in der Datenbank nicht. " +
                                          (companies.empty() ? std::string("Sie enthält keinen Mandanten.")
                                                             : "Vorhandene Mandanten: " + Join(companies, ", ") + "."));
}

// The named numbers, then the documents selected by date that were not named, each once.
std::vector<TBatchDocument> SelectDocuments(TBatchSession& session, const std::string& company, const TRun& run) {
    const TCommandLine& cmd = run.Cmd;
    std::vector<TBatchDocument> docs;
    for (const TDocumentRef& named : cmd.Documents) docs.push_back({named.Kind, named.No, true});
    if (!cmd.SelectsByDate())
        return docs;
    const TDateTime from = cmd.DateFrom.value_or(kFirstDate);
    const TDateTime to = cmd.DateTo.value_or(kLastDate);
    for (const TDocumentKind kind : {bkInvoice, bkCreditMemo}) {
        const std::vector<std::string> found =
            Essential(kExitNotStarted, "Die Belege können nicht gesucht werden: ",
                      [&] { return session.FindDocuments(kind, company, from, to); });
        size_t kept = 0;
        for (const std::string& no : found) {
            TDateTime sent = 0;
            if (cmd.OnlyNew && Essential(kExitNotStarted, "", [&] { return session.LastSent(company, no, sent); }))
                continue;
            ++kept;
            const bool named = std::any_of(docs.begin(), docs.end(), [&](const TBatchDocument& d) {
                return d.Kind == kind && SameText(d.No, no);
            });
            if (!named) docs.push_back({kind, no, false});
        }
        // Credit memos are told only when there are some: a run over invoices alone reads
        // as it always did.
        if (kind == bkCreditMemo && found.empty())
            continue;
        run.Log("  Auswahl: " + std::to_string(found.size()) + " " + DocumentKindName(kind) +
                (found.size() == 1 ? "" : "en") + ", " + PostingDateText(cmd) +
                (cmd.OnlyNew ? ", davon " + std::to_string(kept) + " noch nicht versendet" : ""));
    }
    return docs;
}

// Everything between the start line and the end line.
void Work(TRun& run, const TBatchSessionFactory& openSession, const TBatchOptions& options) {
    const TCommandLine& cmd = run.Cmd;
    TSettings settings = Essential(kExitUsage, "", [] { return TSettings(SettingsFilePath()); });
    std::string company = cmd.Company.value_or(settings.Company);
    if (cmd.OutDir)  // this run only: the settings file is not written
        settings.OutDir = *cmd.OutDir;
    if (cmd.SaveXml)
        settings.SaveXml = true;

    if (!settings.FirstRunNote.empty()) {
        run.Log(settings.FirstRunNote);
        if (options.Notice) options.Notice(settings.FirstRunNote);
    }
    if (!settings.LoadHint.empty())
        run.Log("  Hinweis: " + settings.LoadHint);
    if (!settings.StateHint.empty())
        run.Log("  Hinweis: " + settings.StateHint);
    // A scheduled job has no one reading its log: the findings go to stderr as well.
    LogSettingsHints(settings, [&](const std::string& line) {
        run.Log(line);
        if (options.Notice) options.Notice(Trim(line));
    });
    if (!settings.GraphSecretWarning.empty())
        run.Log("  Warnung: " + settings.GraphSecretWarning);

    // Half-written files of a run that was killed while writing.
    for (const std::string& name : RemoveStaleOutputTempFiles(settings.OutDir))
        run.Log("  Hinweis: unvollständige Datei eines abgebrochenen Laufs entfernt: " +
                CombinePath(settings.OutDir, name));

    if (!openSession)
        throw EBatchStop(kExitNotStarted, kNoWorkflows);
    std::unique_ptr<TBatchSession> session =
        Essential(kExitNotStarted, "", [&] { return openSession(settings); });
    if (!session)
        throw EBatchStop(kExitNotStarted, kNoWorkflows);

    // One check before any document: an unreachable database or a wrong company ends
    // the run once instead of failing every document.
    company = ResolveCompany(company, *session);
    const std::vector<TBatchDocument> docs = SelectDocuments(*session, company, run);
    run.Total = docs.size();
    if (docs.empty())
        run.Log("  Keine Belege ausgewählt.");
    else if (cmd.Mail)
        MailDocuments(docs, *session, company, run);  // mailing produces each PDF itself
    else
        ProduceDocuments(docs, *session, settings, company, run);
}

void RunBatch(const TCommandLine& cmd, const TBatchSessionFactory& openSession, const TBatchOptions& options,
              TBatchResult& result) {
    // One run per settings file: two would interleave mails and overwrite each other's log.
    std::optional<TFileLock> lock;
    try {
        lock.emplace(RunLockFilePath(SettingsFilePath()));
        const long waitSeconds = static_cast<long>(options.LockWait.count() / 1000);
        const bool locked = lock->Acquire(options.LockWait, [&] {
            if (options.Notice)
                options.Notice("Ein anderer Lauf mit denselben Einstellungen arbeitet gerade; warte bis zu " +
                               std::to_string(waitSeconds) + " s.");
        });
        if (!locked) {
            result.ExitCode = kExitNotStarted;
            result.FatalError = "Ein anderer Lauf mit denselben Einstellungen arbeitet seit über " +
                                std::to_string(waitSeconds) + " s (Sperrdatei " + RunLockFilePath(SettingsFilePath()) +
                                "); dieser Lauf endet, ohne etwas zu tun.";
            return;
        }
    } catch (const std::exception& e) {
        result.ExitCode = kExitNotStarted;
        result.FatalError = e.what();
        return;
    }

    std::unique_ptr<TLineFile> logFile;
    try {
        RotateFileGenerations(BatchLogFilePath(), kKeptBatchLogs);
        logFile = std::make_unique<TLineFile>(BatchLogFilePath());
    } catch (const std::exception& e) {
        result.ExitCode = kExitNotStarted;
        result.FatalError = "Das Protokoll kann nicht angelegt werden: " + std::string(e.what());
        return;
    }
    result.LogFile = BatchLogFilePath();

    // One call, one line, written at once: a line break inside a message or an invoice
    // number must not start a line that reads like an entry of its own, and a killed run
    // keeps every line up to its end.
    std::string logError;
    TRun run(cmd, options.StopSignal);
    run.Log = [&](const std::string& line) {
        try {
            logFile->WriteLine(FormatSortableDateTime(Now()) + " " + SingleLine(line));
        } catch (const std::exception& e) {
            if (logError.empty()) logError = e.what();
        }
    };
    run.Log("Start Velkaro " + ProgramVersion() + ": Einstellungen " + SettingsFilePath() + ", Auswahl " +
            SelectionText(cmd));

    int fatalCode = 0;
    try {
        if (cmd.ResultFile)
            run.Results = Essential(kExitUsage, "Die Ergebnisdatei kann nicht angelegt werden: ",
                                    [&] { return std::make_unique<TBatchResultFile>(*cmd.ResultFile); });
        Work(run, openSession, options);
    } catch (const EBatchStop& e) {
        fatalCode = e.ExitCode;
        result.FatalError = e.what();
    } catch (const std::exception& e) {
        fatalCode = kExitNotStarted;
        result.FatalError = e.what();
    } catch (...) {
        fatalCode = kExitNotStarted;
        result.FatalError = kUnknownError;
    }
    if (!result.FatalError.empty())
        run.Log("FEHLER: " + result.FatalError);
    result.ErrorCount = run.Errors;
    if (run.Stopped != 0 && fatalCode == 0) {
        // Not the normal end: the documents after this one were never looked at.
        result.StopSignal = run.Stopped;
        result.StopLine = "Abgebrochen nach " + std::to_string(run.Done) + " von " + std::to_string(run.Total) +
                          " Belegen";
        run.Log(result.StopLine);
    } else {
        run.Log(run.EndLine());
        // A run that could not do its work says why on stderr; counts of nothing done would
        // read like a finished run to a script.
        if (fatalCode == 0) result.Output = run.EndLine();
    }

    if (!logError.empty())
        result.FatalError += (result.FatalError.empty() ? "" : "; ") + logError;
    if (fatalCode != 0)
        result.ExitCode = fatalCode;
    else if (result.StopSignal != 0)
        result.ExitCode = 128 + result.StopSignal;
    else
        result.ExitCode = result.ErrorCount > 0 || !logError.empty() ? kExitSomeFailed : kExitOk;
}

// "/geheimnis": the secret from the input, protected for this account, into the settings
// file as it is. Nothing is written when anything fails.
void StoreSecret(const TBatchOptions& options, TBatchResult& result) {
    const std::string settingsFile = SettingsFilePath();
    auto fail = [&](const std::string& message) {
        result.ExitCode = kExitUsage;
        result.FatalError = "Client-Secret nicht gespeichert: " + message;
    };
    if (!FileExists(settingsFile))
        return fail("Die Einstellungsdatei \"" + settingsFile +
                    "\" gibt es nicht. Das Secret wird in die bestehende Datei eingetragen (VELKARO_INI).");
    std::optional<std::string> secret = options.ReadSecret ? options.ReadSecret() : std::nullopt;
    if (!secret) return fail("Die Eingabe wurde abgebrochen oder ist nicht lesbar.");
    if (Trim(*secret).empty()) return fail("Es wurde kein Secret eingegeben.");
    try {
        StoreGraphSecret(settingsFile, *secret);
    } catch (const std::exception& e) {
        return fail(e.what());
    }
    result.Output = "Client-Secret geschützt für den Benutzer \"" + CurrentUserName() + "\" gespeichert in \"" +
                    settingsFile + "\" (Schlüssel \"" + SecretKeyFilePath() + "\").\n";
}

} // namespace

void LogSettingsHints(const TSettings& settings, const TLogProc& log) {
    for (const std::string& finding : settings.Findings) log("  Hinweis Einstellungen: " + finding);
}

std::string BatchLogFilePath() {
    const std::string settingsFile = SettingsFilePath();
    return StateFilePath(StateFolderOf(settingsFile), settingsFile, ".log");
}

std::string RunLockFilePath(const std::string& settingsFile) {
    return StateFilePath(StateFolderOf(settingsFile), settingsFile, ".lock");
}

TBatchResult RunCommandLine(const std::vector<std::string>& args, const TBatchSessionFactory& openSession,
                            const TBatchOptions& options) {
    TBatchResult result;
    TCommandLine cmd;
    try {
        cmd = ParseCommandLine(args, options.Today != 0 ? options.Today : Now());
        // Where the settings are must be known before anything else is done.
        if (cmd.Mode == rmBatch || cmd.Mode == rmCheck || cmd.Mode == rmSecret) SettingsFilePath();
    } catch (const std::exception& e) {
        // Nothing is done, not even the log touched: the command line must be fixed first.
        result.Ran = true;
        result.ExitCode = kExitUsage;
        result.FatalError = e.what();
        return result;
    }
    switch (cmd.Mode) {
        case rmWindow: return result;
        case rmHelp: result.Output = CommandLineHelp(); break;
        case rmVersion: result.Output = "Velkaro " + ProgramVersion() + "\n"; break;
        case rmBatch: RunBatch(cmd, openSession, options, result); break;
        case rmCheck: {
            const TSettingsProbe probe = ProbeSettings(SettingsFilePath());
            result.Output = probe.Report;
            result.ExitCode = probe.AllWell ? kExitOk : kExitUsage;
            break;
        }
        case rmSecret: StoreSecret(options, result); break;
    }
    result.Ran = true;
    return result;
}

} // namespace velkaro
