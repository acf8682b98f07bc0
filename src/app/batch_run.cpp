#include "app/batch_run.h"

#include <algorithm>
#include <map>
#include <optional>

#include "app/batch_result_file.h"
#include "app/command_line.h"
#include "app/file_names.h"
#include "app/mail_transport.h"
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
    return StopOnError<EBatchStop>(exitCode, context, step);
}

// The exit code of a run that could not do its work, or that stopped after some of it
// had reached the outside world (a sent log that fails during the mailing).
int ExitCodeOf(TRunStopReason reason, const TRunCounts& counts) {
    if (reason == rsMailNotSetUp) return kExitUsage;
    if (reason == rsSentLogFailed && counts.Mailed + counts.Unclear > 0) return kExitSomeFailed;
    return kExitNotStarted;
}

// The batch's side of a run: the log, the result file, the signal that may stop it.
class TBatchObserver : public TRunObserver {
public:
    TBatchObserver(const TCommandLine& cmd, const volatile std::sig_atomic_t* stopSignal)
        : Cmd(cmd), StopSignal(stopSignal) {}

    void Log(const std::string& line) override { LogProc(line); }
    bool ShouldStop() override {
        if (StopSignal && *StopSignal != 0) Stopped = *StopSignal;
        return Stopped != 0;
    }
    void DocumentDone(const TRunDocument& doc, const TDocumentResult& result) override {
        // The findings' rule ids stand in the result whatever else it says.
        std::string text = result.Message;
        if (!result.Outcome.Findings.Empty())
            text += (text.empty() ? "" : "; ") + std::string("Befund: ") + result.Outcome.Findings.RuleList();
        if (Results)
            Results->Add({doc.No, DocumentKindName(doc.Kind), DocumentStatusText(result.Status), result.Outcome.PdfFile,
                          result.Recipients, text});
    }
    std::string EndLine() const {
        // Mails of unclear outcome only when there are some: the line reads as it always
        // did, and a script that reads its first five numbers still reads them.
        return "Ende: " + std::to_string(Counts.Produced) + " erzeugt, " + std::to_string(Counts.Mailed) +
               " versendet, " + std::to_string(Counts.Skipped) + " übersprungen, " + std::to_string(Counts.Errors) +
               " Fehler, " + std::to_string(Counts.WithFindings) + " mit Befund" +
               (Counts.Unclear > 0 ? ", " + std::to_string(Counts.Unclear) + " unklar" : std::string());
    }

    const TCommandLine& Cmd;
    TLogProc LogProc;
    const volatile std::sig_atomic_t* StopSignal;
    std::unique_ptr<TBatchResultFile> Results;
    TRunCounts Counts;
    int Stopped = 0;  // the signal that stopped the run
};

// The selection of the command line.
TRunSelection SelectionOf(const TCommandLine& cmd) {
    TRunSelection selection;
    for (const TDocumentRef& named : cmd.Documents) selection.Named.push_back({named.Kind, named.No, true, false});
    selection.DateFrom = cmd.DateFrom;
    selection.DateTo = cmd.DateTo;
    selection.OnlyNew = cmd.OnlyNew;
    return selection;
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
        parts.push_back(PostingDateText(SelectionOf(cmd)));
    if (cmd.OnlyNew)
        parts.push_back("nur noch nicht versendete");
    if (cmd.Company)
        parts.push_back("Mandant " + *cmd.Company);
    parts.push_back(cmd.Mail ? (cmd.Resend ? "versenden, auch erneut" : "versenden") : "erzeugen");
    return Join(parts, "; ");
}

// The company as the database spells it; the run ends when there is none.
std::string ResolveCompany(const std::string& wanted, TRunSession& session) {
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

// Everything between the start line and the end line.
void Work(TBatchObserver& run, const TBatchSessionFactory& openSession, const TBatchOptions& options) {
    const TCommandLine& cmd = run.Cmd;
    const TSettings settings = Essential(kExitUsage, "", [] { return TSettings(SettingsFilePath()); });
    std::string company = cmd.Company.value_or(settings.Company);
    // This run only: the settings stay as they were read.
    TRunOptions runOptions = RunOptionsOf(settings);
    if (cmd.OutDir) runOptions.OutDir = *cmd.OutDir;
    if (cmd.SaveXml) runOptions.SaveXml = true;

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
        run.LogProc(line);
        if (options.Notice) options.Notice(Trim(line));
    });
    if (!settings.GraphSecretWarning.empty())
        run.Log("  Warnung: " + settings.GraphSecretWarning);

    // Half-written files of a run that was killed while writing.
    for (const std::string& name : RemoveStaleOutputTempFiles(runOptions.OutDir))
        run.Log("  Hinweis: unvollständige Datei eines abgebrochenen Laufs entfernt: " +
                CombinePath(runOptions.OutDir, name));

    if (!openSession)
        throw EBatchStop(kExitNotStarted, kNoWorkflows);
    std::unique_ptr<TRunSession> session =
        Essential(kExitNotStarted, "", [&] { return openSession(settings, runOptions); });
    if (!session)
        throw EBatchStop(kExitNotStarted, kNoWorkflows);

    // One check before any document: an unreachable database or a wrong company ends
    // the run once instead of failing every document.
    company = ResolveCompany(company, *session);
    // The start line is written before the database is reached; the product follows here.
    for (const std::string& note : session->DatabaseNotes(company)) run.Log("  " + note);
    try {
        TRunRequest request;
        request.Company = company;
        request.Selection = SelectionOf(cmd);
        request.Mail = cmd.Mail;
        request.Resend = cmd.Resend;
        request.Options = runOptions;
        const std::vector<TRunDocument> docs = SelectDocuments(request.Selection, company, *session, run.LogProc);
        if (docs.empty()) {
            run.Log("  Keine Belege ausgewählt.");
            return;
        }
        RunDocuments(request, docs, settings, *session, run, run.Counts);
    } catch (const ERunStop& e) {
        throw EBatchStop(ExitCodeOf(e.Reason, run.Counts), e.what());
    }
}

void RunBatch(const TCommandLine& cmd, const TBatchSessionFactory& openSession, const TBatchOptions& options,
              TBatchResult& result) {
    // One run per settings file: two would interleave mails and overwrite each other's log.
    std::unique_ptr<TFileLock> lock;
    const auto stopSignal = [&] { return options.StopSignal ? static_cast<int>(*options.StopSignal) : 0; };
    try {
        const std::string lockFile = RunLockFilePath(SettingsFilePath());
        lock = TakeRunLock(lockFile, options.LockWait,
                           "Ein anderer Lauf mit denselben Einstellungen arbeitet seit über " +
                               std::to_string(options.LockWait.count() / 1000) + " s (Sperrdatei " + lockFile +
                               "); dieser Lauf endet, ohne etwas zu tun.",
                           options.Notice, [&] { return stopSignal() != 0; });
    } catch (const ERunStop& e) {
        if (const int signal = stopSignal(); signal != 0) {
            // Stopped while it waited: nothing was begun, not even the log.
            result.StopSignal = signal;
            result.ExitCode = 128 + signal;
            result.StopLine = "Abgebrochen beim Warten auf einen anderen Lauf mit denselben Einstellungen";
            return;
        }
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
    TBatchObserver run(cmd, options.StopSignal);
    run.LogProc = [&](const std::string& line) {
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
        result.FatalError = ErrorMessage(e);
    } catch (...) {
        fatalCode = kExitNotStarted;
        result.FatalError = kUnknownError;
    }
    if (!result.FatalError.empty())
        run.Log("FEHLER: " + result.FatalError);
    result.ErrorCount = run.Counts.Errors;
    if (run.Stopped != 0 && fatalCode == 0) {
        // Not the normal end: the documents after this one were never looked at.
        result.StopSignal = run.Stopped;
        result.StopLine = "Abgebrochen nach " + std::to_string(run.Counts.Done) + " von " +
                          std::to_string(run.Counts.Total) +
                          " Belegen";
        run.Log(result.StopLine);
    } else {
        run.Log(run.EndLine());
        // A run that could not do its work says why on stderr; counts of nothing done would
        // read like a finished run to a script. One that stopped after mails went out
        // tells its counts as well.
        if (fatalCode == 0 || fatalCode == kExitSomeFailed) result.Output = run.EndLine();
    }

    if (!logError.empty())
        result.FatalError += (result.FatalError.empty() ? "" : "; ") + logError;
    if (fatalCode != 0)
        result.ExitCode = fatalCode;
    else if (result.StopSignal != 0)
        result.ExitCode = 128 + result.StopSignal;
    else
        result.ExitCode =
            result.ErrorCount > 0 || run.Counts.Unclear > 0 || !logError.empty() ? kExitSomeFailed : kExitOk;
}

// "/geheimnis": the secret from the input (the one the mail route wants, mail_transport.h),
// protected for this account, into the settings file as it is. Nothing is written when
// anything fails.
void StoreSecret(const TBatchOptions& options, TBatchResult& result) {
    const std::string settingsFile = SettingsFilePath();
    std::string name = "Client-Secret";
    auto fail = [&](const std::string& message) {
        result.ExitCode = kExitUsage;
        result.FatalError = name + " nicht gespeichert: " + message;
    };
    if (!FileExists(settingsFile))
        return fail("Die Einstellungsdatei \"" + settingsFile +
                    "\" gibt es nicht. Das Secret wird in die bestehende Datei eingetragen (VELKARO_INI).");
    std::optional<std::string> secret = options.ReadSecret ? options.ReadSecret() : std::nullopt;
    if (!secret) return fail("Die Eingabe wurde abgebrochen oder ist nicht lesbar.");
    if (Trim(*secret).empty()) return fail("Es wurde kein Secret eingegeben.");
    try {
        name = StoreMailSecret(settingsFile, *secret);
    } catch (const std::exception& e) {
        return fail(e.what());
    }
    result.Output = name + " geschützt für den Benutzer \"" + CurrentUserName() + "\" gespeichert in \"" +
                    settingsFile + "\" (Schlüssel \"" + SecretKeyFilePath() + "\").\n";
}

} // namespace

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
